// The computed rows' kernels (the factors of a run of distances computed in groups of registers) against
// the scalar factors and parts, bit for bit, for every run of up to 41 distances at several starts: each
// group size, the registers left over after the groups, and each form of sin, cos and exp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "wavefield/frame_engine.h"
#include "wavefield/kernel_table.h"
#include "wavefield/lane_formulas.h"

namespace lumar {
namespace {

constexpr int kLongestRun = 41;
constexpr int kLastStart = 5;
constexpr int kEntries = kLastStart + kLongestRun + kLanePadding + 8;
constexpr uint64_t kUntouched = 0x7ff8dead0000beefu;  // a NaN no kernel writes

uint64_t Bits(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double Untouched() {
  double x;
  std::memcpy(&x, &kUntouched, sizeof x);
  return x;
}

struct RowCase {
  const char* what;
  double waveNumber;
  double nearest;  // distances from here on, 0.75 apart
  bool lead;
  bool skips;  // the constant growth (trail) or the flank's decay as the phase's (lead)
  int form;
};

FactorInputs InputsOf(const RowCase& c, const std::vector<float>& distances) {
  FactorInputs inputs{c.waveNumber, c.skips ? 0.0 : 0.0005, -3.0, false, false, 0.7, false, kFullForm};
  if (c.lead) {
    inputs.flankDecayIsPhaseDecay = c.skips;
  } else {
    inputs.constantGrowth = c.skips;
  }
  inputs.form = FormFor(inputs, c.lead, distances.front(), distances.back());
  return inputs;
}

// The scalar terms of distance r: the factors in the full form and the branch's part.
void ScalarTerms(const RowCase& c, const FactorInputs& inputs, const SourceTerms& s, float r, float ir,
                 double& height, double& slope) {
  if (c.lead) {
    double q[6];
    LeadFactorsAt<ScalarLane>(inputs, static_cast<double>(r), static_cast<double>(ir), q);
    const double coefficients[6] = {s.c[0], s.c[1], s.c[2], s.c[3], s.c[4], s.c[5]};
    AheadOfCrestPartOf<ScalarLane>(q, coefficients, height, slope);
  } else {
    double q[5];
    TrailFactorsAt<ScalarLane>(inputs, static_cast<double>(r), static_cast<double>(ir), q);
    const double coefficients[5] = {s.c[0], s.c[1], s.c[2], s.c[3], s.c[4]};
    BehindCrestPartOf<ScalarLane>(q, coefficients, height, slope);
  }
}

TEST(ComputedRows, EveryRunInEveryFormGivesTheScalarBits) {
  const RowCase cases[] = {
      {"trail, short, constant growth", 0.0002, 100.0, false, true, kShortForm},
      {"trail, short, every call", 0.0002, 100.0, false, false, kShortForm},
      {"lead, short, phase decay", 0.0002, 100.0, true, true, kShortForm},
      {"lead, short, every call", 0.0002, 100.0, true, false, kShortForm},
      {"trail, lean, constant growth", 0.05, 100.0, false, true, kLeanForm},
      {"lead, lean, every call", 0.05, 100.0, true, false, kLeanForm},
      {"trail, full (a phase beyond the lean range)", 1e6, 100.0, false, false, kFullForm},
  };
  const SourceTerms terms{{0.1, -0.2, 0.3, 0.4, -0.5, 0.6}};
  int variantsRun = 0;
  for (SimdVariant variant : {SimdVariant::kSse2, SimdVariant::kAvx2}) {
    if (!SimdVariantSupported(variant)) continue;
    ++variantsRun;
    const FrameKernels& kernels = variant == SimdVariant::kAvx2 ? Avx2Kernels() : Sse2Kernels();
    const std::string simd = variant == SimdVariant::kAvx2 ? "avx2" : "sse2";
    for (const RowCase& c : cases) {
      std::vector<float> distances(kEntries);
      std::vector<float> inverseDistances(kEntries);
      for (int k = 0; k < kEntries; ++k) {
        distances[static_cast<std::size_t>(k)] = static_cast<float>(c.nearest + 0.75 * k);
        inverseDistances[static_cast<std::size_t>(k)] = 1.0f / distances[static_cast<std::size_t>(k)];
      }
      const FactorInputs inputs = InputsOf(c, distances);
      ASSERT_EQ(inputs.form, c.form) << c.what;
      const ComputedRowKernel kernel =
          c.lead ? kernels.aheadOfCrestComputedRow : kernels.behindCrestComputedRow;
      int differences = 0;
      for (int from = 0; from <= kLastStart; ++from) {
        for (int length = 1; length <= kLongestRun; ++length) {
          const int to = from + length - 1;
          std::vector<double> height(kEntries, Untouched());
          std::vector<double> slope(kEntries, Untouched());
          kernel(distances.data(), inverseDistances.data(), inputs, terms, 0.0, from, to,
                 RowTerms{height.data(), nullptr, nullptr, slope.data()});
          for (int i = 0; i < kEntries; ++i) {
            const std::size_t k = static_cast<std::size_t>(i);
            if (i < from || i >= to + kLanePadding) {
              // Before the run, and beyond the registers' reach past its end: untouched.
              differences += Bits(height[k]) != kUntouched || Bits(slope[k]) != kUntouched;
              continue;
            }
            if (i > to) continue;  // a register's lanes past the run: written, never read
            double h = 0.0, f = 0.0;
            ScalarTerms(c, inputs, terms, distances[k], inverseDistances[k], h, f);
            differences += Bits(height[k]) != Bits(h) || Bits(slope[k]) != Bits(f);
          }
        }
      }
      EXPECT_EQ(differences, 0) << c.what << " on " << simd;
    }
  }
  EXPECT_GE(variantsRun, 1);
}

}  // namespace
}  // namespace lumar
