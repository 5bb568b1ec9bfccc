#include "wavefield/frame_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "wavefield/factor_formulas.h"
#include "wavefield/field_evaluation.h"
#include "wavefield/wave_field.h"

namespace lumar {
namespace {

// The first offset along a table row where `passes` stops holding (it holds for a leading run only).
template <class Predicate>
int FirstFailing(const float* distances, int count, Predicate passes) {
  return static_cast<int>(std::partition_point(distances, distances + count, passes) - distances);
}

TableRow Planes(const WaveTables& tables, TablePlane first, int count, int j) {
  TableRow row{};
  for (int k = 0; k < count; ++k) row.plane[k] = tables.FactorRow(static_cast<TablePlane>(first + k), j);
  return row;
}

}  // namespace

enum class FrameEngine::Branch { kRising, kBehindCrest, kAheadOfCrest };

bool SimdVariantSupported(SimdVariant variant) { return variant == SimdVariant::kSse2 || CpuHasAvx2(); }

FrameEngine::FrameEngine() {
  if (!SelectVariant(SimdVariant::kAvx2)) SelectVariant(SimdVariant::kSse2);
}

bool FrameEngine::SelectVariant(SimdVariant variant) {
  if (!SimdVariantSupported(variant)) return false;
  variant_ = variant;
  kernels_ = variant == SimdVariant::kAvx2 ? &Avx2Kernels() : &Sse2Kernels();
  return true;
}

// One source's walk over the table rows: its decisions, taken once, and the columns of the grid it reaches.
struct FrameEngine::Walk {
  const WaveTables* tables;
  const RippleSource* source;
  bool rising;
  // Whether each branch reads its factors from the tables. Normal calculation reads them too for a
  // source whose wave number is the base one: the tables hold exactly the factors it would compute.
  bool riseFromTables;
  bool trailFromTables;
  bool leadFromTables;
  FactorShape shape;
  // Computed factors: with no space fading the fading growth e^(alpha r + shift) is e^shift at every
  // distance; with both sides and no rebase the flank's decay e^(-x + shift) is e^(-kr).
  bool constantGrowth;
  double growth;
  bool flankDecayIsPhaseDecay;
  SourceTerms rise;
  SourceTerms trail;
  SourceTerms lead;
  int64_t nodeX;
  Run right;  // offsets I of the nodes a = nodeX + I on the grid
  Run left;   // offsets I >= 1 of the nodes a = nodeX - I on the grid
};

void FrameEngine::SumField(const WaveField& field) {
  const RunConstants& c = field.constants;
  width_ = c.gridCellsX + 1;
  height_ = c.gridCellsY + 1;
  const std::size_t nodes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  heightSums_.assign(nodes, 0.0);
  slopeXSums_.assign(nodes, 0.0);
  slopeYSums_.assign(nodes, 0.0);
  if (field.tables.empty()) {
    ResolveOutputs(field);
    return;
  }
  const std::size_t rowLength = field.tables.RowStride() + 4;
  rowHeight_.resize(rowLength);
  rowSlopeX_.resize(rowLength);
  rowSlopeY_.resize(rowLength);
  rowSlope_.resize(rowLength);
  for (int n = 0; n < field.sourceSet.sourceCount; ++n) SumSource(field, n);
  ResolveOutputs(field);
}

void FrameEngine::ResolveOutputs(const WaveField& field) {
  const RunConstants& c = field.constants;
  const std::size_t nodes = heightSums_.size();
  heights_.resize(nodes);
  normalsX_.resize(nodes);
  normalsY_.resize(nodes);
  refractionsX_.resize(nodes);
  refractionsY_.resize(nodes);
  units_.resize(nodes);
  const OutputScales scales{c.heightScale, -c.lightSlopeScale, c.opticSlopeScale};
  for (int b = 0; b < height_; ++b) {
    const std::size_t k = static_cast<std::size_t>(b) * static_cast<std::size_t>(width_);
    const NodeOutputRow row{&heights_[k],      &normalsX_[k],     &normalsY_[k],
                            &refractionsX_[k], &refractionsY_[k], &units_[k]};
    int a = kernels_->outputRow(scales, &heightSums_[k], &slopeXSums_[k], &slopeYSums_[k], width_, row);
    for (; a < width_; ++a) {
      const NodeField node = NodeFieldFromSums(c, SumsAt(a, b));
      row.height[a] = node.height;
      row.normalX[a] = static_cast<float>(node.normal[0]);
      row.normalY[a] = static_cast<float>(node.normal[1]);
      row.refractionX[a] = node.refraction[0];
      row.refractionY[a] = node.refraction[1];
      row.unit[a] = static_cast<float>(-node.refraction[2]);
    }
  }
}

void FrameEngine::SumSource(const WaveField& field, int index) {
  const RunConstants& c = field.constants;
  const WaveTables& tables = field.tables;
  const RippleSource& s = field.sourceSet.sources[index];
  if (!(s.age > 0.0f)) return;

  const float kappa = s.effectiveWaveNumber;
  const float front = s.frontDistance;
  const float alpha = c.spaceFadeRate;
  const bool tablesFit = c.fastCalculation || kappa == c.baseWaveNumber;
  Walk w{};
  w.tables = &tables;
  w.source = &s;
  w.rising = s.age < s.quarterWaveTime;
  w.riseFromTables = tablesFit;
  w.trailFromTables = tablesFit && !s.trailRebased;
  w.leadFromTables = tablesFit && !s.leadRebased;
  w.shape = FactorShape{c.fastCalculation ? c.baseWaveNumber : kappa, c.oneSide, c.spaceFadeRate};
  w.constantGrowth = w.shape.spaceFadeRate == 0.0;
  w.growth = std::exp(w.shape.spaceFadeRate * 0.0 + s.trailExponentShift);
  w.flankDecayIsPhaseDecay = !c.oneSide && s.leadExponentShift == 0.0;
  w.rise = SourceTerms{{s.riseSin, s.riseSinPhase}};
  w.trail = SourceTerms{{s.trailLevel, s.trailSin, s.trailCos, s.trailCosSlope, s.trailSinSlope}};
  w.lead = SourceTerms{
      {s.leadLevel, s.leadLevelPhase, s.frontCos, s.leadLevelSlope, s.leadLevelPhaseSlope, s.frontCosSlope}};
  w.nodeX = s.nodeX;
  const int64_t lastColumn = width_ - 1;
  const int64_t lastRow = height_ - 1;
  w.right = Run{-w.nodeX, lastColumn - w.nodeX}.Within(0, tables.columnCount);
  w.left = Run{w.nodeX - lastColumn, w.nodeX}.Within(1, tables.columnCount);
  if (w.right.empty() && w.left.empty()) return;

  // The rows the source reaches: the run of offsets the cut-offs pass within the grid, and the first one
  // ahead of the crest.
  plans_.clear();
  const int64_t nodeY = s.nodeY;
  const int64_t scale = tables.rowStep;
  const int64_t farthestRow = std::min<int64_t>(tables.rowCount / scale, std::max(nodeY, lastRow - nodeY));
  const int count = tables.columnCount + 1;
  for (int64_t d = std::max<int64_t>(0, std::max(-nodeY, nodeY - lastRow)); d <= farthestRow; ++d) {
    RowPlan plan{};
    plan.up = nodeY + d >= 0 && nodeY + d <= lastRow;
    plan.down = d > 0 && nodeY - d >= 0 && nodeY - d <= lastRow;
    if (!plan.up && !plan.down) continue;
    const float* distances = tables.DistanceRow(static_cast<int>(d * scale));
    int64_t first = 0;
    int64_t end;
    if (w.rising) {
      end = FirstFailing(distances, count, [&](float r) { return WithinRiseReach(kappa, r); });
      plan.crest = end;
    } else {
      end = FirstFailing(distances, count, [&](float r) { return WithinLeadReach(kappa, r - front); });
      first = FirstFailing(distances, count, [&](float r) { return !WithinTrailReach(alpha, r - front); });
      plan.crest = FirstFailing(distances, count, [&](float r) { return BehindCrest(r - front); });
    }
    // Distances grow with the row offset too: once a row's nearest offset is out of reach, every
    // further row is.
    if (end == 0) break;
    plan.right = w.right.Within(first, end - 1);
    plan.left = w.left.Within(first, end - 1);
    if (plan.right.empty() && plan.left.empty()) continue;
    plan.both = plan.right.empty()  ? plan.left
                : plan.left.empty() ? plan.right
                                    : Run{std::min(plan.left.first, plan.right.first),
                                          std::max(plan.left.last, plan.right.last)};
    plan.d = static_cast<int>(d);
    plans_.push_back(plan);
  }
  if (!w.rising && !(w.trailFromTables && w.leadFromTables)) ComputeClasses(w);
  for (const RowPlan& plan : plans_) {
    ComputeRow(w, plan);
    if (plan.up) ApplyRow(w, static_cast<int>(nodeY + plan.d), plan.right, plan.left, false);
    if (plan.down) ApplyRow(w, static_cast<int>(nodeY - plan.d), plan.right, plan.left, true);
  }
}

// A travelling source whose factors are computed: its contribution depends on the distance alone, so it is
// computed once for each distance class its rows reach, in two lists (behind and ahead of the crest).
void FrameEngine::ComputeClasses(const Walk& w) {
  const WaveTables& tables = *w.tables;
  // The stamps are kept apart from the values, small enough to stay in the cache while a source marks.
  if (++classSerial_ == 0) {
    std::fill(classStamps_.begin(), classStamps_.end(), 0u);
    classSerial_ = 1;
  }
  const std::size_t classes = static_cast<std::size_t>(tables.ClassCount());
  if (classValues_.size() != classes) {
    classValues_.assign(classes, ClassValue{0.0, 0.0});
    classStamps_.assign(classes, 0u);
  }
  // Stamp the classes the computed segments reach; along a row the classes ascend, so each segment's ends
  // bound the stamped range.
  const uint32_t serial = classSerial_;
  uint32_t* stamps = classStamps_.data();
  int32_t lowest = tables.ClassCount();
  int32_t highest = -1;
  for (const RowPlan& plan : plans_) {
    const int32_t* row = tables.ClassRow(plan.d * tables.rowStep);
    const Run segments[2] = {plan.both.Within(plan.both.first, plan.crest - 1),
                             plan.both.Within(plan.crest, plan.both.last)};
    const bool computed[2] = {!w.trailFromTables, !w.leadFromTables};
    for (int branch = 0; branch < 2; ++branch) {
      const Run& segment = segments[branch];
      if (!computed[branch] || segment.empty()) continue;
      for (int64_t i = segment.first; i <= segment.last; ++i) stamps[row[i]] = serial;
      lowest = std::min(lowest, row[segment.first]);
      highest = std::max(highest, row[segment.last]);
    }
  }
  // The stamped classes in ascending distance, split at the crest: behind it, and ahead of it. Each list
  // is written one entry ahead and grows only by the stamped classes: no branch to mispredict.
  const float front = w.source->frontDistance;
  const int32_t crest =
      lowest + FirstFailing(tables.ClassDistances() + std::max(lowest, 0), std::max(highest + 1 - lowest, 0),
                            [&](float r) { return BehindCrest(r - front); });
  const int32_t bounds[3] = {lowest, crest, highest + 1};
  std::size_t listed[2] = {0, 0};
  for (int branch = 0; branch < 2; ++branch) {
    if (classList_[branch].size() < classes + 1) classList_[branch].resize(classes + 1);
    int32_t* list = classList_[branch].data();
    std::size_t n = 0;
    for (int32_t k = bounds[branch]; k < bounds[branch + 1]; ++k) {
      list[n] = k;
      n += stamps[k] == serial;
    }
    listed[branch] = n;
  }
  for (int branch = 0; branch < 2; ++branch) {
    const int32_t* list = classList_[branch].data();
    const std::size_t count = listed[branch];
    if (count == 0) continue;
    const std::size_t length = count + 4;
    for (int k = 0; k < kWaveLanes; ++k) waveScratch_[k].resize(length);
    for (std::vector<double>* terms : {&listHeight_, &listSlopeX_, &listSlopeY_, &listSlope_})
      terms->resize(length);
    listDistances_.resize(length);
    listInverseDistances_.resize(length);
    for (std::size_t n = 0; n < count; ++n) {
      listDistances_[n] = tables.ClassDistance(list[n]);
      listInverseDistances_[n] = tables.ClassInverseDistance(list[n]);
    }
    const RowTerms out{listHeight_.data(), listSlopeX_.data(), listSlopeY_.data(), listSlope_.data()};
    ComputeTravelling(w, branch == 0 ? Branch::kBehindCrest : Branch::kAheadOfCrest, listDistances_.data(),
                      listInverseDistances_.data(), 0, static_cast<int>(count) - 1, 0.0, out);
    for (std::size_t n = 0; n < count; ++n) {
      ClassValue& value = classValues_[static_cast<std::size_t>(list[n])];
      value.height = listHeight_[n];
      value.slope = listSlope_[n];
    }
  }
}

void FrameEngine::ComputeRow(const Walk& w, const RowPlan& plan) {
  const RowTerms out{rowHeight_.data(), rowSlopeX_.data(), rowSlopeY_.data(), rowSlope_.data()};
  if (w.rising) {
    ComputeSegment(w, plan.d, plan.both, Branch::kRising, out);
    return;
  }
  // Behind first: the registers it writes past the crest are overwritten by the segment ahead.
  ComputeSegment(w, plan.d, plan.both.Within(plan.both.first, plan.crest - 1), Branch::kBehindCrest, out);
  ComputeSegment(w, plan.d, plan.both.Within(plan.crest, plan.both.last), Branch::kAheadOfCrest, out);
}

void FrameEngine::ComputeSegment(const Walk& w, int d, const Run& run, Branch branch,
                                 const RowTerms& out) const {
  if (run.empty()) return;
  const WaveTables& tables = *w.tables;
  const int j = d * tables.rowStep;
  const double rowOffset = d;
  const int from = static_cast<int>(run.first);
  const int to = static_cast<int>(run.last);
  switch (branch) {
    case Branch::kRising:
      if (w.riseFromTables) {
        return kernels_->risingRow(Planes(tables, kRiseLevel, 4, j), w.rise, rowOffset, from, to, out);
      }
      break;
    case Branch::kBehindCrest:
      if (w.trailFromTables) {
        return kernels_->behindCrestRow(Planes(tables, kTrailLift, 5, j), w.trail, rowOffset, from, to, out);
      }
      break;
    case Branch::kAheadOfCrest:
      if (w.leadFromTables) {
        return kernels_->aheadOfCrestRow(Planes(tables, kLeadLevelFactor, 6, j), w.lead, rowOffset, from, to,
                                         out);
      }
      break;
  }
  if (branch == Branch::kRising) {
    // The factors computed per offset, with the very calls of the node-by-node evaluation.
    const float* distances = tables.DistanceRow(j);
    const float* inverseDistances = tables.InverseDistanceRow(j);
    for (int i = from; i <= to; ++i) {
      const Contribution part =
          RisingContribution(*w.source, ComputeRiseFactors(w.shape, distances[i], inverseDistances[i]));
      out.height[i] = part.height;
      out.slopeX[i] = part.slope * i;
      out.slopeY[i] = part.slope * rowOffset;
    }
    return;
  }
  // Travelling with computed factors: the values of the offsets' distance classes (ComputeClasses).
  const int32_t* classes = tables.ClassRow(j);
  for (int i = from; i <= to; ++i) {
    const ClassValue& value = classValues_[static_cast<std::size_t>(classes[i])];
    const double slope = value.slope;
    out.height[i] = value.height;
    out.slopeX[i] = slope * i;
    out.slopeY[i] = slope * rowOffset;
  }
}

void FrameEngine::ComputeTravelling(const Walk& w, Branch branch, const float* distances,
                                    const float* inverseDistances, int from, int to, double rowOffset,
                                    const RowTerms& out) {
  // The library calls of the node-by-node evaluation, one offset at a time; the arithmetic in registers.
  const RippleSource& s = *w.source;
  double* lane[kWaveLanes];
  for (int k = 0; k < kWaveLanes; ++k) lane[k] = waveScratch_[k].data();
  const WaveRow waves{{lane[0], lane[1], lane[2], lane[3], lane[4]}};
  if (branch == Branch::kBehindCrest) {
    for (int i = from; i <= to; ++i) {
      const double r = distances[i];
      const PhaseWaves p = ComputePhaseWaves(w.shape.waveNumber * r);
      lane[0][i] = p.cosine;
      lane[1][i] = p.sine;
      lane[2][i] = p.decay;
      lane[3][i] = w.constantGrowth ? w.growth : std::exp(w.shape.spaceFadeRate * r + s.trailExponentShift);
    }
    return kernels_->behindCrestComputedRow(waves, inverseDistances, w.shape.oneSide, w.trail, rowOffset,
                                            from, to, out);
  }
  const double sideDecay = SideDecay(w.shape.oneSide);
  for (int i = from; i <= to; ++i) {
    const double kr = w.shape.waveNumber * distances[i];
    const double x = sideDecay * kr;
    const PhaseWaves p = ComputePhaseWaves(kr);
    lane[0][i] = x;
    lane[1][i] = w.flankDecayIsPhaseDecay ? p.decay : std::exp(-x + s.leadExponentShift);
    lane[2][i] = p.cosine;
    lane[3][i] = p.sine;
    lane[4][i] = p.decay;
  }
  kernels_->aheadOfCrestComputedRow(waves, inverseDistances, w.shape.oneSide, w.lead, rowOffset, from, to,
                                    out);
}

void FrameEngine::ApplyRow(const Walk& w, int b, const Run& right, const Run& left, bool negateY) {
  const RowTerms terms{rowHeight_.data(), rowSlopeX_.data(), rowSlopeY_.data(), rowSlope_.data()};
  const std::size_t rowStart = static_cast<std::size_t>(b) * static_cast<std::size_t>(width_);
  if (!right.empty()) {
    const std::size_t a = rowStart + static_cast<std::size_t>(w.nodeX + right.first);
    const NodeSums nodes{&heightSums_[a], &slopeXSums_[a], &slopeYSums_[a]};
    kernels_->applyRun(terms, static_cast<int>(right.first), static_cast<int>(right.last - right.first + 1),
                       nodes, false, negateY);
  }
  if (!left.empty()) {
    const std::size_t a = rowStart + static_cast<std::size_t>(w.nodeX - left.last);
    const NodeSums nodes{&heightSums_[a], &slopeXSums_[a], &slopeYSums_[a]};
    kernels_->applyRun(terms, static_cast<int>(left.last), static_cast<int>(left.last - left.first + 1),
                       nodes, true, negateY);
  }
}

}  // namespace lumar
