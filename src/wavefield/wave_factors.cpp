#include "wavefield/wave_factors.h"

#include <cmath>

namespace lumar {
namespace {

// One side doubles the terms (s) and slows the flank's decay by beta (b).
double SideScale(const FactorShape& shape) { return shape.oneSide ? 2.0 : 1.0; }
double SideDecay(const FactorShape& shape) {
  return shape.oneSide ? static_cast<double>(kOneSideDecay) : 1.0;
}

}  // namespace

RiseFactors ComputeRiseFactors(const FactorShape& shape, double r, double ir) {
  const double s = SideScale(shape);
  const double b = SideDecay(shape);
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
  const double kr = shape.waveNumber * r;
  const double c = std::cos(kr);
  const double sn = std::sin(kr);
  const double e1 = std::exp(-kr);
  const double a = std::exp(shape.spaceFadeRate * r + exponentShift);
  TrailFactors f;
  f.trailLift = shape.oneSide ? a : 0.0;
  f.trailCosFactor = a * c;
  f.trailSinFactor = sn * (1.0 - e1) * a;
  f.trailCosSlopeFactor = ir * ((c - sn) * e1 - c) * a;
  f.trailSinSlopeFactor = ir * sn * a;
  return f;
}

LeadFactors ComputeLeadFactors(const FactorShape& shape, double r, double ir, double exponentShift) {
  const double s = SideScale(shape);
  const double b = SideDecay(shape);
  const double q = shape.oneSide ? 2.0 * static_cast<double>(kOneSideDecay) : 1.0;
  const double kr = shape.waveNumber * r;
  const double x = b * kr;
  const double e = std::exp(-x + exponentShift);
  const double c = std::cos(kr);
  const double sn = std::sin(kr);
  const double e1 = std::exp(-kr);
  LeadFactors f;
  f.leadLevelFactor = s * (x + 1.0) * e;
  f.leadPhaseFactor = s * e;
  f.frontFactor = sn * e1;
  f.leadSlopeFactor = ir * q * x * e;
  f.leadPhaseSlopeFactor = ir * q * e;
  f.frontSlopeFactor = ir * (c - sn) * e1;
  return f;
}

}  // namespace lumar
