// The arithmetic of the travelling factors once their library calls are done, written once over a lane
// type V: ScalarLane for the node-by-node evaluation, and the frame engine's SIMD registers
// (frame_kernels.h). V supplies T, Set1, Add, Sub and Mul; every lane does the same double operations in
// the same order, so a register's lanes have the bits of the scalar results.
#pragma once

#include "wavefield/wave_factors.h"

namespace lumar {

struct ScalarLane {
  using T = double;
  static T Set1(double x) { return x; }
  static T Add(T a, T b) { return a + b; }
  static T Sub(T a, T b) { return a - b; }
  static T Mul(T a, T b) { return a * b; }
};

// One side doubles the terms (s) and slows the flank's decay by beta (b); q = s * b.
inline double SideScale(bool oneSide) { return oneSide ? 2.0 : 1.0; }
inline double SideDecay(bool oneSide) { return oneSide ? static_cast<double>(kOneSideDecay) : 1.0; }
inline double SideSlopeScale(bool oneSide) {
  return oneSide ? 2.0 * static_cast<double>(kOneSideDecay) : 1.0;
}

// The five trail factors, in the order of TrailFactors, from cos kr, sin kr, e^(-kr), the fading growth
// a = e^(alpha r + shift) and 1/r.
template <class V>
void TrailFactorsOf(bool oneSide, typename V::T cosine, typename V::T sine, typename V::T decay,
                    typename V::T growth, typename V::T inverseDistance, typename V::T (&f)[5]) {
  f[0] = oneSide ? growth : V::Set1(0.0);
  f[1] = V::Mul(growth, cosine);
  f[2] = V::Mul(V::Mul(sine, V::Sub(V::Set1(1.0), decay)), growth);
  f[3] = V::Mul(V::Mul(inverseDistance, V::Sub(V::Mul(V::Sub(cosine, sine), decay), cosine)), growth);
  f[4] = V::Mul(V::Mul(inverseDistance, sine), growth);
}

// The six lead factors, in the order of LeadFactors, from x = b kappa r, the flank's decay
// e = e^(-x + shift), cos kr, sin kr, e^(-kr) and 1/r.
template <class V>
void LeadFactorsOf(bool oneSide, typename V::T x, typename V::T flankDecay, typename V::T cosine,
                   typename V::T sine, typename V::T decay, typename V::T inverseDistance,
                   typename V::T (&f)[6]) {
  const auto s = V::Set1(SideScale(oneSide));
  const auto q = V::Set1(SideSlopeScale(oneSide));
  f[0] = V::Mul(V::Mul(s, V::Add(x, V::Set1(1.0))), flankDecay);
  f[1] = V::Mul(s, flankDecay);
  f[2] = V::Mul(sine, decay);
  f[3] = V::Mul(V::Mul(V::Mul(inverseDistance, q), x), flankDecay);
  f[4] = V::Mul(V::Mul(inverseDistance, q), flankDecay);
  f[5] = V::Mul(V::Mul(inverseDistance, V::Sub(cosine, sine)), decay);
}

// One source's part at a node from the factors of its branch and its coefficients, in the orders of
// SourceTerms (frame_engine_kernels.h): the height and the radial slope over r.
// Rising: H = p1 riseSin - p2 riseSinPhase; f = p3 riseSinPhase + p4 riseSin.
template <class V>
void RisingPartOf(const typename V::T (&p)[4], const typename V::T (&s)[2], typename V::T& height,
                  typename V::T& slope) {
  height = V::Sub(V::Mul(p[0], s[0]), V::Mul(p[1], s[1]));
  slope = V::Add(V::Mul(p[2], s[1]), V::Mul(p[3], s[0]));
}

// Behind the crest: H = q2 trailSin + q1 trailLevel - q3 trailCos; f = q4 trailCosSlope - q5 trailSinSlope.
template <class V>
void BehindCrestPartOf(const typename V::T (&q)[5], const typename V::T (&s)[5], typename V::T& height,
                       typename V::T& slope) {
  height = V::Sub(V::Add(V::Mul(q[1], s[1]), V::Mul(q[0], s[0])), V::Mul(q[2], s[2]));
  slope = V::Sub(V::Mul(q[3], s[3]), V::Mul(q[4], s[4]));
}

// Ahead of the crest: H = q6 leadLevel - q7 leadLevelPhase + q8 frontCos;
// f = q11 frontCosSlope - q9 leadLevelSlope + q10 leadLevelPhaseSlope.
template <class V>
void AheadOfCrestPartOf(const typename V::T (&q)[6], const typename V::T (&s)[6], typename V::T& height,
                        typename V::T& slope) {
  height = V::Add(V::Sub(V::Mul(q[0], s[0]), V::Mul(q[1], s[1])), V::Mul(q[2], s[2]));
  slope = V::Add(V::Sub(V::Mul(q[5], s[5]), V::Mul(q[3], s[3])), V::Mul(q[4], s[4]));
}

}  // namespace lumar
