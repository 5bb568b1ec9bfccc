// The lookup tables of the run: every factor of a source's contribution that depends only on the
// offset between a node and the source, for column offsets I = 0..columnCount and scaled row offsets
// J = 0..rowCount. Offsets are absolute values, so one quadrant serves all four directions.
//
// Laid out for the frame engine's walk along a grid row: one plane per factor, and in each plane one
// table row (fixed J, I = 0..columnCount) after the other, contiguous and padded to a multiple of four
// entries. Only the rows a node can reach are held: J is the row offset times the row offset scale, so
// with a scale of 2 the odd rows are never read and take no memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wavefield/wave_factors.h"

namespace lumar {

// The fifteen factor planes, one per factor in the order of their numbers p1 .. p4, q1 .. q11
// (wave_factors.h).
enum TablePlane : int {
  kRiseLevel,
  kRisePhase,
  kRiseSlopePhase,
  kRiseSlope,
  kTrailLift,
  kTrailCosFactor,
  kTrailSinFactor,
  kTrailCosSlopeFactor,
  kTrailSinSlopeFactor,
  kLeadLevelFactor,
  kLeadPhaseFactor,
  kFrontFactor,
  kLeadSlopeFactor,
  kLeadPhaseSlopeFactor,
  kFrontSlopeFactor,
  kTablePlaneCount
};
static_assert(kRisePhase == 1 && kTrailLift == 4 && kLeadLevelFactor == 9 && kTablePlaneCount == 15,
              "plane p(n) is n - 1, q(n) is n + 3");

class WaveTables {
 public:
  // Replaces the tables with zeroed ones for I = 0..columns and J = 0, rowStep, ..., rows (rows a
  // multiple of rowStep). False (and empty tables) when the memory cannot be had or the size is beyond
  // all reason.
  bool Allocate(int32_t columns, int32_t rows, int32_t rowStep = 1);
  void Free();

  bool empty() const { return factors_ == nullptr; }
  // Offsets held, and bytes taken by all planes.
  std::size_t EntryCount() const;
  std::size_t ByteSize() const;

  // Whether (I, J) is an offset the tables hold (none while they are empty).
  bool Holds(int64_t i, int64_t j) const {
    return !empty() && i >= 0 && j >= 0 && i <= columnCount && j <= rowCount && j % rowStep == 0;
  }

  // Row J (a multiple of rowStep), entries I = 0..columnCount, then padding up to RowStride().
  const float* DistanceRow(int j) const { return distances_.get() + RowStart(j); }
  const float* InverseDistanceRow(int j) const { return distances_.get() + planeSize_ + RowStart(j); }
  const double* FactorRow(TablePlane plane, int j) const {
    return factors_.get() + static_cast<std::size_t>(plane) * planeSize_ + RowStart(j);
  }
  std::size_t RowStride() const { return rowStride_; }

  // One offset, (I, J) held.
  float Distance(int i, int j) const { return DistanceRow(j)[i]; }
  float InverseDistance(int i, int j) const { return InverseDistanceRow(j)[i]; }
  RiseFactors Rise(int i, int j) const;
  TrailFactors Trail(int i, int j) const;
  LeadFactors Lead(int i, int j) const;

  // Distance classes: the entries at the same distance (and so with the same factors) form a class, the
  // classes numbered by increasing distance. Made by GroupDistances once every distance is set.
  const int32_t* ClassRow(int j) const { return classes_.get() + RowStart(j); }
  int32_t ClassCount() const { return classCount_; }
  const float* ClassDistances() const { return classDistances_.get(); }
  float ClassDistance(int32_t k) const { return classDistances_[static_cast<std::size_t>(k)]; }
  float ClassInverseDistance(int32_t k) const { return classInverseDistances_[static_cast<std::size_t>(k)]; }
  const float* ClassInverseDistances() const { return classInverseDistances_.get(); }
  // False when the memory cannot be had.
  bool GroupDistances();

  void SetDistance(int i, int j, float distance, float inverseDistance);
  void SetFactors(int i, int j, const RiseFactors& rise);
  void SetFactors(int i, int j, const TrailFactors& trail);
  void SetFactors(int i, int j, const LeadFactors& lead);

  int32_t columnCount = 0;  // gridCellsX
  int32_t rowCount = 0;     // rowOffsetScale * gridCellsY
  int32_t rowStep = 1;      // rowOffsetScale

 private:
  std::size_t RowStart(int j) const { return static_cast<std::size_t>(j / rowStep) * rowStride_; }
  double& Factor(TablePlane plane, int i, int j) {
    return factors_[static_cast<std::size_t>(plane) * planeSize_ + RowStart(j) + i];
  }
  double Factor(TablePlane plane, int i, int j) const { return FactorRow(plane, j)[i]; }

  std::unique_ptr<double[]> factors_;   // kTablePlaneCount planes
  std::unique_ptr<float[]> distances_;  // distance plane, then inverse distance plane
  std::unique_ptr<int32_t[]> classes_;  // distance class plane
  std::unique_ptr<float[]> classDistances_;
  std::unique_ptr<float[]> classInverseDistances_;
  int32_t classCount_ = 0;
  std::size_t rowStride_ = 0;
  std::size_t planeSize_ = 0;
};

}  // namespace lumar
