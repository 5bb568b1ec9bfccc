// One frame's field work, FillSurfaceVertices, with the frame engine and with the node-by-node reference
// side by side: every preset at its true steady state, and busy fields with many sources. bench_main.cpp
// prints the reference / engine ratio and the number of sources of each scenario at the end of the run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "render/vertex_fill.h"
#include "settings/parameter_set.h"
#include "settings/presets.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"
#include "wavefield/worker_pool.h"

namespace lumar {
namespace {

struct Scenario {
  std::string name;
  int presetId;  // 0: the defaults ("Clipping") with the changes below
  uint32_t width;
  uint32_t height;
  int calculation;  // -1: as the preset has it
  int sources;      // 0: the preset's own drop rate, run for 100 s; else spawned evenly over a life span
  int waveLength;   // 0: unchanged
  int spaceFading;  // -1: unchanged
};

ParameterSet ScenarioRecord(const Scenario& s) {
  SettingsState settings;
  ResetToDefaults(settings);
  ParameterSet& r = settings.parameters;
  if (s.presetId != 0) ApplyPreset(r, s.presetId);
  r.screenWidth = s.width;
  r.screenHeight = s.height;
  r.screenFormat = kFormatX8R8G8B8;
  r.texture = kTextureMetal;
  if (s.calculation >= 0) r.calculation = s.calculation;
  if (r.calculation == 1) r.broadening = 0;
  if (s.waveLength > 0) r.waveLength = s.waveLength;
  if (s.spaceFading >= 0) r.spaceFading = s.spaceFading;
  return r;
}

// The preset's own life cycle for 3.5 life spans (a source retires at three times the source lifetime, so
// every source alive then was spawned by the steady cycle), at 10 frames a second: spawns are decided once a
// frame, and 100 ms is still far below every preset's mean spawn interval. Or the given number of sources
// spawned evenly over one life span.
void BringToSteadyState(WaveField& field, const Scenario& scenario, ManualClock& clock) {
  RandomGenerator random;
  SpawnSource(field, clock, random);
  const double lifeSpanMs = 3000.0 * field.constants.sourceLifetime;
  if (scenario.sources == 0) {
    const auto frames = static_cast<int64_t>(3.5 * lifeSpanMs / 100.0) + 1;
    for (int64_t frame = 0; frame < frames; ++frame) {
      clock.Advance(100);
      AdvanceSources(field, clock, random);
    }
    return;
  }
  const auto stepMs = static_cast<uint32_t>(lifeSpanMs / (scenario.sources + 1));
  for (int i = 1; i < scenario.sources; ++i) {
    clock.Advance(stepMs);
    SpawnSource(field, clock, random);
  }
  clock.Advance(stepMs);
  RetireAndUpdateSources(field, clock);
}

using FillFunction = bool (*)(const WaveField&, SurfaceVertex*, size_t);

// The scenario's field at its steady state, kept for the next runs of the same scenario (the reference,
// the engine and the threads are neighbours in the run): the set-up costs more than many frames.
WaveField* SteadyField(const Scenario& scenario) {
  static std::unique_ptr<WaveField> field;
  static std::string name;
  if (field && name == scenario.name) return field.get();
  field.reset();
  name.clear();
  auto fresh = std::make_unique<WaveField>();
  ParameterSet record = ScenarioRecord(scenario);
  const DesktopSize desktop{static_cast<int>(scenario.width), static_cast<int>(scenario.height)};
  if (PrepareWaveField(*fresh, record, desktop, [](const char*) { return false; }) != SetupResult::Ok) {
    return nullptr;
  }
  ManualClock clock(1000);
  BringToSteadyState(*fresh, scenario, clock);
  field = std::move(fresh);
  name = scenario.name;
  return field.get();
}

void FillFrame(benchmark::State& state, const Scenario& scenario, FillFunction fill, int threads) {
  WaveField* steady = SteadyField(scenario);
  if (steady == nullptr) {
    state.SkipWithError("set-up refused the scenario");
    return;
  }
  WaveField& field = *steady;
  field.engine.UseThreads(threads);
  std::vector<SurfaceVertex> vertices(SurfaceVertexCount(field.constants));
  for (auto _ : state) {
    fill(field, vertices.data(), vertices.size());
    benchmark::DoNotOptimize(vertices.data());
    benchmark::ClobberMemory();
  }
  state.counters["sources"] = field.sourceSet.sourceCount;
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> list;
  // Every preset on three screens; the slowest at each size are found by measuring them all.
  for (const Preset& p : PresetTable()) {
    const std::string name = p.name ? p.name : "Unnamed30";
    list.push_back({name + "_1920x1080", p.id, 1920, 1080, -1, 0, 0, -1});
    list.push_back({name + "_3840x2160", p.id, 3840, 2160, -1, 0, 0, -1});
    list.push_back({name + "_7680x4320", p.id, 7680, 4320, -1, 0, 0, -1});
  }
  list.push_back({"Sources70_fast_1920x1080", 0, 1920, 1080, 1, 70, 0, -1});
  list.push_back({"Sources70_normal_1920x1080", 0, 1920, 1080, 0, 70, 0, -1});
  list.push_back({"Sources70_fast_3840x2160", 0, 3840, 2160, 1, 70, 0, -1});
  list.push_back({"Sources70_normal_3840x2160", 0, 3840, 2160, 0, 70, 0, -1});
  list.push_back({"Sources70_Metamorphosis_1920x1080", 35, 1920, 1080, -1, 70, 0, -1});
  list.push_back({"Shiver_sources20_1920x1080", 21, 1920, 1080, -1, 20, 0, -1});
  list.push_back({"Shiver_sources20_3840x2160", 21, 3840, 2160, -1, 20, 0, -1});
  list.push_back({"WaveLength40_noSpaceFading_sources40_1920x1080", 0, 1920, 1080, 1, 40, 40, 0});
  list.push_back({"WaveLength40_noSpaceFading_sources40_3840x2160", 0, 3840, 2160, 1, 40, 40, 0});
  return list;
}

double Fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

// Registered at start-up: "Frame/<scenario>/reference", "Frame/<scenario>/engine" (one thread) and, where
// the machine has more, "Frame/<scenario>/threads" (every thread), neighbours in the run.
const bool kRegistered = [] {
  const int threads = MachineThreadCount();
  for (const Scenario& s : Scenarios()) {
    benchmark::RegisterBenchmark(("Frame/" + s.name + "/reference").c_str(), FillFrame, s,
                                 &FillSurfaceVerticesReference, 1)
        ->Unit(benchmark::kMillisecond)
        ->ComputeStatistics("min", Fastest);
    benchmark::RegisterBenchmark(("Frame/" + s.name + "/engine").c_str(), FillFrame, s, &FillSurfaceVertices,
                                 1)
        ->Unit(benchmark::kMillisecond)
        ->ComputeStatistics("min", Fastest);
    if (threads > 1) {
      benchmark::RegisterBenchmark(("Frame/" + s.name + "/threads").c_str(), FillFrame, s,
                                   &FillSurfaceVertices, threads)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->ComputeStatistics("min", Fastest);
    }
  }
  return true;
}();

}  // namespace
}  // namespace lumar
