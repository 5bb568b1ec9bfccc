// What must hold for any stored settings value, however damaged: start-up loads and validates it, the
// run set-up takes it or falls back to the defaults, and a run of frames on a fake clock, with the vertex
// fill and the orange bar, writes finite vertices only. The sanitizers catch undefined arithmetic and
// out-of-bounds access on the way. Shared by the record fuzz test and the record fuzzer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "config/dialog_state.h"
#include "host/frame_timer.h"
#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "render/camera.h"
#include "render/vertex_fill.h"
#include "render/water_cycle.h"
#include "settings/parameter_set.h"
#include "wavefield/orange_bar.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar::test {

// The input: the desktop's width and height in pixels (16 bits each, little-endian), then the bytes of
// the registry value "Pars", of any length.
constexpr std::size_t kRunInputHeaderSize = 4;

// The machine the record is checked against: a desktop of the input's size at 60 Hz in X8R8G8B8, and
// this adapter identifier.
constexpr uint32_t kMachineRefresh = 60;
inline void MachineIdentifier(uint8_t (&identifier)[kAdapterIdentifierSize]) {
  for (std::size_t i = 0; i < kAdapterIdentifierSize; ++i) identifier[i] = static_cast<uint8_t>(i * 31 + 7);
}

// Frames per run and their clock steps: 120 short frames while the first ripples rise, then 80 long
// ones that age and retire sources and carry the water cycle and the bar through their turns. A source
// spawns at most every second frame, so 200 frames can fill the set to its 70. The clock starts shortly
// before its 32-bit wrap, which the run crosses.
constexpr int kShortFrames = 120;
constexpr int kLongFrames = 80;
constexpr uint32_t kShortStepMs = 40;
constexpr uint32_t kLongStepMs = 8000;
constexpr uint32_t kClockStart = 0xFFFFF000u;

// Screens above this many pixels are not run: a run's time grows with the grid.
constexpr uint64_t kLargestRunArea = 320 * 240;

enum class RecordRun {
  NoInput,         // shorter than the header
  StartUpStopped,  // the set-up refused the screen or ran out of memory; start-up ends there
  TooLarge,        // a screen above kLargestRunArea: not run
  Ran,
};

struct RecordRunReport {
  RecordRun run = RecordRun::NoInput;
  LoadOutcome load = LoadOutcome::ReadFailed;
  bool fellBackToDefaults = false;  // the stored values were refused by the run set-up
  bool drewBar = false;
  int mostSources = 0;
};

inline std::vector<uint8_t> RecordRunInput(uint16_t desktopWidth, uint16_t desktopHeight, const void* value,
                                           std::size_t size) {
  std::vector<uint8_t> input = {static_cast<uint8_t>(desktopWidth), static_cast<uint8_t>(desktopWidth >> 8),
                                static_cast<uint8_t>(desktopHeight),
                                static_cast<uint8_t>(desktopHeight >> 8)};
  const auto* bytes = static_cast<const uint8_t*>(value);
  input.insert(input.end(), bytes, bytes + size);
  return input;
}

inline bool AllFinite(const std::vector<SurfaceVertex>& vertices) {
  return std::all_of(vertices.begin(), vertices.end(), [](const SurfaceVertex& v) {
    for (float f : {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v}) {
      if (!std::isfinite(f)) return false;
    }
    return true;
  });
}

// Returns false when a vertex came out infinite or NaN.
inline bool StoredRecordRunKeepsItsContract(const uint8_t* data, std::size_t size,
                                            RecordRunReport* reportOut = nullptr) {
  RecordRunReport report;
  auto finish = [&](RecordRun run, bool kept) {
    report.run = run;
    if (reportOut != nullptr) *reportOut = report;
    return kept;
  };
  if (size < kRunInputHeaderSize) return finish(RecordRun::NoInput, true);
  const DesktopSize desktop{data[0] | data[1] << 8, data[2] | data[3] << 8};
  const DisplayMode desktopMode{static_cast<uint32_t>(desktop.desktopWidth),
                                static_cast<uint32_t>(desktop.desktopHeight), kMachineRefresh,
                                kFormatX8R8G8B8};
  uint8_t identifier[kAdapterIdentifierSize];
  MachineIdentifier(identifier);

  // Start-up: the value is read over a zero record (longer than the record: a failed read), validated,
  // and a reset record takes the desktop's mode.
  SettingsState settings;
  const std::size_t valueSize = size - kRunInputHeaderSize;
  const bool read = valueSize <= sizeof(ParameterSet);
  if (read && valueSize > 0) std::memcpy(&settings.parameters, data + kRunInputHeaderSize, valueSize);
  report.load = ValidateLoadedSettings(settings, read, identifier, desktopMode, valueSize);
  ParameterSet& record = settings.parameters;
  if (settings.settingsWereReset) UseDesktopMode(record, desktopMode);
  if (uint64_t{record.screenWidth} * record.screenHeight > kLargestRunArea) {
    return finish(RecordRun::TooLarge, true);
  }

  // The run set-up; values it refuses give the defaults in the same screen mode. No picture file exists.
  auto field = std::make_unique<WaveField>();
  const auto noFiles = [](const char*) { return false; };
  SetupResult setup = PrepareWaveField(*field, record, desktop, noFiles);
  if (setup == SetupResult::InvalidSettings) {
    ResetToDefaultsKeepingScreenMode(settings);
    report.fellBackToDefaults = true;
    setup = PrepareWaveField(*field, record, desktop, noFiles);
  }
  if (setup != SetupResult::Ok) return finish(RecordRun::StartUpStopped, true);

  // Device creation: the water cycle starts (outside the Aquarium the sheet stays full), the bar is made
  // in the Basis effect when shown, the camera is set.
  ManualClock clock(kClockStart);
  WaterCycle water;
  const bool aquarium = record.effect == kEffectAquarium;
  if (aquarium) {
    StartWaterCycle(water, clock.Now());
  } else {
    field->waterLevel = 1.0f;
  }
  std::optional<OrangeBar> bar;
  if (record.effect == kEffectBasis && record.showOrangeBar != 0) {
    bar.emplace(BarSizeFor(record.screenWidth), record, field->constants);
  }
  if (aquarium || record.view == kViewBottom) {
    ObliqueCameraStep(*field, water, clock);
  } else {
    SetTopCamera(record);
  }
  std::vector<SurfaceVertex> surface(SurfaceVertexCount(field->constants));
  std::vector<SurfaceVertex> barVertices(bar ? bar->MeshLayout().vertexCount : 0);
  report.drewBar = bar.has_value();

  // The run: the first ripple at once, then the frame step of every frame.
  RandomGenerator random;
  random.Srand(1);
  FrameTimer frameTimer;
  frameTimer.Clear();
  frameTimer.Start(clock);
  SpawnSource(*field, clock, random);
  for (int frame = 0; frame < kShortFrames + kLongFrames; ++frame) {
    clock.Advance(frame < kShortFrames ? kShortStepMs : kLongStepMs);
    DecideSpawn(*field, clock, random);
    const float frameTime = frameTimer.Elapsed(clock);
    RetireAndUpdateSources(*field, clock);
    report.mostSources = std::max(report.mostSources, static_cast<int>(field->sourceSet.sourceCount));
    if (aquarium) ObliqueCameraStep(*field, water, clock);
    if (!FillSurfaceVertices(*field, surface.data(), surface.size()) || !AllFinite(surface)) {
      return finish(RecordRun::Ran, false);
    }
    if (bar) {
      if (!bar->FillBarVertices(*field, barVertices.data(), barVertices.size()) || !AllFinite(barVertices)) {
        return finish(RecordRun::Ran, false);
      }
      bar->AnimateBar(frameTime);
    }
  }
  return finish(RecordRun::Ran, true);
}

}  // namespace lumar::test
