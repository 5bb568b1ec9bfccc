// Our own sin, cos and exp against long double evaluations rounded to double: at most 1 ulp from the
// correctly rounded result on 10^7 arguments each, the edges included. (The SIMD variants' lanes equal the
// scalar functions: the engine's computed routes against the reference, frame_engine_routes_test.cpp.)
#include "wavefield/wave_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace lumar {
namespace {

// Distance in ulps between two doubles of the same sign (or zeros); NaNs only match NaNs.
int64_t UlpDistance(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : INT64_MAX;
  const auto ordered = [](double x) {
    int64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits < 0 ? INT64_MIN - bits : bits;
  };
  const int64_t d = ordered(a) - ordered(b);
  return d < 0 ? -d : d;
}

struct Worst {
  int64_t ulps = 0;
  double argument = 0.0;
  uint64_t count = 0;
  void Check(double x, double ours, long double exact) {
    ++count;
    const int64_t d = UlpDistance(ours, static_cast<double>(exact));
    if (d > ulps) {
      ulps = d;
      argument = x;
    }
  }
};

// The arguments of sin and cos: the field's phases (a float wave number times a float distance, up to
// 2 pi times the largest screen's farthest node, and the sources' phases), the whole range the reduction
// is exact for, and the edges: near multiples of pi/2 and pi/4, zeros, tiny values and the ends.
std::vector<double> PhaseArguments() {
  std::mt19937_64 random(20);
  std::vector<double> xs;
  xs.reserve(10'000'000 + 4096);
  std::uniform_real_distribution<float> waveNumber(1e-4f, 6.2831855f);
  std::uniform_real_distribution<float> distance(0.0f, 30000.0f);
  for (int k = 0; k < 4'000'000; ++k) xs.push_back(double(waveNumber(random)) * double(distance(random)));
  std::uniform_real_distribution<double> small(-8.0, 8.0);
  for (int k = 0; k < 2'000'000; ++k) xs.push_back(small(random));
  std::uniform_real_distribution<double> whole(-kMaxPhase, kMaxPhase);
  for (int k = 0; k < 2'000'000; ++k) xs.push_back(whole(random));
  // Logarithmically spread magnitudes, from 2^-40 up.
  std::uniform_real_distribution<double> exponent(-40.0, std::log2(kMaxPhase));
  for (int k = 0; k < 1'500'000; ++k) xs.push_back((k % 2 ? -1.0 : 1.0) * std::exp2(exponent(random)));
  // Near multiples of pi/4: the ends of the kernels' range and the cancellations of the reduction.
  for (int64_t m = 0; xs.size() < 10'000'000; m += 1 + static_cast<int64_t>(random() % 997)) {
    const double centre = static_cast<double>(m % 40000) * 0.78539816339744830962L;
    double x = centre;
    for (int step = 0; step < 8; ++step) x = std::nextafter(x, 0.0);
    for (int step = 0; step < 16; ++step, x = std::nextafter(x, 1e300)) xs.push_back(x);
  }
  for (double x : {0.0, -0.0, 1e-300, -1e-300, 5e-324, 1e-8, 0.78539816339744828, 0.78539816339744839,
                   1.5707963267948966, 3.1415926535897931, kMaxPhase, -kMaxPhase, 6.2831855 * 30000.0}) {
    xs.push_back(x);
  }
  return xs;
}

// The arguments of exp: its whole range (the field's decays and growths, rebased exponents included), around
// zero, around the ends of overflow, of the normal range and of underflow, and the infinities.
std::vector<double> ExpArguments() {
  std::mt19937_64 random(22);
  std::vector<double> xs;
  xs.reserve(10'000'000 + 64);
  std::uniform_real_distribution<double> whole(-750.0, 712.0);
  for (int k = 0; k < 6'100'000; ++k) xs.push_back(whole(random));
  std::uniform_real_distribution<double> near(-1.0, 1.0);
  for (int k = 0; k < 2'000'000; ++k) xs.push_back(near(random));
  std::uniform_real_distribution<double> exponent(-60.0, 0.0);
  for (int k = 0; k < 1'000'000; ++k) xs.push_back((k % 2 ? -1.0 : 1.0) * std::exp2(exponent(random)));
  const double ends[] = {709.782712893384,   -708.3964185322641,  -745.1332191019411,
                         -744.4400719213812, 0.34657359027997264, -0.34657359027997264};
  for (double end : ends) {
    std::uniform_real_distribution<double> around(end - 1e-3, end + 1e-3);
    for (int k = 0; k < 160'000; ++k) xs.push_back(around(random));
    double x = end;
    for (int step = 0; step < 500; ++step) x = std::nextafter(x, 0.0);
    for (int step = 0; step < 1000; ++step, x = std::nextafter(x, 1e300)) xs.push_back(x);
  }
  for (double x : {0.0, -0.0, 5e-324, -5e-324, 1e-300, 710.0, -746.0, 1e300, -1e300,
                   std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    xs.push_back(x);
  }
  return xs;
}

TEST(WaveMath, SinAndCosAreWithinOneUlpOfTheCorrectlyRoundedResult) {
  const std::vector<double> xs = PhaseArguments();
  ASSERT_GE(xs.size(), 10'000'000u);
  Worst sine, cosine;
  for (double x : xs) {
    double s, c;
    SinCos(x, s, c);
    const long double lx = x;
    sine.Check(x, s, std::sin(lx));
    cosine.Check(x, c, std::cos(lx));
  }
  std::printf("sin: worst %lld ulp (at %.17g) over %llu arguments\n", static_cast<long long>(sine.ulps),
              sine.argument, static_cast<unsigned long long>(sine.count));
  std::printf("cos: worst %lld ulp (at %.17g) over %llu arguments\n", static_cast<long long>(cosine.ulps),
              cosine.argument, static_cast<unsigned long long>(cosine.count));
  EXPECT_LE(sine.ulps, 1);
  EXPECT_LE(cosine.ulps, 1);
}

TEST(WaveMath, ExpIsWithinOneUlpOfTheCorrectlyRoundedResultOverflowAndUnderflowIncluded) {
  const std::vector<double> xs = ExpArguments();
  ASSERT_GE(xs.size(), 10'000'000u);
  Worst worst;
  for (double x : xs) worst.Check(x, Exp(x), std::exp(static_cast<long double>(x)));
  std::printf("exp: worst %lld ulp (at %.17g) over %llu arguments\n", static_cast<long long>(worst.ulps),
              worst.argument, static_cast<unsigned long long>(worst.count));
  EXPECT_LE(worst.ulps, 1);
}

TEST(WaveMath, SpecialValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double x, exp;
  } const cases[] = {{0.0, 1.0},
                     {-0.0, 1.0},
                     {inf, inf},
                     {-inf, 0.0},
                     {710.0, inf},
                     {-746.0, 0.0},
                     {-745.1332191019411, 5e-324},
                     {709.782712893384, 1.7976931348622732e308}};
  for (const Case& c : cases) EXPECT_EQ(Exp(c.x), c.exp) << c.x;
  EXPECT_TRUE(std::isnan(Exp(nan)));
  EXPECT_TRUE(std::isnan(Sin(nan)));
  EXPECT_TRUE(std::isnan(Cos(nan)));
  EXPECT_FALSE(std::signbit(Exp(-inf)));
  EXPECT_EQ(Sin(0.0), 0.0);
  EXPECT_EQ(Cos(0.0), 1.0);
  for (double x : {kMaxPhase * 4.0, 1e300, -1e300, std::numeric_limits<double>::infinity()}) {
    EXPECT_LE(std::fabs(Sin(x)), 1.0) << x;
    EXPECT_LE(std::fabs(Cos(x)), 1.0) << x;
  }
}

}  // namespace
}  // namespace lumar

namespace lumar {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Arguments within [-bound, bound] and how many of them give sin or cos bits of the form kForm other than
// the full form's.
template <int kForm>
struct SinCosComparison {
  uint64_t count = 0;
  uint64_t differences = 0;
  SinCosComparison(const std::vector<double>& xs, double bound) {
    for (double x : xs) {
      if (!(std::fabs(x) <= bound)) continue;
      double s, c, formS, formC;
      SinCosOf<ScalarLane>(x, s, c);
      SinCosOf<ScalarLane, kForm>(x, formS, formC);
      ++count;
      differences += !SameBits(s, formS) || !SameBits(c, formC);
    }
  }
};

// The lean forms give the full forms' bits on every argument of their ranges: the phases above (all within
// kMaxPhase) and the exp arguments within [kLeanExpLowest, kLeanExpHighest], with the range's ends and
// their neighbours.
TEST(WaveMath, LeanFormsGiveTheSameBitsOverTheirRanges) {
  const SinCosComparison<kLeanForm> phases(PhaseArguments(), kMaxPhase);
  std::vector<double> xs = ExpArguments();
  std::mt19937_64 random(23);
  std::uniform_real_distribution<double> range(kLeanExpLowest, kLeanExpHighest);
  for (int k = 0; k < 4'000'000; ++k) xs.push_back(range(random));
  for (double end : {kLeanExpLowest, kLeanExpHighest}) {
    double x = end;
    for (int step = 0; step < 10000; ++step, x = std::nextafter(x, 0.0)) xs.push_back(x);
  }
  uint64_t exps = 0;
  uint64_t expDifferences = 0;
  for (double x : xs) {
    if (!(x >= kLeanExpLowest && x <= kLeanExpHighest)) continue;
    ++exps;
    expDifferences += !SameBits(ExpOf<ScalarLane>(x), ExpOf<ScalarLane, kLeanForm>(x)) ||
                      !SameBits(ExpOf<ScalarLane>(x), ExpOf<ScalarLane, kShortForm>(x));
  }
  std::printf(
      "lean sin and cos: %llu arguments, %llu differences; lean exp: %llu arguments, %llu differences\n",
      static_cast<unsigned long long>(phases.count), static_cast<unsigned long long>(phases.differences),
      static_cast<unsigned long long>(exps), static_cast<unsigned long long>(expDifferences));
  EXPECT_GE(phases.count, 9'900'000u);
  EXPECT_GE(exps, 10'000'000u);
  EXPECT_EQ(phases.differences, 0u);
  EXPECT_EQ(expDifferences, 0u);
}

// The short form of sin and cos (no reduction) gives the full form's bits for |x| <= kShortPhase: uniform
// arguments, magnitudes spread from the smallest subnormal up, zeros of both signs and the range's ends
// with their neighbours.
TEST(WaveMath, ShortFormOfSinAndCosGivesTheSameBitsWithinItsRange) {
  std::vector<double> xs;
  xs.reserve(12'000'000);
  std::mt19937_64 random(24);
  std::uniform_real_distribution<double> range(-kShortPhase, kShortPhase);
  for (int k = 0; k < 7'000'000; ++k) xs.push_back(range(random));
  std::uniform_real_distribution<double> exponent(-1074.0, std::log2(kShortPhase));
  for (int k = 0; k < 3'000'000; ++k) xs.push_back((k % 2 ? -1.0 : 1.0) * std::exp2(exponent(random)));
  for (double end : {kShortPhase, -kShortPhase}) {
    double x = end;
    for (int step = 0; step < 500'000; ++step, x = std::nextafter(x, 0.0)) xs.push_back(x);
  }
  for (double x : {0.0, -0.0, 5e-324, -5e-324, 1e-300, -1e-300}) xs.push_back(x);
  const SinCosComparison<kShortForm> phases(xs, kShortPhase);
  std::printf("short sin and cos: %llu arguments, %llu differences\n",
              static_cast<unsigned long long>(phases.count),
              static_cast<unsigned long long>(phases.differences));
  EXPECT_GE(phases.count, 11'000'000u);
  EXPECT_EQ(phases.differences, 0u);
}

}  // namespace
}  // namespace lumar
