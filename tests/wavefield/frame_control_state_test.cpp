// The frame's field work runs with a fixed SSE control state: whatever rounding, flush-to-zero or
// denormals-are-zero a driver or an injected library left on the calling thread, the vertices have the same
// bits, on one thread or several, and the caller's state is as it was afterwards.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "render/vertex_fill.h"
#include "wavefield/engine_equivalence.h"
#include "wavefield/worker_pool.h"

namespace lumar {
namespace {

constexpr uint32_t kFlushToZero = 0x8000u;
constexpr uint32_t kDenormalsAreZero = 0x0040u;
constexpr uint32_t kRoundTowardZero = 0x6000u;
constexpr uint32_t kRoundUp = 0x4000u;

std::vector<SurfaceVertex> FillUnder(WaveField& field, uint32_t sseControl) {
  std::vector<SurfaceVertex> vertices(SurfaceVertexCount(field.constants));
  const uint32_t saved = _mm_getcsr();
  _mm_setcsr(sseControl);
  const bool filled = FillSurfaceVertices(field, vertices.data(), vertices.size());
  const uint32_t after = _mm_getcsr();
  _mm_setcsr(saved);
  EXPECT_TRUE(filled);
  // The caller's control bits come back (the status flags may have gained exceptions).
  EXPECT_EQ(after & ~0x3Fu, sseControl & ~0x3Fu);
  return vertices;
}

TEST(FrameControlState, FlushToZeroDenormalsAreZeroOrAnotherRoundingGiveTheSameBits) {
  struct State {
    const char* what;
    uint32_t bits;
  } const states[] = {
      {"flush-to-zero and denormals-are-zero",
       FixedFloatingPointState::kSseControl | kFlushToZero | kDenormalsAreZero},
      {"round toward zero", FixedFloatingPointState::kSseControl | kRoundTowardZero},
      {"round up, flush-to-zero, denormals-are-zero",
       FixedFloatingPointState::kSseControl | kRoundUp | kFlushToZero | kDenormalsAreZero},
  };
  testing_support::Dice dice(6);
  WaveField field;
  // 1920 x 1080: large enough for the threads; sources of every age, some far beyond their crest, whose
  // decays are subnormal.
  testing_support::Prepare(field, testing_support::DefaultRecord(1920, 1080));
  testing_support::RandomSources(field, dice, 40, 5000000, 3000000);
  for (int threads : {1, 3}) {
    field.engine.UseThreads(threads);
    for (SimdVariant variant : testing_support::SupportedVariants()) {
      ASSERT_TRUE(field.engine.SelectVariant(variant));
      const std::vector<SurfaceVertex> plain = FillUnder(field, FixedFloatingPointState::kSseControl);
      for (const State& state : states) {
        const std::vector<SurfaceVertex> other = FillUnder(field, state.bits);
        EXPECT_EQ(std::memcmp(plain.data(), other.data(), plain.size() * sizeof(SurfaceVertex)), 0)
            << state.what << ", " << threads << " threads, " << testing_support::VariantName(variant);
      }
    }
  }
  EXPECT_EQ(testing_support::CompareWithReference(field), "");
}

}  // namespace
}  // namespace lumar
