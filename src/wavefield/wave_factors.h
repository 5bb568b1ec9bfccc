// The distance factors of one source's contribution at a node: everything that depends only on the
// node's distance r from the source's centre and on the wave number. The tables hold them for the run's
// base wave number; normal calculation computes them per node for each source's own wave number.
//
// The factors are numbered once, here; every name in the code maps to one number: the fields below, the
// table planes (TablePlane, wave_tables.h), the arrays the lane formulas fill (f[k] of RiseFactorsAt,
// TrailFactorsAt, LeadFactorsAt in lane_formulas.h: number minus one within the branch) and the part
// formulas. With s the side scale (2 one side, 1 both), b the side decay, q = s b, k = b kappa, x = k r,
// e = e^(-x), c0 = kRiseGain, g = kGridSpacing, a = e^(alpha r + shift) the fading growth, d = e^(-kappa r),
// f = e^(-x + shift) the flank's decay and ir = 1/r:
//
//   no.  field (plane)           formula                       used by the part formula
//   p1   riseLevel               e c0 s (x + 1 + (2 - e) pi/2) H = p1 riseSin - p2 riseSinPhase
//   p2   risePhase               s c0 (2 - e) e
//   p3   riseSlopePhase          2 g s ir k c0 (1 - e) e       slope = p3 riseSinPhase + p4 riseSin
//   p4   riseSlope               g s ir k c0 e (-x - (1 - e) pi)
//   q1   trailLift               a one side, 0 both sides      H = q2 trailSin + q1 trailLevel - q3 trailCos
//   q2   trailCosFactor          a cos(kappa r)
//   q3   trailSinFactor          sin(kappa r) (1 - d) a
//   q4   trailCosSlopeFactor     ir ((cos - sin) d - cos) a    slope = q4 trailCosSlope - q5 trailSinSlope
//   q5   trailSinSlopeFactor     ir sin a
//   q6   leadLevelFactor         s (x + 1) f                   H = q6 leadLevel - q7 leadLevelPhase
//   q7   leadPhaseFactor         s f                               + q8 frontCos
//   q8   frontFactor             sin d
//   q9   leadSlopeFactor         ir q x f                      slope = q11 frontCosSlope - q9 leadLevelSlope
//   q10  leadPhaseSlopeFactor    ir q f                            + q10 leadLevelPhaseSlope
//   q11  frontSlopeFactor        ir (cos - sin) d
//
// The planes carry the same names with a k (kRiseLevel .. kFrontSlopeFactor), in this order.
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
struct WaveShape {
  double waveNumber;
  bool oneSide;
  double spaceFadeRate;
};

// r in pixels, ir = 1/r (0 at r = 0).
RiseFactors ComputeRiseFactors(const WaveShape& shape, double r, double ir);

// exponentShift is added to the exponent alpha*r of the fading growth e^(alpha*r). A source whose
// coefficients would overflow carries the matching decay in the shift instead (see RippleSource).
TrailFactors ComputeTrailFactors(const WaveShape& shape, double r, double ir, double exponentShift = 0.0);

// exponentShift is added to the exponent -X of the flank's decay e^(-X), X = b*kappa*r.
LeadFactors ComputeLeadFactors(const WaveShape& shape, double r, double ir, double exponentShift = 0.0);

}  // namespace lumar
