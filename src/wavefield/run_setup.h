// The run set-up: turns the settings record and the screen sizes into the wave field's run constants and
// lookup tables, and clears the sources.
#pragma once

#include <functional>

#include "settings/parameter_set.h"
#include "wavefield/wave_field.h"

namespace lumar {

// Largest display-mode edge the field accepts; keeps the tables within about 170 MB.
constexpr int kMaxScreenEdge = 8192;

enum class SetupResult {
  Ok,
  InvalidSettings,  // a stored value the arithmetic cannot bear (see CheckFieldSettings)
  InvalidScreen,    // a display mode or desktop with an edge of 0 or above kMaxScreenEdge
  OutOfMemory,      // the tables could not be allocated
};

// The primary screen's size in pixels, as the system reports it.
struct DesktopSize {
  int desktopWidth = 0;
  int desktopHeight = 0;
};

// Whether a picture file exists (the Windows build passes PictureFileExists).
using FileExistsCheck = std::function<bool(const char* path)>;

// The record values refused for a run: waveLength <= 0, timeFading <= 0, and negative speed,
// spaceFading, drops or broadening. Every record the dialog can produce passes.
SetupResult CheckFieldSettings(const ParameterSet& record);

// Fills `field` for a run. A user picture file that no longer exists switches `record.texture` to the
// desktop for this run (in memory only). `maxTextureEdge` is the device's largest square texture edge
// (0: unknown, no cap); the desktop picture's square never exceeds it. On any result but Ok the run must
// stop; the field is then left without tables and without sources.
SetupResult PrepareWaveField(WaveField& field, ParameterSet& record, const DesktopSize& desktop,
                             const FileExistsCheck& fileExists, int maxTextureEdge = 0);

}  // namespace lumar
