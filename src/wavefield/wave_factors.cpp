#include "wavefield/wave_factors.h"

#include "wavefield/factor_formulas.h"

namespace lumar {

RiseFactors ComputeRiseFactors(const FactorShape& shape, double r, double ir) {
  const double s = SideScale(shape.oneSide);
  const double b = SideDecay(shape.oneSide);
  const double c0 = kRiseGain;
  const double x = b * shape.waveNumber * r;
  const double e = Exp(-x);
  const double k = b * shape.waveNumber;
  RiseFactors f;
  f.riseLevel = e * c0 * s * (x + 1.0 + (2.0 - e) * kPi / 2.0);
  f.risePhase = s * c0 * (2.0 - e) * e;
  f.riseSlopePhase = 20.0 * s * ir * k * c0 * (1.0 - e) * e;
  f.riseSlope = 10.0 * s * ir * k * c0 * e * (-x - (1.0 - e) * kPi);
  return f;
}

TrailFactors ComputeTrailFactors(const FactorShape& shape, double r, double ir, double exponentShift) {
  const TravelShape travel{
      shape.waveNumber, shape.spaceFadeRate, exponentShift, shape.oneSide, false, 0.0, false};
  double f[5];
  TrailFactorsAt<ScalarLane>(travel, r, ir, f);
  return {f[0], f[1], f[2], f[3], f[4]};
}

LeadFactors ComputeLeadFactors(const FactorShape& shape, double r, double ir, double exponentShift) {
  const TravelShape travel{
      shape.waveNumber, shape.spaceFadeRate, exponentShift, shape.oneSide, false, 0.0, false};
  double f[6];
  LeadFactorsAt<ScalarLane>(travel, r, ir, f);
  return {f[0], f[1], f[2], f[3], f[4], f[5]};
}

}  // namespace lumar
