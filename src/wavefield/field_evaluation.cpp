#include "wavefield/field_evaluation.h"

#include <cmath>
#include <cstdlib>

#include "wavefield/wave_factors.h"

namespace lumar {
namespace {

// Beyond these the contributions are exactly zero: too far from the centre while rising, more than 4/alpha
// behind or 10/kappa ahead of the crest while travelling.
constexpr float kRiseReach = 10.0f;
constexpr float kTrailReach = -4.0f;
constexpr float kLeadReach = 10.0f;

// One source's contribution at table offset (i, j), or false when a cut-off drops it.
bool Contribute(const WaveField& field, const RippleSource& s, const TableEntry& entry, Contribution& out) {
  const RunConstants& c = field.constants;
  const float r = entry.distance;
  const float kappa = s.effectiveWaveNumber;
  // Normal calculation, and sources rebased out of the tables' range, compute the factors here.
  const bool fromTables = c.fastCalculation && !s.exponentsRebased;
  const FactorShape shape{c.fastCalculation ? c.baseWaveNumber : kappa, c.oneSide, c.spaceFadeRate};
  if (s.age < s.quarterWaveTime) {
    if (kappa * r > kRiseReach) return false;
    out = RisingContribution(
        s, c.fastCalculation ? entry.rise : ComputeRiseFactors(shape, r, entry.inverseDistance));
    return true;
  }
  const float delta = r - s.frontDistance;
  if (c.spaceFadeRate * delta < kTrailReach || delta * kappa > kLeadReach) return false;
  if (delta <= 0.0f) {
    out = BehindCrestContribution(
        s, fromTables ? entry.trail
                      : ComputeTrailFactors(shape, r, entry.inverseDistance, s.trailExponentShift));
  } else {
    out = AheadOfCrestContribution(
        s,
        fromTables ? entry.lead : ComputeLeadFactors(shape, r, entry.inverseDistance, s.leadExponentShift));
  }
  return true;
}

}  // namespace

Contribution RisingContribution(const RippleSource& s, const RiseFactors& p) {
  return {p.riseLevel * s.riseSin - p.risePhase * s.riseSinPhase,
          p.riseSlopePhase * s.riseSinPhase + p.riseSlope * s.riseSin};
}

Contribution BehindCrestContribution(const RippleSource& s, const TrailFactors& q) {
  return {q.trailCosFactor * s.trailSin + q.trailLift * s.trailLevel - q.trailSinFactor * s.trailCos,
          q.trailCosSlopeFactor * s.trailCosSlope - q.trailSinSlopeFactor * s.trailSinSlope};
}

Contribution AheadOfCrestContribution(const RippleSource& s, const LeadFactors& q) {
  return {q.leadLevelFactor * s.leadLevel - q.leadPhaseFactor * s.leadLevelPhase + q.frontFactor * s.frontCos,
          q.frontSlopeFactor * s.frontCosSlope - q.leadSlopeFactor * s.leadLevelSlope +
              q.leadPhaseSlopeFactor * s.leadLevelPhaseSlope};
}

FieldSums SumSources(const WaveField& field, int a, int b) {
  const RunConstants& c = field.constants;
  const SourceSet& set = field.sourceSet;
  FieldSums sums;
  for (int n = 0; n < set.sourceCount; ++n) {
    const RippleSource& s = set.sources[n];
    if (!(s.age > 0.0f)) continue;
    const int dx = a - s.nodeX;
    const int dy = b - s.nodeY;
    const int i = std::abs(dx);
    const int j = std::abs(dy) * c.rowOffsetScale;
    if (i > field.tables.columnCount || j > field.tables.rowCount) continue;
    Contribution contribution;
    if (!Contribute(field, s, field.tables.At(i, j), contribution)) continue;
    sums.height += contribution.height;
    sums.slopeX += contribution.slope * dx;
    sums.slopeY += contribution.slope * dy;
  }
  return sums;
}

NodeField EvaluateNode(const WaveField& field, int a, int b) {
  const RunConstants& c = field.constants;
  const FieldSums sums = SumSources(field, a, b);
  const double h = sums.height;
  const double gx = sums.slopeX;
  const double gy = sums.slopeY;
  NodeField out;
  out.height = static_cast<float>(c.heightScale * h);
  out.normal[0] = static_cast<float>(-c.lightSlopeScale * gx);
  out.normal[1] = static_cast<float>(-c.lightSlopeScale * gy);
  out.normal[2] = -1.0;
  const double ox = c.opticSlopeScale * gx;
  const double oy = c.opticSlopeScale * gy;
  const double unit = static_cast<float>(1.0 / std::sqrt(ox * ox + oy * oy + 1.0));
  out.refraction[0] = -unit * ox;
  out.refraction[1] = -unit * oy;
  out.refraction[2] = -unit;
  return out;
}

}  // namespace lumar
