// The CPU side of one frame step on a desktop of one or two 1920 x 1080 monitors: per screen, the spawn
// decision, the retirement and update of its sources and the vertex fill of its surface, each screen with
// its own wave field and generator, under the default look at its steady state.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "render/vertex_fill.h"
#include "settings/parameter_set.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

struct Screen {
  WaveField field;
  RandomGenerator random;
  std::vector<SurfaceVertex> vertices;
};

void FrameOnScreens(benchmark::State& state) {
  const int screenCount = static_cast<int>(state.range(0));
  SettingsState settings;
  ResetToDefaults(settings);
  ParameterSet record = settings.parameters;
  record.screenWidth = 1920;
  record.screenHeight = 1080;
  ManualClock clock(1000);
  std::vector<std::unique_ptr<Screen>> screens;
  for (int i = 0; i < screenCount; ++i) {
    auto screen = std::make_unique<Screen>();
    if (PrepareWaveField(screen->field, record, DesktopSize{1920, 1080}, [](const char*) { return false; }) !=
        SetupResult::Ok) {
      state.SkipWithError("set-up refused 1920 x 1080");
      return;
    }
    screen->random.Srand(1u + static_cast<uint32_t>(i) * 2654435761u);  // as the saver seeds a monitor
    screen->vertices.resize(SurfaceVertexCount(screen->field.constants));
    SpawnSource(screen->field, clock, screen->random);
    screens.push_back(std::move(screen));
  }
  // Ten minutes at 30 frames a second bring the source sets to their steady state.
  for (int frame = 0; frame < 18000; ++frame) {
    clock.Advance(33);
    for (auto& screen : screens) AdvanceSources(screen->field, clock, screen->random);
  }
  int sources = 0;
  for (const auto& screen : screens) sources += screen->field.sourceSet.sourceCount;
  for (auto _ : state) {
    clock.Advance(33);
    for (auto& screen : screens) DecideSpawn(screen->field, clock, screen->random);
    for (auto& screen : screens) {
      RetireAndUpdateSources(screen->field, clock);
      FillSurfaceVertices(screen->field, screen->vertices.data(), screen->vertices.size());
      benchmark::DoNotOptimize(screen->vertices.data());
    }
    benchmark::ClobberMemory();
  }
  state.counters["screens"] = screenCount;
  state.counters["sources"] = sources;
}
BENCHMARK(FrameOnScreens)->ArgName("screens")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumar
