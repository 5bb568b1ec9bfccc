// Our own sin, cos and exp, written once over a lane type V like the factor formulas: ScalarLane below for
// the node-by-node evaluation, the set-up and the sources, and the frame engine's SIMD registers
// (kernel_loops_*.cpp). Only additions, subtractions, multiplications and bit operations in a fixed order,
// so every build (native or MinGW, SSE2 or AVX2, whatever the C library) gives the same bits, and a
// register's lanes the bits of the scalar function.
//
// Accuracy (tests/wavefield/wave_math_test.cpp): within 1 ulp of the correctly rounded result for
// |x| <= kMaxPhase (sin, cos) and for every x (exp, overflowing to +inf above 709.78 and underflowing
// through the subnormals to +0 below -745.13). Beyond kMaxPhase (far beyond any phase of the field) sin and
// cos take x as +-kMaxPhase: the results stay deterministic and within [-1, 1]. NaN gives NaN.
//
// V supplies, besides the factor formulas' T, Set1, Add, Sub and Mul: Min and Max (with the operand order
// of minpd and maxpd: the second operand where either is NaN), And, Or, Xor, SetBits (a lane from its 64
// bits), AddBits (64-bit integer addition), ShiftLeft<N> (64-bit shift), SignMask (all ones where the sign
// bit is set) and IsNan (all ones where NaN).
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#if FLT_EVAL_METHOD != 0
#error "the field's arithmetic needs double operations rounded to double (SSE2), FLT_EVAL_METHOD == 0"
#endif

// Inlined into every kernel, so that the independent calls of one register's factors overlap.
#if defined(_MSC_VER)
#define LUMAR_WAVE_MATH_INLINE __forceinline
#else
#define LUMAR_WAVE_MATH_INLINE inline __attribute__((always_inline))
#endif

namespace lumar {

struct ScalarLane {
  using T = double;
  static T Set1(double x) { return x; }
  static T Add(T a, T b) { return a + b; }
  static T Sub(T a, T b) { return a - b; }
  static T Mul(T a, T b) { return a * b; }
  static T Div(T a, T b) { return a / b; }
  static T Sqrt(T a) { return std::sqrt(a); }
  static T Negate(T a) { return -a; }
  static T RoundToFloat(T a) { return static_cast<float>(a); }
  static T Min(T a, T b) { return a < b ? a : b; }
  static T Max(T a, T b) { return a > b ? a : b; }
  static T And(T a, T b) { return FromBits(Bits(a) & Bits(b)); }
  static T Or(T a, T b) { return FromBits(Bits(a) | Bits(b)); }
  static T Xor(T a, T b) { return FromBits(Bits(a) ^ Bits(b)); }
  static T SetBits(uint64_t bits) { return FromBits(bits); }
  static T AddBits(T a, T b) { return FromBits(Bits(a) + Bits(b)); }
  template <int N>
  static T ShiftLeft(T a) {
    return FromBits(Bits(a) << N);
  }
  static T SignMask(T a) { return FromBits((Bits(a) >> 63) != 0 ? ~uint64_t{0} : 0); }
  static T IsNan(T a) { return FromBits(a != a ? ~uint64_t{0} : 0); }

 private:
  static uint64_t Bits(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
  }
  static double FromBits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
  }
};

// A lane value with the arithmetic operators, so that formulas read as they are written: a + b is
// V::Add(a, b), a * 2.0 is V::Mul(a, V::Set1(2.0)), -a is V::Negate(a). An expression groups as C++ groups
// it (left to right among + and -, and among * and /), each operator one rounded operation of V with its
// operands in the written order; nothing is fused (-ffp-contract=off, and V has no FMA). Bit operations stay
// named calls of V.
template <class V>
struct Lane {
  typename V::T v;
};

template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator+(const Lane<V>& a, const Lane<V>& b) {
  return {V::Add(a.v, b.v)};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator-(const Lane<V>& a, const Lane<V>& b) {
  return {V::Sub(a.v, b.v)};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator*(const Lane<V>& a, const Lane<V>& b) {
  return {V::Mul(a.v, b.v)};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator/(const Lane<V>& a, const Lane<V>& b) {
  return {V::Div(a.v, b.v)};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator-(const Lane<V>& a) {
  return {V::Negate(a.v)};
}
// With a constant on either side: the constant in every lane.
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator+(const Lane<V>& a, double b) {
  return {V::Add(a.v, V::Set1(b))};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator+(double a, const Lane<V>& b) {
  return {V::Add(V::Set1(a), b.v)};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator-(const Lane<V>& a, double b) {
  return {V::Sub(a.v, V::Set1(b))};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator-(double a, const Lane<V>& b) {
  return {V::Sub(V::Set1(a), b.v)};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator*(const Lane<V>& a, double b) {
  return {V::Mul(a.v, V::Set1(b))};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator*(double a, const Lane<V>& b) {
  return {V::Mul(V::Set1(a), b.v)};
}
template <class V>
LUMAR_WAVE_MATH_INLINE Lane<V> operator/(double a, const Lane<V>& b) {
  return {V::Div(V::Set1(a), b.v)};
}

namespace wave_math {

// 1.5 * 2^52: adding it rounds a double below 2^51 in magnitude to an integer (to nearest, ties to even),
// which then stands in the low bits of the sum's mantissa.
constexpr double kRoundingShift = 0x1.8p52;
constexpr uint64_t kRoundingShiftBits = 0x4338000000000000u;

// pi/2 in four parts: the first three of 30 bits, so that n times each is exact for |n| < 2^23.
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kHalfPi1 = 0x1.921fb54000000p+0;
constexpr double kHalfPi2 = 0x1.10b4611800000p-30;
constexpr double kHalfPi3 = 0x1.313198a000000p-61;
constexpr double kHalfPi4 = 0x1.701b839a25205p-92;

// ln 2 in two parts, the first of 32 bits (n ln2hi exact for every n exp needs).
constexpr double kInverseLn2 = 0x1.71547652b82fep+0;
constexpr double kLn2High = 0x1.62e42fee00000p-1;
constexpr double kLn2Low = 0x1.a39ef35793c76p-33;

// exp's arguments are clamped here: beyond, the result is +inf or +0 anyway.
constexpr double kExpHighest = 710.0;
constexpr double kExpLowest = -746.0;

// a + b = s + e exactly (Knuth's two-sum: no condition on the magnitudes).
template <class V>
void TwoSum(typename V::T a, typename V::T b, typename V::T& s, typename V::T& e) {
  using L = Lane<V>;
  const L x{a}, y{b};
  const L sum = x + y;
  const L yy = sum - x;
  s = sum.v;
  e = (x - (sum - yy) + (y - yy)).v;
}

// 2^k for an integer k in [-1022, 1023] held as kRoundingShift + k.
template <class V>
typename V::T PowerOfTwo(typename V::T shifted) {
  constexpr uint64_t kBias = 1023u - kRoundingShiftBits;  // wraps: an integer addition of 1023 - shift
  return V::template ShiftLeft<52>(V::AddBits(shifted, V::SetBits(kBias)));
}

}  // namespace wave_math

// The largest |x| sin and cos reduce exactly: 2^23 quarter turns.
constexpr double kMaxPhase = 0x1p23 * 1.5707963267948966;

// The forms of sin, cos and exp. The lean and short forms leave out the steps that cannot act on arguments
// known to lie in a range, and give the same bits there:
// - Lean SinCosOf for |x| <= kMaxPhase: the clamp to +-kMaxPhase returns x itself, and with x not NaN the
//   NaN masks are all zeros (And(nan, x) = +0, no bit set) and all ones (And(keep, v) = v), so the last Or
//   returns v: those five operations are left out.
// - Short SinCosOf for |x| <= kShortPhase, besides: x 2/pi rounds to below 1/2 in magnitude, so n = +0 and
//   `shifted` is the rounding shift itself. Then a = x - (+0) = x; each two-sum of x with n's product
//   (-0) gives x and an error of +0; the tail is +0 - +0 = +0; and the last two-sum gives y = x + 0 (x
//   itself, or +0 for x = -0) and yl = +0. The quadrant is 0: no swap, no sign. So sin and cos are the
//   series at y = x + 0 and yl = +0, without the reduction and the quadrant's selection.
// - Lean ExpOf (also taken by the short form) for kLeanExpLowest <= x <= kLeanExpHighest: the clamp returns
//   x and the NaN masks act as above. n = round(x / ln 2) lies in [-1021, 1023] and e^r in (0.70, 1.42), so
//   e^r 2^n lies in (1.4 * 2^-1022, 1.42 * 2^1023): a normal double. Then both products of the two-step
//   2^n1 2^n2 are exact (each result is normal), and so is the one product e^r 2^n with 2^n itself (a
//   normal double for n in [-1022, 1023]): the same value, bit for bit, in one multiplication instead of
//   two and without n1.
// Every lane of a register must lie in the range (tests/wavefield/wave_math_test.cpp compares the forms on
// tens of millions of arguments).
constexpr int kFullForm = 0;
constexpr int kLeanForm = 1;
constexpr int kShortForm = 2;
constexpr double kShortPhase = 0.78;  // 0.78 * 2/pi < 0.4966
constexpr double kLeanExpLowest = -708.0;
constexpr double kLeanExpHighest = 709.0;

namespace wave_math {

// sin(y + yl) and cos(y + yl) for |y| <= pi/4 and yl the reduction's tail: Taylor series to y^17 (sin) and
// y^16 (cos), whose remainders are below 1e-19.
template <class V>
LUMAR_WAVE_MATH_INLINE void SinCosNearZero(typename V::T y, typename V::T yl, typename V::T& sinY,
                                           typename V::T& cosY) {
  using L = Lane<V>;
  const L x{y}, xl{yl};
  const L z = x * x;
  L p{V::Set1(1.0 / 355687428096000.0)};  // 1/17!
  p = p * z + -1.0 / 1307674368000.0;
  p = p * z + 1.0 / 6227020800.0;
  p = p * z + -1.0 / 39916800.0;
  p = p * z + 1.0 / 362880.0;
  p = p * z + -1.0 / 5040.0;
  p = p * z + 1.0 / 120.0;
  p = p * z + -1.0 / 6.0;
  // sin(y + yl) = sin y + yl cos y.
  const L halfZ = z * 0.5;
  const L sinTail = x * z * p + (xl - xl * halfZ);
  sinY = (x + sinTail).v;

  L q{V::Set1(1.0 / 20922789888000.0)};  // 1/16!
  q = q * z + -1.0 / 87178291200.0;
  q = q * z + 1.0 / 479001600.0;
  q = q * z + -1.0 / 3628800.0;
  q = q * z + 1.0 / 40320.0;
  q = q * z + -1.0 / 720.0;
  q = q * z + 1.0 / 24.0;
  // cos(y + yl) = 1 - z/2 + z^2 q - yl y, with the rounding of 1 - z/2 carried in the tail.
  const L w = 1.0 - halfZ;
  const L cosTail = 1.0 - w - halfZ + (z * z * q - x * xl);
  cosY = (w + cosTail).v;
}

}  // namespace wave_math

// sin x and cos x at once.
template <class V, int kForm = kFullForm>
LUMAR_WAVE_MATH_INLINE void SinCosOf(typename V::T x, typename V::T& sine, typename V::T& cosine) {
  using namespace wave_math;
  using T = typename V::T;
  if constexpr (kForm == kShortForm) {
    SinCosNearZero<V>((Lane<V>{x} + 0.0).v, V::Set1(0.0), sine, cosine);
    return;
  }
  using L = Lane<V>;
  const L phase{kForm != kFullForm ? x : V::Max(V::Min(x, V::Set1(kMaxPhase)), V::Set1(-kMaxPhase))};
  // n = round(x 2/pi); y + yl = x - n pi/2 as an unevaluated sum, the products with the 30-bit parts exact.
  const T shifted = (phase * kTwoOverPi + kRoundingShift).v;
  const L n = L{shifted} - kRoundingShift;
  const L a = phase - n * kHalfPi1;
  L s1, e1, s2, e2;
  TwoSum<V>(a.v, (n * -kHalfPi2).v, s1.v, e1.v);
  TwoSum<V>(s1.v, (n * -kHalfPi3).v, s2.v, e2.v);
  const L tail = e1 + e2 - n * kHalfPi4;
  T y, yl;
  TwoSum<V>(s2.v, tail.v, y, yl);

  T sinY, cosY;
  SinCosNearZero<V>(y, yl, sinY, cosY);

  // The quadrant n mod 4 stands in the low bits of `shifted`: an odd one swaps sin and cos; sin is negated
  // in quadrants 2 and 3, cos in 1 and 2.
  const T signBit = V::SetBits(uint64_t{1} << 63);
  const T swap = V::SignMask(V::template ShiftLeft<63>(shifted));
  const T sinSign = V::And(V::template ShiftLeft<62>(shifted), signBit);
  const T cosSign = V::And(V::template ShiftLeft<62>(V::AddBits(shifted, V::SetBits(1))), signBit);
  const T sinPart = V::Or(V::And(swap, cosY), V::And(V::Xor(swap, V::SetBits(~uint64_t{0})), sinY));
  const T cosPart = V::Or(V::And(swap, sinY), V::And(V::Xor(swap, V::SetBits(~uint64_t{0})), cosY));
  if (kForm != kFullForm) {
    sine = V::Xor(sinPart, sinSign);
    cosine = V::Xor(cosPart, cosSign);
    return;
  }
  const T nan = V::IsNan(x);
  const T keep = V::Xor(nan, V::SetBits(~uint64_t{0}));
  sine = V::Or(V::And(nan, x), V::And(keep, V::Xor(sinPart, sinSign)));
  cosine = V::Or(V::And(nan, x), V::And(keep, V::Xor(cosPart, cosSign)));
}

// e^x.
template <class V, int kForm = kFullForm>
LUMAR_WAVE_MATH_INLINE typename V::T ExpOf(typename V::T x) {
  using namespace wave_math;
  using T = typename V::T;
  constexpr bool kLean = kForm != kFullForm;
  using L = Lane<V>;
  const L clamped{kLean ? x : V::Max(V::Min(x, V::Set1(kExpHighest)), V::Set1(kExpLowest))};
  // n = round(x / ln 2); r + rr = x - n ln 2, hi exact.
  const L shifted = clamped * kInverseLn2 + kRoundingShift;
  const L n = shifted - kRoundingShift;
  const L hi = clamped - n * kLn2High;
  const L lo = n * kLn2Low;
  const L r = hi - lo;
  const L rr = hi - r - lo;
  // |r| <= 0.35: e^r = 1 + r + r^2 (1/2! + r/3! + ... + r^11/13!), the remainder below 5e-18.
  L p{V::Set1(1.0 / 6227020800.0)};  // 1/13!
  p = p * r + 1.0 / 479001600.0;
  p = p * r + 1.0 / 39916800.0;
  p = p * r + 1.0 / 3628800.0;
  p = p * r + 1.0 / 362880.0;
  p = p * r + 1.0 / 40320.0;
  p = p * r + 1.0 / 5040.0;
  p = p * r + 1.0 / 720.0;
  p = p * r + 1.0 / 120.0;
  p = p * r + 1.0 / 24.0;
  p = p * r + 1.0 / 6.0;
  p = p * r + 0.5;
  const L er = 1.0 + (r + (r * r * p + rr));
  if (kLean) return (er * L{PowerOfTwo<V>(shifted.v)}).v;
  // 2^n in two steps, 2^n1 2^n2 with n1 about n/2: each factor is a normal double, the first product is
  // exact, and only the second rounds (once) where the result overflows or is subnormal.
  const L shifted1 = n * 0.5 + kRoundingShift;
  const L n1 = shifted1 - kRoundingShift;
  const L shifted2 = n - n1 + kRoundingShift;
  const T result = (er * L{PowerOfTwo<V>(shifted1.v)} * L{PowerOfTwo<V>(shifted2.v)}).v;
  const T nan = V::IsNan(x);
  return V::Or(V::And(nan, x), V::And(V::Xor(nan, V::SetBits(~uint64_t{0})), result));
}

// The scalar functions: what the node-by-node evaluation, the set-up and the sources call.
inline void SinCos(double x, double& sine, double& cosine) { SinCosOf<ScalarLane>(x, sine, cosine); }
inline double Sin(double x) {
  double s, c;
  SinCos(x, s, c);
  return s;
}
inline double Cos(double x) {
  double s, c;
  SinCos(x, s, c);
  return c;
}
inline double Exp(double x) { return ExpOf<ScalarLane>(x); }

}  // namespace lumar
