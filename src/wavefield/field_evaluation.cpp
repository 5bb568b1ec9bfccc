#include "wavefield/field_evaluation.h"

#include <cstdlib>

#include "wavefield/lane_formulas.h"
#include "wavefield/wave_factors.h"

namespace lumar {
namespace {

// One source's contribution at table offset (i, j), or false when a cut-off drops it.
bool Contribute(const WaveField& field, const RippleSource& s, int i, int j, Contribution& out) {
  const RunConstants& c = field.constants;
  const WaveTables& tables = field.tables;
  const float r = tables.Distance(i, j);
  const float ir = tables.InverseDistance(i, j);
  const float kappa = s.effectiveWaveNumber;
  const FactorRoutes routes = RoutesFor(c, s);
  const WaveShape shape{c.fastCalculation ? c.baseWaveNumber : kappa, c.oneSide, c.spaceFadeRate};
  if (s.age < s.quarterWaveTime) {
    if (!WithinRiseReach(kappa, r)) return false;
    out = RisingContribution(s, routes.riseFromTables ? tables.Rise(i, j) : ComputeRiseFactors(shape, r, ir));
    return true;
  }
  const float delta = r - s.frontDistance;
  if (!WithinTrailReach(c.spaceFadeRate, delta) || !WithinLeadReach(kappa, delta)) return false;
  if (BehindCrest(delta)) {
    out = BehindCrestContribution(s, routes.trailFromTables
                                         ? tables.Trail(i, j)
                                         : ComputeTrailFactors(shape, r, ir, s.trailExponentShift));
  } else {
    out = AheadOfCrestContribution(
        s, routes.leadFromTables ? tables.Lead(i, j) : ComputeLeadFactors(shape, r, ir, s.leadExponentShift));
  }
  return true;
}

}  // namespace

Contribution RisingContribution(const RippleSource& s, const RiseFactors& p) {
  const double factors[4] = {p.riseLevel, p.risePhase, p.riseSlopePhase, p.riseSlope};
  const double coefficients[2] = {s.riseSin, s.riseSinPhase};
  Contribution out;
  RisingPartOf<ScalarLane>(factors, coefficients, out.height, out.slope);
  return out;
}

Contribution BehindCrestContribution(const RippleSource& s, const TrailFactors& q) {
  const double factors[5] = {q.trailLift, q.trailCosFactor, q.trailSinFactor, q.trailCosSlopeFactor,
                             q.trailSinSlopeFactor};
  const double coefficients[5] = {s.trailLevel, s.trailSin, s.trailCos, s.trailCosSlope, s.trailSinSlope};
  Contribution out;
  BehindCrestPartOf<ScalarLane>(factors, coefficients, out.height, out.slope);
  return out;
}

Contribution AheadOfCrestContribution(const RippleSource& s, const LeadFactors& q) {
  const double factors[6] = {q.leadLevelFactor, q.leadPhaseFactor,      q.frontFactor,
                             q.leadSlopeFactor, q.leadPhaseSlopeFactor, q.frontSlopeFactor};
  const double coefficients[6] = {s.leadLevel,      s.leadLevelPhase,      s.frontCos,
                                  s.leadLevelSlope, s.leadLevelPhaseSlope, s.frontCosSlope};
  Contribution out;
  AheadOfCrestPartOf<ScalarLane>(factors, coefficients, out.height, out.slope);
  return out;
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
    if (!field.tables.Holds(i, j)) continue;
    Contribution contribution;
    if (!Contribute(field, s, i, j, contribution)) continue;
    sums.height += contribution.height;
    sums.slopeX += contribution.slope * dx;
    sums.slopeY += contribution.slope * dy;
  }
  return sums;
}

NodeField NodeFieldFromSums(const RunConstants& c, const FieldSums& sums) {
  return NodeFieldFromSums(OutputScalesOf(c), sums);
}

NodeField NodeFieldFromSums(const OutputScales& scales, const FieldSums& sums) {
  NodeOutput<ScalarLane> o;
  NodeOutputOf<ScalarLane>(scales, sums.height, sums.slopeX, sums.slopeY, o);
  NodeField out;
  out.height = static_cast<float>(o.height);
  out.normal[0] = static_cast<float>(o.normalX);
  out.normal[1] = static_cast<float>(o.normalY);
  out.normal[2] = -1.0;
  out.refraction[0] = o.refractionX;
  out.refraction[1] = o.refractionY;
  out.refraction[2] = -o.unit;
  return out;
}

NodeOutputs NodeOutputsOf(const NodeField& node) {
  return NodeOutputs{node.height,
                     static_cast<float>(node.normal[0]),
                     static_cast<float>(node.normal[1]),
                     static_cast<float>(-node.refraction[2]),
                     node.refraction[0],
                     node.refraction[1]};
}

NodeField EvaluateNode(const WaveField& field, int a, int b) {
  return NodeFieldFromSums(field.constants, SumSources(field, a, b));
}

}  // namespace lumar
