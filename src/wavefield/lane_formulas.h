// The arithmetic of the factors, written once over a lane type V: ScalarLane (wave_math.h) for the
// node-by-node evaluation and the set-up's tables, and the frame engine's SIMD registers
// (kernel_loops.h). V supplies what wave_math.h names and Negate; every lane does the same double
// operations in the same order, so a register's lanes have the bits of the scalar results.
#pragma once

#include <initializer_list>

#include "wavefield/kernel_table.h"
#include "wavefield/run_constants.h"
#include "wavefield/wave_factors.h"
#include "wavefield/wave_math.h"

namespace lumar {

// One side doubles the terms (s) and slows the flank's decay by beta (b); q = s * b. Internal linkage: a
// copy built for AVX2 (kernel_loops_avx2.cpp) must never stand in for the others.
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
struct FactorInputs {
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
inline int FormFor(const FactorInputs& inputs, bool lead, double nearest, double farthest) {
  bool shortPhase = true;
  for (const double r : {nearest, farthest}) {
    const double kr = inputs.waveNumber * r;
    if (!(kr <= kMaxPhase && -kr >= -kMaxPhase && -kr >= kLeanExpLowest && -kr <= kLeanExpHighest)) {
      return kFullForm;
    }
    double exponent = 0.0;
    if (!lead && !inputs.constantGrowth) {
      exponent = inputs.spaceFadeRate * r + inputs.exponentShift;
    } else if (lead && !inputs.flankDecayIsPhaseDecay) {
      exponent = -(SideDecay(inputs.oneSide) * kr) + inputs.exponentShift;
    }
    if (!(exponent >= kLeanExpLowest && exponent <= kLeanExpHighest)) return kFullForm;
    shortPhase = shortPhase && kr <= kShortPhase && kr >= -kShortPhase;
  }
  return shortPhase ? kShortForm : kLeanForm;
}

// The four rising factors at distance r (ir = 1/r), in the order of RiseFactors, with x = b kappa r and
// e = e^(-x) (the wave number and side only are read).
template <class V>
void RiseFactorsAt(const FactorInputs& inputs, const typename V::T& r, const typename V::T& ir,
                   typename V::T (&f)[4]) {
  using L = Lane<V>;
  const double s = SideScale(inputs.oneSide);
  const double b = SideDecay(inputs.oneSide);
  const double g = kGridSpacing;
  const L c0{V::Set1(kRiseGain)};
  const L one{V::Set1(1.0)};
  const L two{V::Set1(2.0)};
  const L pi{V::Set1(kPi)};
  const L k{V::Set1(b * inputs.waveNumber)};
  const L x = k * L{r};
  const L e{ExpOf<V>((-x).v)};
  const L inverse{ir};
  f[0] = (e * c0 * s * (x + one + (two - e) * pi / two)).v;         // p1
  f[1] = (s * c0 * (two - e) * e).v;                                // p2
  f[2] = (2.0 * g * s * inverse * k * c0 * (one - e) * e).v;        // p3
  f[3] = (g * s * inverse * k * c0 * e * (-x - (one - e) * pi)).v;  // p4
}

// The five trail factors, in the order of TrailFactors, from cos kr, sin kr, e^(-kr), the fading growth
// a = e^(alpha r + shift) and 1/r.
template <class V>
LUMAR_WAVE_MATH_INLINE void TrailFactorsOf(bool oneSide, const Lane<V>& cosine, const Lane<V>& sine,
                                           const Lane<V>& decay, const Lane<V>& growth,
                                           const Lane<V>& inverseDistance, typename V::T (&f)[5]) {
  f[0] = oneSide ? growth.v : V::Set1(0.0);                                  // q1
  f[1] = (growth * cosine).v;                                                // q2
  f[2] = (sine * (1.0 - decay) * growth).v;                                  // q3
  f[3] = (inverseDistance * ((cosine - sine) * decay - cosine) * growth).v;  // q4
  f[4] = (inverseDistance * sine * growth).v;                                // q5
}

// The six lead factors, in the order of LeadFactors, from x = b kappa r, the flank's decay
// e = e^(-x + shift), cos kr, sin kr, e^(-kr) and 1/r.
template <class V>
LUMAR_WAVE_MATH_INLINE void LeadFactorsOf(bool oneSide, const Lane<V>& x, const Lane<V>& flankDecay,
                                          const Lane<V>& cosine, const Lane<V>& sine, const Lane<V>& decay,
                                          const Lane<V>& inverseDistance, typename V::T (&f)[6]) {
  const double s = SideScale(oneSide);
  const double q = SideSlopeScale(oneSide);
  f[0] = (s * (x + 1.0) * flankDecay).v;                 // q6
  f[1] = (s * flankDecay).v;                             // q7
  f[2] = (sine * decay).v;                               // q8
  f[3] = (inverseDistance * q * x * flankDecay).v;       // q9
  f[4] = (inverseDistance * q * flankDecay).v;           // q10
  f[5] = (inverseDistance * (cosine - sine) * decay).v;  // q11
}

// The trail factors at distance r (ir = 1/r) from the library calls. The lane values come by reference:
// out of line, a register passed by value would need a 32-byte aligned copy on the stack, which the Win64
// calling convention does not promise.
template <class V, int kForm = kFullForm>
void TrailFactorsAt(const FactorInputs& inputs, const typename V::T& r, const typename V::T& ir,
                    typename V::T (&f)[5]) {
  using L = Lane<V>;
  L cosine, sine, decay;
  PhaseWavesOf<V, kForm>((inputs.waveNumber * L{r}).v, cosine.v, sine.v, decay.v);
  const L growth{inputs.constantGrowth
                     ? V::Set1(inputs.growth)
                     : ExpOf<V, kForm>((inputs.spaceFadeRate * L{r} + inputs.exponentShift).v)};
  TrailFactorsOf<V>(inputs.oneSide, cosine, sine, decay, growth, L{ir}, f);
}

// The lead factors at distance r, x = b kappa r.
template <class V, int kForm = kFullForm>
void LeadFactorsAt(const FactorInputs& inputs, const typename V::T& r, const typename V::T& ir,
                   typename V::T (&f)[6]) {
  using L = Lane<V>;
  const L kr = inputs.waveNumber * L{r};
  const L x = SideDecay(inputs.oneSide) * kr;
  L cosine, sine, decay;
  PhaseWavesOf<V, kForm>(kr.v, cosine.v, sine.v, decay.v);
  const L flankDecay{inputs.flankDecayIsPhaseDecay ? decay.v
                                                   : ExpOf<V, kForm>((-x + inputs.exponentShift).v)};
  LeadFactorsOf<V>(inputs.oneSide, x, flankDecay, cosine, sine, decay, L{ir}, f);
}

// One source's part at a node from the factors of its branch and its coefficients, in the orders of
// SourceTerms (kernel_table.h): the height and the radial slope over r.
// Rising: H = p1 riseSin - p2 riseSinPhase; f = p3 riseSinPhase + p4 riseSin.
template <class V>
void RisingPartOf(const typename V::T (&p)[4], const typename V::T (&s)[2], typename V::T& height,
                  typename V::T& slope) {
  using L = Lane<V>;
  const L p1{p[0]}, p2{p[1]}, p3{p[2]}, p4{p[3]}, riseSin{s[0]}, riseSinPhase{s[1]};
  height = (p1 * riseSin - p2 * riseSinPhase).v;
  slope = (p3 * riseSinPhase + p4 * riseSin).v;
}

// Behind the crest: H = q2 trailSin + q1 trailLevel - q3 trailCos; f = q4 trailCosSlope - q5 trailSinSlope.
template <class V>
void BehindCrestPartOf(const typename V::T (&q)[5], const typename V::T (&s)[5], typename V::T& height,
                       typename V::T& slope) {
  using L = Lane<V>;
  const L q1{q[0]}, q2{q[1]}, q3{q[2]}, q4{q[3]}, q5{q[4]};
  const L trailLevel{s[0]}, trailSin{s[1]}, trailCos{s[2]}, trailCosSlope{s[3]}, trailSinSlope{s[4]};
  height = (q2 * trailSin + q1 * trailLevel - q3 * trailCos).v;
  slope = (q4 * trailCosSlope - q5 * trailSinSlope).v;
}

// Ahead of the crest: H = q6 leadLevel - q7 leadLevelPhase + q8 frontCos;
// f = q11 frontCosSlope - q9 leadLevelSlope + q10 leadLevelPhaseSlope.
template <class V>
void AheadOfCrestPartOf(const typename V::T (&q)[6], const typename V::T (&s)[6], typename V::T& height,
                        typename V::T& slope) {
  using L = Lane<V>;
  const L q6{q[0]}, q7{q[1]}, q8{q[2]}, q9{q[3]}, q10{q[4]}, q11{q[5]};
  const L leadLevel{s[0]}, leadLevelPhase{s[1]}, frontCos{s[2]};
  const L leadLevelSlope{s[3]}, leadLevelPhaseSlope{s[4]}, frontCosSlope{s[5]};
  height = (q6 * leadLevel - q7 * leadLevelPhase + q8 * frontCos).v;
  slope = (q11 * frontCosSlope - q9 * leadLevelSlope + q10 * leadLevelPhaseSlope).v;
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
  using L = Lane<V>;
  out.height = (scales.height * L{h}).v;
  out.normalX = (scales.negativeLight * L{gx}).v;
  out.normalY = (scales.negativeLight * L{gy}).v;
  const L ox = scales.optic * L{gx};
  const L oy = scales.optic * L{gy};
  const L unit{V::RoundToFloat((1.0 / L{V::Sqrt((ox * ox + oy * oy + 1.0).v)}).v)};
  out.unit = unit.v;
  out.refractionX = (-unit * ox).v;
  out.refractionY = (-unit * oy).v;
}

}  // namespace lumar
