// One frame of wave-field work: every node of the surface grid evaluated once, as the vertex fill will do
// it, over a seeded source set brought to a steady state on a fake clock.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "settings/parameter_set.h"
#include "wavefield/field_evaluation.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

struct Scenario {
  uint32_t width;
  uint32_t height;
  bool fast;
  int sources;  // 0: as many as the record's drop rate brings
};

ParameterSet ClippingRecord(const Scenario& scenario) {
  SettingsState settings;
  ResetToDefaults(settings);
  ParameterSet& r = settings.parameters;
  r.screenWidth = scenario.width;
  r.screenHeight = scenario.height;
  r.screenFormat = kFormatX8R8G8B8;
  r.calculation = scenario.fast ? 1 : 0;
  return r;
}

// Runs the life cycle at 30 frames a second for ten minutes of fake time, or spawns the given number of
// sources evenly over one life span.
void BringToSteadyState(WaveField& field, const Scenario& scenario, ManualClock& clock) {
  RandomGenerator random;
  SpawnSource(field, clock, random);
  if (scenario.sources == 0) {
    for (int frame = 0; frame < 18000; ++frame) {
      clock.Advance(33);
      AdvanceSources(field, clock, random);
    }
    return;
  }
  const auto lifeSpanMs = static_cast<uint32_t>(3000.0f * field.constants.sourceLifetime);
  for (int i = 1; i < scenario.sources; ++i) {
    clock.Advance(lifeSpanMs / (scenario.sources + 1));
    SpawnSource(field, clock, random);
  }
  clock.Advance(lifeSpanMs / (scenario.sources + 1));
  RetireAndUpdateSources(field, clock);
}

void FieldFrame(benchmark::State& state, Scenario scenario) {
  ParameterSet record = ClippingRecord(scenario);
  WaveField field;
  const DesktopSize desktop{static_cast<int>(scenario.width), static_cast<int>(scenario.height)};
  if (PrepareWaveField(field, record, desktop, [](const char*) { return false; }) != SetupResult::Ok) {
    state.SkipWithError("set-up refused the scenario");
    return;
  }
  ManualClock clock(1000);
  BringToSteadyState(field, scenario, clock);
  const int columns = field.constants.gridCellsX;
  const int rows = field.constants.gridCellsY;
  const double nodes = double(columns + 1) * (rows + 1);
  for (auto _ : state) {
    for (int i = 0; i < field.sourceSet.sourceCount; ++i)
      UpdateSource(field.sourceSet.sources[i], field, clock);
    for (int a = 0; a <= columns; ++a) {
      for (int b = 0; b <= rows; ++b) {
        NodeField node = EvaluateNode(field, a, b);
        benchmark::DoNotOptimize(node);
      }
    }
  }
  state.counters["sources"] = field.sourceSet.sourceCount;
  state.counters["nodes"] = nodes;
  state.counters["per_node"] =
      benchmark::Counter(nodes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(FieldFrame, Clipping_1024x768_fast, Scenario{1024, 768, true, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FieldFrame, Sources70_1920x1080_fast, Scenario{1920, 1080, true, 70})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FieldFrame, Sources70_1920x1080_normal, Scenario{1920, 1080, false, 70})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FieldFrame, Sources70_2560x1440_fast, Scenario{2560, 1440, true, 70})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FieldFrame, Sources70_3840x2160_fast, Scenario{3840, 2160, true, 70})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumar
