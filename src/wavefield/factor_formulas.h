// The arithmetic of the factors, written once over a lane type V: ScalarLane (wave_math.h) for the
// node-by-node evaluation and the set-up's tables, and the frame engine's SIMD registers
// (frame_kernels.h). V supplies what wave_math.h names and Negate; every lane does the same double
// operations in the same order, so a register's lanes have the bits of the scalar results.
#pragma once

#include <initializer_list>

#include "wavefield/frame_engine_kernels.h"
#include "wavefield/run_constants.h"
#include "wavefield/wave_factors.h"
#include "wavefield/wave_math.h"

namespace lumar {

// One side doubles the terms (s) and slows the flank's decay by beta (b); q = s * b. Internal linkage: a
// copy built for AVX2 (frame_kernels_avx2.cpp) must never stand in for the others.
static inline double SideScale(bool oneSide) { return oneSide ? 2.0 : 1.0; }
static inline double SideDecay(bool oneSide) { return oneSide ? static_cast<double>(kOneSideDecay) : 1.0; }
static inline double SideSlopeScale(bool oneSide) {
  return oneSide ? 2.0 * static_cast<double>(kOneSideDecay) : 1.0;
}

// The travelling factors' library calls at distance r: cos kr, sin kr and e^(-kr), with kr = kappa r.
// kForm: the form of the calls (wave_math.h: full, lean or short), for arguments known to lie in its ranges.
template <class V, int kForm = kFullForm>
LUMAR_WAVE_MATH_INLINE void PhaseWavesOf(typename V::T kr, typename V::T& cosine, typename V::T& sine,
                                         typename V::T& decay) {
  SinCosOf<V, kForm>(kr, sine, cosine);
  decay = ExpOf<V, kForm>(V::Negate(kr));
}

// What a travelling source's factors need besides the distance. Two calls may be skipped where their result
// is known bit for bit: with no space fading (alpha = 0) the fading growth e^(alpha r + shift) is `growth`
// = e^shift at every distance; with both sides and no rebase the flank's decay e^(-x + shift) is e^(-kr).
struct TravelShape {
  double waveNumber;     // kappa
  double spaceFadeRate;  // alpha
  double exponentShift;  // the trail's or the lead's, as the branch takes it
  bool oneSide;
  bool constantGrowth;
  double growth;
  bool flankDecayIsPhaseDecay;
  // The form of sin, cos and exp that every argument allows (FormFor, wave_math.h).
  int form;
};

// The form of the factors' calls (wave_math.h) that every distance in [nearest, farthest] allows: lean
// where kr (sin and cos), -kr, the growth's and the flank's exponents (exp) lie in the lean ranges, each
// computed as the factor functions compute it; short where kr lies within kShortPhase besides. Each argument
// is a rounded affine function of r, which rounding keeps monotonic, so its values at the two ends bound
// it; a NaN fails every comparison.
inline int FormFor(const TravelShape& shape, bool lead, double nearest, double farthest) {
  bool shortPhase = true;
  for (const double r : {nearest, farthest}) {
    const double kr = shape.waveNumber * r;
    if (!(kr <= kMaxPhase && -kr >= -kMaxPhase && -kr >= kLeanExpLowest && -kr <= kLeanExpHighest)) {
      return kFullForm;
    }
    double exponent = 0.0;
    if (!lead && !shape.constantGrowth) {
      exponent = shape.spaceFadeRate * r + shape.exponentShift;
    } else if (lead && !shape.flankDecayIsPhaseDecay) {
      exponent = -(SideDecay(shape.oneSide) * kr) + shape.exponentShift;
    }
    if (!(exponent >= kLeanExpLowest && exponent <= kLeanExpHighest)) return kFullForm;
    shortPhase = shortPhase && kr <= kShortPhase && kr >= -kShortPhase;
  }
  return shortPhase ? kShortForm : kLeanForm;
}

// The four rising factors at distance r (ir = 1/r), in the order of RiseFactors, with x = b kappa r and
// e = e^(-x) (the shape's wave number and side only are read).
template <class V>
void RiseFactorsAt(const TravelShape& shape, const typename V::T& r, const typename V::T& ir,
                   typename V::T (&f)[4]) {
  const double s = SideScale(shape.oneSide);
  const double b = SideDecay(shape.oneSide);
  const auto c0 = V::Set1(kRiseGain);
  const auto one = V::Set1(1.0);
  const auto two = V::Set1(2.0);
  const auto pi = V::Set1(kPi);
  const auto k = V::Set1(b * shape.waveNumber);
  const auto x = V::Mul(k, r);
  const auto e = ExpOf<V>(V::Negate(x));
  // e c0 s (x + 1 + (2 - e) pi / 2)
  f[0] = V::Mul(V::Mul(V::Mul(e, c0), V::Set1(s)),
                V::Add(V::Add(x, one), V::Div(V::Mul(V::Sub(two, e), pi), two)));
  // s c0 (2 - e) e
  f[1] = V::Mul(V::Mul(V::Mul(V::Set1(s), c0), V::Sub(two, e)), e);
  // 20 s ir k c0 (1 - e) e
  f[2] = V::Mul(V::Mul(V::Mul(V::Mul(V::Mul(V::Set1(20.0 * s), ir), k), c0), V::Sub(one, e)), e);
  // 10 s ir k c0 e (-x - (1 - e) pi)
  f[3] = V::Mul(V::Mul(V::Mul(V::Mul(V::Mul(V::Set1(10.0 * s), ir), k), c0), e),
                V::Sub(V::Negate(x), V::Mul(V::Sub(one, e), pi)));
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

// The trail factors at distance r (ir = 1/r) from the library calls. The lane values come by reference:
// out of line, a register passed by value would need a 32-byte aligned copy on the stack, which the Win64
// calling convention does not promise.
template <class V, int kForm = kFullForm>
void TrailFactorsAt(const TravelShape& shape, const typename V::T& r, const typename V::T& ir,
                    typename V::T (&f)[5]) {
  typename V::T cosine, sine, decay;
  PhaseWavesOf<V, kForm>(V::Mul(V::Set1(shape.waveNumber), r), cosine, sine, decay);
  const auto growth =
      shape.constantGrowth
          ? V::Set1(shape.growth)
          : ExpOf<V, kForm>(V::Add(V::Mul(V::Set1(shape.spaceFadeRate), r), V::Set1(shape.exponentShift)));
  TrailFactorsOf<V>(shape.oneSide, cosine, sine, decay, growth, ir, f);
}

// The lead factors at distance r, x = b kappa r.
template <class V, int kForm = kFullForm>
void LeadFactorsAt(const TravelShape& shape, const typename V::T& r, const typename V::T& ir,
                   typename V::T (&f)[6]) {
  const auto kr = V::Mul(V::Set1(shape.waveNumber), r);
  const auto x = V::Mul(V::Set1(SideDecay(shape.oneSide)), kr);
  typename V::T cosine, sine, decay;
  PhaseWavesOf<V, kForm>(kr, cosine, sine, decay);
  const auto flankDecay = shape.flankDecayIsPhaseDecay
                              ? decay
                              : ExpOf<V, kForm>(V::Add(V::Negate(x), V::Set1(shape.exponentShift)));
  LeadFactorsOf<V>(shape.oneSide, x, flankDecay, cosine, sine, decay, ir, f);
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

// A node's outputs from its sums H, Gx, Gy: height = heightScale H and normal = -L G (each to be rounded to
// float); O = optic G, unit = float(1 / sqrt(Ox^2 + Oy^2 + 1)), refraction = (-unit Ox, -unit Oy, -unit).
template <class V>
struct NodeOutput {
  typename V::T height, normalX, normalY, unit, refractionX, refractionY;
};

inline OutputScales OutputScalesOf(const RunConstants& c) {
  return {c.heightScale, -c.lightSlopeScale, c.opticSlopeScale};
}

template <class V>
void NodeOutputOf(const OutputScales& scales, typename V::T h, typename V::T gx, typename V::T gy,
                  NodeOutput<V>& out) {
  const auto one = V::Set1(1.0);
  out.height = V::Mul(V::Set1(scales.height), h);
  out.normalX = V::Mul(V::Set1(scales.negativeLight), gx);
  out.normalY = V::Mul(V::Set1(scales.negativeLight), gy);
  const auto ox = V::Mul(V::Set1(scales.optic), gx);
  const auto oy = V::Mul(V::Set1(scales.optic), gy);
  out.unit = V::RoundToFloat(V::Div(one, V::Sqrt(V::Add(V::Add(V::Mul(ox, ox), V::Mul(oy, oy)), one))));
  const auto negativeUnit = V::Negate(out.unit);
  out.refractionX = V::Mul(negativeUnit, ox);
  out.refractionY = V::Mul(negativeUnit, oy);
}

}  // namespace lumar
