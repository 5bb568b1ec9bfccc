// The frame engine's routes where factors are computed, its worker threads and its SIMD variants, each
// against the node-by-node reference, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "render/vertex_fill.h"
#include "wavefield/engine_equivalence.h"
#include "wavefield/field_evaluation.h"
#include "wavefield/frame_engine.h"
#include "wavefield/worker_pool.h"

namespace lumar {
namespace {

using testing_support::CompareWithReference;
using testing_support::DefaultRecord;
using testing_support::Dice;
using testing_support::Prepare;
using testing_support::RandomSources;

// A field of `count` random sources, young or old, on a screen.
void BusyField(WaveField& field, ParameterSet record, int count, uint32_t longestMs, uint32_t seed) {
  Prepare(field, record);
  Dice dice(seed);
  RandomSources(field, dice, count, 10000000, longestMs);
}

struct RouteCase {
  const char* what;
  std::function<void(WaveField&)> make;
  int FrameEngine::RouteCounts::*route;
};

TEST(FrameEngineRoutes, EachComputedRouteIsTakenAndMatchesTheReference) {
  const RouteCase cases[] = {
      {"rising, computed (normal calculation with broadening, young sources)",
       [](WaveField& field) {
         ParameterSet r = DefaultRecord(640, 480);
         r.calculation = 0;
         r.broadening = 60;
         BusyField(field, r, 30, 400, 1);
       },
       &FrameEngine::RouteCounts::risingComputed},
      {"travelling, computed, no space fading (one growth for every distance)",
       [](WaveField& field) {
         ParameterSet r = DefaultRecord(640, 480);
         r.calculation = 0;
         r.broadening = 60;
         r.spaceFading = 0;
         BusyField(field, r, 30, 20000, 2);
       },
       &FrameEngine::RouteCounts::constantGrowth},
      {"travelling, trail from the tables, lead computed (lead exponent rebased, synthetic sources)",
       [](WaveField& field) {
         ParameterSet r = DefaultRecord(640, 480);
         r.calculation = 1;
         BusyField(field, r, 12, 20000, 4);
         // Rebase the lead of every travelling source by hand: its coefficients lose e^(b psi) and the shift
         // carries it; the field stays the same function, its lead now computed at the node.
         for (int n = 0; n < field.sourceSet.sourceCount; ++n) {
           RippleSource& s = field.sourceSet.sources[n];
           if (s.age < s.quarterWaveTime || s.leadRebased) continue;
           const double b = field.constants.oneSide ? static_cast<double>(kOneSideDecay) : 1.0;
           const double shift = b * static_cast<double>(s.effectiveWaveNumber * s.frontDistance);
           const double scale = std::exp(-shift);
           s.leadRebased = true;
           s.leadExponentShift = shift;
           for (double* q : {&s.leadLevel, &s.leadLevelPhase, &s.leadLevelSlope, &s.leadLevelPhaseSlope})
             *q *= scale;
         }
       },
       &FrameEngine::RouteCounts::leadOnlyComputed},
      {"travelling, trail exponent rebased (a synthetic source)",
       [](WaveField& field) {
         ParameterSet r = DefaultRecord(640, 480);
         r.calculation = 1;
         BusyField(field, r, 12, 20000, 3);
         // Rebase the trail of every travelling source by hand: its coefficients lose e^(-alpha D) and the
         // shift carries it; the field stays the same function, now computed at the node.
         for (int n = 0; n < field.sourceSet.sourceCount; ++n) {
           RippleSource& s = field.sourceSet.sources[n];
           if (s.age < s.quarterWaveTime || s.trailRebased) continue;
           const double shift = -static_cast<double>(field.constants.spaceFadeRate) * s.frontDistance;
           const double scale = std::exp(-shift);
           s.trailRebased = true;
           s.trailExponentShift = shift;
           for (double* q : {&s.trailLevel, &s.trailSin, &s.trailCos, &s.trailCosSlope, &s.trailSinSlope})
             *q *= scale;
         }
       },
       &FrameEngine::RouteCounts::trailRebased},
  };
  for (const RouteCase& c : cases) {
    WaveField field;
    c.make(field);
    EXPECT_EQ(CompareWithReference(field), "") << c.what;
    EXPECT_GT(field.engine.routes().*c.route, 0) << c.what;
  }
}

// Bands of rows on 1, 2, 3 and 7 threads give the one thread's bits: busy fields of every kind on a grid
// above the size where threads are used.
TEST(FrameEngineThreads, AnyThreadCountMatchesTheReference) {
  struct Case {
    const char* what;
    int preset;
    int calculation;
    int count;
  } const cases[] = {{"Kite, 70 sources", 34, -1, 70},
                     {"Metamorphosis, 40 sources", 35, -1, 40},
                     {"defaults, fast, 70 sources", 0, 1, 70},
                     {"defaults, normal, 25 sources", 0, 0, 25}};
  for (const Case& c : cases) {
    ParameterSet r = DefaultRecord(1920, 1080);
    if (c.preset != 0) ApplyPreset(r, c.preset);
    if (c.calculation >= 0) r.calculation = c.calculation;
    if (r.calculation == 1) r.broadening = 0;
    WaveField field;
    BusyField(field, r, c.count, 60000, static_cast<uint32_t>(c.count));
    ASSERT_GE(SurfaceVertexCount(field.constants), FrameEngine::kThreadedNodes);
    for (int threads : {1, 2, 3, 7}) {
      field.engine.UseThreads(threads);
      EXPECT_EQ(field.engine.threads(), threads);
      EXPECT_EQ(CompareWithReference(field), "") << c.what << " on " << threads << " threads";
    }
  }
}

// The work after the sums (the vertex fill) goes in contiguous parts, one per thread, that cover every item
// once; on one thread, or after a grid too small for threads, it is one part on the calling thread.
TEST(FrameEngineThreads, PartsCoverEveryItemOnceOnTheThreadsTheSumsUsed) {
  struct Case {
    const char* what;
    uint32_t width, height;
    int threads;
    int count;
    int parts;
  } const cases[] = {{"1080p, 3 threads", 1920, 1080, 3, 194, 3},
                     {"1080p, 7 threads, fewer items than threads", 1920, 1080, 7, 5, 7},
                     {"1080p, 1 thread", 1920, 1080, 1, 194, 1},
                     {"a small grid on 3 threads", 640, 480, 3, 65, 1}};
  for (const Case& c : cases) {
    WaveField field;
    BusyField(field, DefaultRecord(c.width, c.height), 5, 60000, 5);
    field.engine.UseThreads(c.threads);
    field.engine.SumField(field);
    std::mutex mutex;
    std::vector<int> taken(static_cast<std::size_t>(c.count), 0);
    std::vector<std::thread::id> callers;
    int parts = 0;
    field.engine.ForEachPart(c.count, [&](int first, int end) {
      std::lock_guard<std::mutex> lock(mutex);
      ++parts;
      callers.push_back(std::this_thread::get_id());
      for (int k = first; k < end; ++k) ++taken[static_cast<std::size_t>(k)];
    });
    EXPECT_EQ(parts, c.parts) << c.what;
    EXPECT_EQ(taken, std::vector<int>(static_cast<std::size_t>(c.count), 1)) << c.what;
    EXPECT_EQ(std::count(callers.begin(), callers.end(), std::this_thread::get_id()), 1) << c.what;
  }
}

// The largest screen the set-up accepts with every source active, on every thread count: each frame
// finishes with the same bits, every vertex finite, and sampled nodes agree with the reference.
TEST(FrameEngineThreads, LargestScreenWithSeventySourcesOnEveryThreadCount) {
  ParameterSet record = DefaultRecord(8192, 8192);
  record.view = kViewBottom;
  record.waveLength = 40;
  record.speed = 2000;
  record.spaceFading = 0;
  WaveField field;
  Prepare(field, record);
  Dice dice(71);
  RandomSources(field, dice, kMaxSources, 1000000, 8000);
  std::vector<SurfaceVertex> first(SurfaceVertexCount(field.constants));
  std::vector<SurfaceVertex> vertices(first.size());
  field.engine.UseThreads(1);
  ASSERT_TRUE(FillSurfaceVertices(field, first.data(), first.size()));
  for (const SurfaceVertex& v : first) {
    ASSERT_TRUE(std::isfinite(v.z) && std::isfinite(v.nx) && std::isfinite(v.ny) && std::isfinite(v.u) &&
                std::isfinite(v.v));
  }
  for (int threads : {2, 3, 7, kMaxEngineThreads}) {
    field.engine.UseThreads(threads);
    ASSERT_TRUE(FillSurfaceVertices(field, vertices.data(), vertices.size()));
    EXPECT_EQ(std::memcmp(first.data(), vertices.data(), first.size() * sizeof(SurfaceVertex)), 0)
        << threads << " threads";
  }
  const RunConstants& c = field.constants;
  for (int a = 0; a <= c.gridCellsX; a += 53) {
    for (int b = 0; b <= c.gridCellsY; b += 59) {
      const FieldSums reference = SumSources(field, a, b);
      const FieldSums engine = field.engine.SumsAt(a, b);
      ASSERT_EQ(std::memcmp(&reference, &engine, sizeof reference), 0) << a << ", " << b;
    }
  }
}

// Whole frames at the true steady state (3.5 life spans of the preset's own cycle) of "Kite" and
// "Metamorphosis" (factors computed) and "Swing", at 1920 x 1080, 3840 x 2160 and 7680 x 4320, in both SIMD
// variants (CompareWithReference) and on two threads. Slow: the reference sums every node.
TEST(FrameEngineSteadyState, WholeFramesOnThreeScreensMatchTheReference) {
  struct Size {
    uint32_t width, height;
  } const sizes[] = {{1920, 1080}, {3840, 2160}, {7680, 4320}};
  for (int preset : {34, 35, 26}) {
    for (const Size& size : sizes) {
      ParameterSet r = DefaultRecord(size.width, size.height);
      ApplyPreset(r, preset);
      WaveField field;
      Prepare(field, r);
      ManualClock clock(1000);
      RandomGenerator random(static_cast<uint32_t>(preset));
      const auto frames = static_cast<int>(3.5 * 3000.0 * field.constants.sourceLifetime / 100.0) + 1;
      testing_support::RunFrames(field, clock, random, frames, 100);
      ASSERT_GT(field.sourceSet.sourceCount, 0);
      field.engine.UseThreads(2);
      EXPECT_EQ(CompareWithReference(field), "")
          << "preset " << preset << " at " << size.width << "x" << size.height << ", "
          << field.sourceSet.sourceCount << " sources";
    }
  }
}

// Where the processor reports AVX2 to the system, the engine must find it too: a failed detection would
// leave only SSE2 tested and shipped without a word.
TEST(FrameEngineVariants, Avx2IsFoundWhereTheProcessorHasIt) {
  std::ifstream cpuinfo("/proc/cpuinfo");
  ASSERT_TRUE(cpuinfo.good()) << "no /proc/cpuinfo to check against";
  std::string line;
  bool flagsSeen = false;
  bool avx2 = false;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("flags", 0) != 0) continue;
    flagsSeen = true;
    avx2 = (line + " ").find(" avx2 ") != std::string::npos;
    break;
  }
  ASSERT_TRUE(flagsSeen);
  EXPECT_EQ(SimdVariantSupported(SimdVariant::kAvx2), avx2);
  std::printf("AVX2 %s on this processor\n", avx2 ? "present and used" : "absent: SSE2 only");
}

// Empty tables hold no offset, not even (0, 0).
TEST(WaveTablesEmpty, HoldNothing) {
  WaveTables tables;
  EXPECT_FALSE(tables.Holds(0, 0));
  ASSERT_TRUE(tables.Allocate(3, 2));
  EXPECT_TRUE(tables.Holds(0, 0));
  EXPECT_TRUE(tables.Holds(3, 2));
  EXPECT_FALSE(tables.Holds(4, 0));
}

}  // namespace
}  // namespace lumar
