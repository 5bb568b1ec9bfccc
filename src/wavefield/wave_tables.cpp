#include "wavefield/wave_tables.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "wavefield/kernel_table.h"

namespace lumar {

// 2^24 entries per plane (2 GB in all): far above any display mode the set-up accepts.
constexpr std::size_t kMaxTableEntries = std::size_t{1} << 24;
// Rows are padded to a multiple of the engine's lane padding, and every plane has room for a register-wide
// read that starts at a row's last entry.
constexpr std::size_t kRowAlignment = kLanePadding;
constexpr std::size_t kReadPast = kLanePadding;

bool WaveTables::Allocate(int32_t columns, int32_t rows, int32_t step) {
  Free();
  if (columns < 0 || rows < 0 || step < 1 || rows % step != 0) return false;
  const std::size_t storedRows = static_cast<std::size_t>(rows / step) + 1;
  const std::size_t stride =
      (static_cast<std::size_t>(columns) + kRowAlignment) / kRowAlignment * kRowAlignment;
  if (stride > kMaxTableEntries / storedRows) return false;
  const std::size_t plane = stride * storedRows;
  factors_.reset(new (std::nothrow) double[plane * kTablePlaneCount + kReadPast]());
  distances_.reset(new (std::nothrow) float[plane * 2 + kReadPast]());
  classes_.reset(new (std::nothrow) int32_t[plane + kReadPast]());
  if (!factors_ || !distances_ || !classes_) {
    Free();
    return false;
  }
  columnCount = columns;
  rowCount = rows;
  rowStep = step;
  rowStride_ = stride;
  planeSize_ = plane;
  return true;
}

void WaveTables::Free() {
  factors_.reset();
  distances_.reset();
  classes_.reset();
  classDistances_.reset();
  classInverseDistances_.reset();
  classCount_ = 0;
  columnCount = 0;
  rowCount = 0;
  rowStep = 1;
  rowStride_ = 0;
  planeSize_ = 0;
}

std::size_t WaveTables::EntryCount() const {
  return empty() ? 0 : (static_cast<std::size_t>(columnCount) + 1) * (rowCount / rowStep + 1);
}

std::size_t WaveTables::ByteSize() const {
  return empty()
             ? 0
             : (planeSize_ * kTablePlaneCount + kReadPast) * sizeof(double) +
                   (planeSize_ * 2 + kReadPast) * sizeof(float) + (planeSize_ + kReadPast) * sizeof(int32_t) +
                   static_cast<std::size_t>(classCount_) * 2 * sizeof(float);
}

bool WaveTables::GroupDistances() {
  if (empty()) return true;
  // Sorted by distance (non-negative floats order as their bits do), then by place.
  std::vector<uint64_t> keys;
  try {
    keys.reserve(EntryCount());
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t row = 0; row * rowStride_ < planeSize_; ++row) {
    for (std::size_t i = 0; i <= static_cast<std::size_t>(columnCount); ++i) {
      const std::size_t place = row * rowStride_ + i;
      uint32_t bits;
      std::memcpy(&bits, &distances_[place], sizeof bits);
      keys.push_back(static_cast<uint64_t>(bits) << 32 | place);
    }
  }
  std::sort(keys.begin(), keys.end());
  std::size_t count = 0;
  for (std::size_t n = 0; n < keys.size(); ++n) count += n == 0 || (keys[n] >> 32) != (keys[n - 1] >> 32);
  classDistances_.reset(new (std::nothrow) float[count]);
  classInverseDistances_.reset(new (std::nothrow) float[count]);
  if (!classDistances_ || !classInverseDistances_) return false;
  int32_t k = -1;
  for (std::size_t n = 0; n < keys.size(); ++n) {
    const std::size_t place = static_cast<std::size_t>(keys[n] & 0xFFFFFFFFu);
    if (n == 0 || (keys[n] >> 32) != (keys[n - 1] >> 32)) {
      ++k;
      classDistances_[static_cast<std::size_t>(k)] = distances_[place];
      classInverseDistances_[static_cast<std::size_t>(k)] = distances_[planeSize_ + place];
    }
    classes_[place] = k;
  }
  classCount_ = k + 1;
  return true;
}

RiseFactors WaveTables::Rise(int i, int j) const {
  return {Factor(kRiseLevel, i, j), Factor(kRisePhase, i, j), Factor(kRiseSlopePhase, i, j),
          Factor(kRiseSlope, i, j)};
}

TrailFactors WaveTables::Trail(int i, int j) const {
  return {Factor(kTrailLift, i, j), Factor(kTrailCosFactor, i, j), Factor(kTrailSinFactor, i, j),
          Factor(kTrailCosSlopeFactor, i, j), Factor(kTrailSinSlopeFactor, i, j)};
}

LeadFactors WaveTables::Lead(int i, int j) const {
  return {Factor(kLeadLevelFactor, i, j),      Factor(kLeadPhaseFactor, i, j),
          Factor(kFrontFactor, i, j),          Factor(kLeadSlopeFactor, i, j),
          Factor(kLeadPhaseSlopeFactor, i, j), Factor(kFrontSlopeFactor, i, j)};
}

void WaveTables::SetDistance(int i, int j, float distance, float inverseDistance) {
  distances_[RowStart(j) + i] = distance;
  distances_[planeSize_ + RowStart(j) + i] = inverseDistance;
}

void WaveTables::SetFactors(int i, int j, const RiseFactors& f) {
  Factor(kRiseLevel, i, j) = f.riseLevel;
  Factor(kRisePhase, i, j) = f.risePhase;
  Factor(kRiseSlopePhase, i, j) = f.riseSlopePhase;
  Factor(kRiseSlope, i, j) = f.riseSlope;
}

void WaveTables::SetFactors(int i, int j, const TrailFactors& f) {
  Factor(kTrailLift, i, j) = f.trailLift;
  Factor(kTrailCosFactor, i, j) = f.trailCosFactor;
  Factor(kTrailSinFactor, i, j) = f.trailSinFactor;
  Factor(kTrailCosSlopeFactor, i, j) = f.trailCosSlopeFactor;
  Factor(kTrailSinSlopeFactor, i, j) = f.trailSinSlopeFactor;
}

void WaveTables::SetFactors(int i, int j, const LeadFactors& f) {
  Factor(kLeadLevelFactor, i, j) = f.leadLevelFactor;
  Factor(kLeadPhaseFactor, i, j) = f.leadPhaseFactor;
  Factor(kFrontFactor, i, j) = f.frontFactor;
  Factor(kLeadSlopeFactor, i, j) = f.leadSlopeFactor;
  Factor(kLeadPhaseSlopeFactor, i, j) = f.leadPhaseSlopeFactor;
  Factor(kFrontSlopeFactor, i, j) = f.frontSlopeFactor;
}

}  // namespace lumar
