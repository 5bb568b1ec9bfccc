// The distance factors of one source's contribution at a node: everything that depends only on the
// node's distance r from the source's centre and on the wave number. The tables hold them for the run's
// base wave number; normal calculation computes them per node for each source's own wave number.
#pragma once

namespace lumar {

constexpr double kPi = 3.14159265358979323846;
constexpr float kTwoPi = 6.2831855f;          // 2 pi as the single-precision value the field uses
constexpr float kRiseGain = 0.20787958f;      // c0 = e^(-pi/2)
constexpr float kOneSideDecay = 0.70710677f;  // beta = 1/sqrt(2)

// Factors of the rising branch (the crest has not yet left the centre).
struct RiseFactors {
  double riseLevel, risePhase, riseSlopePhase, riseSlope;
};

// Factors behind or on the crest.
struct TrailFactors {
  double trailLift, trailCosFactor, trailSinFactor, trailCosSlopeFactor, trailSinSlopeFactor;
};

// Factors ahead of the crest.
struct LeadFactors {
  double leadLevelFactor, leadPhaseFactor, frontFactor, leadSlopeFactor, leadPhaseSlopeFactor,
      frontSlopeFactor;
};

// The shape of the factors: wave number kappa (rad/px), one or both sides, space fading rate alpha.
struct FactorShape {
  double waveNumber;
  bool oneSide;
  double spaceFadeRate;
};

// r in pixels, ir = 1/r (0 at r = 0).
RiseFactors ComputeRiseFactors(const FactorShape& shape, double r, double ir);

// exponentShift is added to the exponent alpha*r of the fading growth e^(alpha*r). A source whose
// coefficients would overflow carries the matching decay in the shift instead (see RippleSource).
TrailFactors ComputeTrailFactors(const FactorShape& shape, double r, double ir, double exponentShift = 0.0);

// exponentShift is added to the exponent -X of the flank's decay e^(-X), X = b*kappa*r.
LeadFactors ComputeLeadFactors(const FactorShape& shape, double r, double ir, double exponentShift = 0.0);

}  // namespace lumar
