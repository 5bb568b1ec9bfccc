// The per-frame vertex fill of a 1920 x 1080 surface (193 x 109 nodes) under the full 70 ripple sources,
// with the fast (table) and the normal (computed) calculation.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "render/vertex_fill.h"
#include "settings/parameter_set.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

bool NoFiles(const char*) { return false; }

// A field of the given calculation with all 70 sources spawned 40 ms apart, the youngest 100 ms old.
bool PrepareBusyField(WaveField& field, ManualClock& clock, int32_t effect, int32_t calculation) {
  SettingsState settings;
  ResetToDefaults(settings);
  ParameterSet record = settings.parameters;
  record.screenWidth = 1920;
  record.screenHeight = 1080;
  record.effect = effect;
  record.calculation = calculation;
  if (calculation == 1) record.broadening = 0;
  if (PrepareWaveField(field, record, DesktopSize{1920, 1080}, NoFiles) != SetupResult::Ok) return false;
  RandomGenerator random;
  for (int n = 0; n < kMaxSources; ++n) {
    if (!SpawnSource(field, clock, random)) return false;
    clock.Advance(40);
  }
  clock.Advance(100);
  RetireAndUpdateSources(field, clock);
  field.waterLevel = 0.5f;
  return field.sourceSet.sourceCount == kMaxSources;
}

void FillWithSeventySources(benchmark::State& state) {
  WaveField field;
  ManualClock clock(1000);
  const int32_t effect = static_cast<int32_t>(state.range(0));
  const int32_t calculation = static_cast<int32_t>(state.range(1));
  if (!PrepareBusyField(field, clock, effect, calculation)) {
    state.SkipWithError("could not set up 70 active sources");
    return;
  }
  std::vector<SurfaceVertex> vertices(SurfaceVertexCount(field.constants));
  for (auto _ : state) {
    FillSurfaceVertices(field, vertices.data(), vertices.size());
    benchmark::DoNotOptimize(vertices.data());
    benchmark::ClobberMemory();
  }
  state.counters["vertices"] = static_cast<double>(vertices.size());
  state.counters["fills/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
// Arguments: effect (0 Basis, 1 Aquarium), calculation (1 fast, 0 normal).
BENCHMARK(FillWithSeventySources)
    ->ArgNames({"aquarium", "fast"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumar
