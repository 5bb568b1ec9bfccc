// Shared set-up for the wave-field tests: a record, a prepared field, and sources placed by hand.
#pragma once

#include <gtest/gtest.h>

#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "settings/parameter_set.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace testing_support {

// The defaults with a 1024 x 768 mode, or the worked example of the field evaluation: wave length 100,
// speed 100, space fading 10, time fading 100 (tau = 10 s), fast, both sides.
inline ParameterSet DefaultRecord(uint32_t width = 1024, uint32_t height = 768) {
  SettingsState settings;
  ResetToDefaults(settings);
  settings.parameters.screenWidth = width;
  settings.parameters.screenHeight = height;
  settings.parameters.screenFormat = kFormatX8R8G8B8;
  return settings.parameters;
}

inline ParameterSet WorkedRecord() {
  ParameterSet r = DefaultRecord();
  r.waveLength = 100;
  r.speed = 100;
  r.broadening = 0;
  r.spaceFading = 10;
  r.timeFading = 100;
  r.calculation = 1;
  r.zSides = 0;
  return r;
}

// 3840 x 2160 in the bottom view with short fast waves (wave length 40, speed 1000): crests far out on
// the grid, where e^(b psi) leaves double range and the lead exponents are rebased.
inline ParameterSet FarCrestRecord(int calculation, int zSides) {
  ParameterSet r = DefaultRecord(3840, 2160);
  r.view = kViewBottom;
  r.waveLength = 40;
  r.speed = 1000;
  r.spaceFading = 50;
  r.timeFading = 1;
  r.calculation = calculation;
  r.broadening = 0;
  r.zSides = zSides;
  return r;
}

inline bool NoFiles(const char*) { return false; }

// A field prepared on a desktop of the mode's own size (aspectSquare 1) unless told otherwise.
inline void Prepare(WaveField& field, ParameterSet record, DesktopSize desktop = {}, int maxTextureEdge = 0) {
  if (desktop.desktopWidth == 0) {
    desktop = {static_cast<int>(record.screenWidth), static_cast<int>(record.screenHeight)};
  }
  ASSERT_EQ(PrepareWaveField(field, record, desktop, NoFiles, maxTextureEdge), SetupResult::Ok);
}

// A record change named for the failure message.
struct RecordCase {
  const char* what;
  void (*apply)(ParameterSet&);
};

// The life cycle from its first source: `frames` frames of `stepMs` milliseconds each.
inline void RunFrames(WaveField& field, ManualClock& clock, RandomGenerator& random, int frames,
                      uint32_t stepMs) {
  SpawnSource(field, clock, random);
  for (int frame = 0; frame < frames; ++frame) {
    clock.Advance(stepMs);
    AdvanceSources(field, clock, random);
  }
}

// Spawns a source now and moves its centre to (nodeX, nodeY).
inline RippleSource& PlaceSource(WaveField& field, const ManualClock& clock, int nodeX, int nodeY) {
  RandomGenerator random;
  EXPECT_TRUE(SpawnSource(field, clock, random));
  RippleSource& s = field.sourceSet.sources[field.sourceSet.sourceCount - 1];
  s.nodeX = nodeX;
  s.nodeY = nodeY;
  return s;
}

}  // namespace testing_support
}  // namespace lumar
