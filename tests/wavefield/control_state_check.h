// The frame's field work under SSE control states that a driver or an injected library may leave on the
// calling thread (flush-to-zero, denormals-are-zero, another rounding), shared by the native tests and the
// Windows build's tests.
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "render/vertex_fill.h"
#include "wavefield/engine_equivalence.h"
#include "wavefield/worker_pool.h"

namespace lumar {
namespace testing_support {

constexpr uint32_t kFlushToZero = 0x8000u;
constexpr uint32_t kDenormalsAreZero = 0x0040u;
constexpr uint32_t kRoundTowardZero = 0x6000u;
constexpr uint32_t kRoundUp = 0x4000u;

// A field of 1920 x 1080 (large enough for the threads) with 40 sources of every age, some far beyond
// their crest, whose decays are subnormal.
inline void ControlStateField(WaveField& field) {
  Dice dice(6);
  Prepare(field, DefaultRecord(1920, 1080));
  RandomSources(field, dice, 40, 5000000, 3000000);
}

// The vertices filled under each odd control state against those filled under the plain one, on
// `threads` threads, for each variant the processor runs; "" when every byte agrees and the caller's
// control bits are back after each frame, else the first difference.
inline std::string CompareUnderOddControlStates(WaveField& field, int threads) {
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
  const size_t count = SurfaceVertexCount(field.constants);
  const auto fillUnder = [&](uint32_t sseControl, std::vector<SurfaceVertex>& vertices) -> std::string {
    vertices.assign(count, SurfaceVertex{});
    const uint32_t saved = _mm_getcsr();
    _mm_setcsr(sseControl);
    const bool filled = FillSurfaceVertices(field, vertices.data(), count);
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(saved);
    if (!filled) return "fill refused";
    // The caller's control bits come back (the status flags may have gained exceptions).
    if ((after & ~0x3Fu) != (sseControl & ~0x3Fu)) return "the caller's control state was not restored";
    return "";
  };
  field.engine.UseThreads(threads);
  std::vector<SurfaceVertex> plain;
  std::vector<SurfaceVertex> other;
  for (SimdVariant variant : SupportedVariants()) {
    if (!field.engine.SelectVariant(variant)) return "variant refused";
    std::string failure = fillUnder(FixedFloatingPointState::kSseControl, plain);
    for (const State& state : states) {
      if (failure.empty()) failure = fillUnder(state.bits, other);
      if (failure.empty() && std::memcmp(plain.data(), other.data(), count * sizeof(SurfaceVertex)) != 0) {
        failure = "the vertices differ";
      }
      if (!failure.empty()) {
        std::ostringstream out;
        out << failure << ": " << state.what << ", " << threads << " threads, " << VariantName(variant);
        return out.str();
      }
    }
  }
  return "";
}

}  // namespace testing_support
}  // namespace lumar
