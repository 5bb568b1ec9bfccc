#include "wavefield/wave_factors.h"

#include <cmath>

#include "wavefield/factor_formulas.h"

namespace lumar {

RiseFactors ComputeRiseFactors(const FactorShape& shape, double r, double ir) {
  const double s = SideScale(shape.oneSide);
  const double b = SideDecay(shape.oneSide);
  const double c0 = kRiseGain;
  const double x = b * shape.waveNumber * r;
  const double e = std::exp(-x);
  const double k = b * shape.waveNumber;
  RiseFactors f;
  f.riseLevel = e * c0 * s * (x + 1.0 + (2.0 - e) * kPi / 2.0);
  f.risePhase = s * c0 * (2.0 - e) * e;
  f.riseSlopePhase = 20.0 * s * ir * k * c0 * (1.0 - e) * e;
  f.riseSlope = 10.0 * s * ir * k * c0 * e * (-x - (1.0 - e) * kPi);
  return f;
}

TrailFactors ComputeTrailFactors(const FactorShape& shape, double r, double ir, double exponentShift) {
  const PhaseWaves p = ComputePhaseWaves(shape.waveNumber * r);
  const double growth = std::exp(shape.spaceFadeRate * r + exponentShift);
  double f[5];
  TrailFactorsOf<ScalarLane>(shape.oneSide, p.cosine, p.sine, p.decay, growth, ir, f);
  return {f[0], f[1], f[2], f[3], f[4]};
}

LeadFactors ComputeLeadFactors(const FactorShape& shape, double r, double ir, double exponentShift) {
  const double kr = shape.waveNumber * r;
  const double x = SideDecay(shape.oneSide) * kr;
  const double flankDecay = std::exp(-x + exponentShift);
  const PhaseWaves p = ComputePhaseWaves(kr);
  double f[6];
  LeadFactorsOf<ScalarLane>(shape.oneSide, x, flankDecay, p.cosine, p.sine, p.decay, ir, f);
  return {f[0], f[1], f[2], f[3], f[4], f[5]};
}

}  // namespace lumar
