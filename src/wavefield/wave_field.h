// The wave field of one run: its constants, lookup tables, ripple sources and the Aquarium water level.
// One object holds it all; the run set-up fills it (run_setup.h), the frame step advances its sources
// (wave_sources.h), the vertex fill sums it over the whole grid (frame_engine.h) and the orange bar reads
// it node by node (field_evaluation.h).
#pragma once

#include "wavefield/frame_engine.h"
#include "wavefield/ripple_source.h"
#include "wavefield/run_constants.h"
#include "wavefield/wave_tables.h"

namespace lumar {

struct WaveField {
  RunConstants constants;
  WaveTables tables;
  SourceSet sourceSet;
  // The Aquarium water-level cycle, advanced by the camera step: -1 empty ... +1 full, and whether the
  // basin is draining (ripples then run backwards).
  float waterLevel = 0.0f;
  int draining = 0;
  // The frame engine's scratch memory: the vertex fill sums the whole grid with it. It holds nothing
  // between frames that a result depends on, so reading a field through a const reference may use it.
  mutable FrameEngine engine;
};

}  // namespace lumar
