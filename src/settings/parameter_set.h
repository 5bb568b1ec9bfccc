// The settings record. Its memory layout is the registry value "Pars", byte for byte, so every offset is
// fixed and checked at compile time; the record is a plain standard-layout struct of 32-bit fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumar {

constexpr std::size_t kParameterSetSize = 1488;
constexpr std::size_t kAdapterIdentifierSize = 1100;  // D3DADAPTER_IDENTIFIER9 without tail padding
constexpr std::size_t kTextureFileSize = 260;         // MAX_PATH

enum Effect : int32_t { kEffectBasis = 0, kEffectAquarium = 1 };
enum Texture : int32_t { kTextureDesktop = 0, kTextureMetal = 1, kTextureSky = 2, kTextureFile = 3 };
enum View : int32_t { kViewTop = 0, kViewBottom = 1 };

// D3DFORMAT values of the four colour formats the saver can run in.
enum PixelFormat : int32_t {
  kFormatX8R8G8B8 = 22,
  kFormatR5G6B5 = 23,
  kFormatX1R5G5B5 = 24,
  kFormatA2R10G10B10 = 35,
};

struct ParameterSet {
  int32_t waveLength;   // pixels
  int32_t speed;        // pixels per second
  int32_t spaceFading;  // shown as value x 0.02
  int32_t timeFading;   // shown as value x 0.001
  int32_t drops;        // roughly the number of sources alive at once
  int32_t reliefOptical;
  int32_t reliefLight;
  int32_t reliefGeometry;
  int32_t geometryMax;  // the Geometry scale's maximum when the dialog was last closed with OK
  int32_t optics;       // 1 mirror, 0 lens
  int32_t zSides;       // 1 one side, 0 both sides
  int32_t fall;         // 1 out, 0 in
  int32_t calculation;  // 1 fast, 0 normal
  int32_t broadening;
  int32_t reserved;  // always 0, persisted, never read
  int32_t texture;   // Texture
  int32_t showFps;
  int32_t presetId;  // 0 Custom, 1..35
  uint32_t savedDesktopWidth;
  uint32_t savedDesktopHeight;
  uint32_t savedDesktopRefresh;
  int32_t savedDesktopFormat;  // stored, never compared
  int32_t useCurrentMode;
  uint32_t deviceBehaviorFlags;
  int32_t randomStart;
  int32_t effect;                      // Effect
  char textureFile[kTextureFileSize];  // ANSI path, NUL-terminated; empty = none
  int32_t view;                        // View
  uint8_t adapterIdentifier[kAdapterIdentifierSize];
  uint32_t screenWidth;
  uint32_t screenHeight;
  uint32_t screenRefresh;
  int32_t screenFormat;  // PixelFormat
  int32_t showOrangeBar;
};

#define LUMAR_CHECK_OFFSET(field, offset) \
  static_assert(offsetof(ParameterSet, field) == (offset), "ParameterSet." #field " moved")
LUMAR_CHECK_OFFSET(waveLength, 0);
LUMAR_CHECK_OFFSET(speed, 4);
LUMAR_CHECK_OFFSET(spaceFading, 8);
LUMAR_CHECK_OFFSET(timeFading, 12);
LUMAR_CHECK_OFFSET(drops, 16);
LUMAR_CHECK_OFFSET(reliefOptical, 20);
LUMAR_CHECK_OFFSET(reliefLight, 24);
LUMAR_CHECK_OFFSET(reliefGeometry, 28);
LUMAR_CHECK_OFFSET(geometryMax, 32);
LUMAR_CHECK_OFFSET(optics, 36);
LUMAR_CHECK_OFFSET(zSides, 40);
LUMAR_CHECK_OFFSET(fall, 44);
LUMAR_CHECK_OFFSET(calculation, 48);
LUMAR_CHECK_OFFSET(broadening, 52);
LUMAR_CHECK_OFFSET(reserved, 56);
LUMAR_CHECK_OFFSET(texture, 60);
LUMAR_CHECK_OFFSET(showFps, 64);
LUMAR_CHECK_OFFSET(presetId, 68);
LUMAR_CHECK_OFFSET(savedDesktopWidth, 72);
LUMAR_CHECK_OFFSET(savedDesktopHeight, 76);
LUMAR_CHECK_OFFSET(savedDesktopRefresh, 80);
LUMAR_CHECK_OFFSET(savedDesktopFormat, 84);
LUMAR_CHECK_OFFSET(useCurrentMode, 88);
LUMAR_CHECK_OFFSET(deviceBehaviorFlags, 92);
LUMAR_CHECK_OFFSET(randomStart, 96);
LUMAR_CHECK_OFFSET(effect, 100);
LUMAR_CHECK_OFFSET(textureFile, 104);
LUMAR_CHECK_OFFSET(view, 364);
LUMAR_CHECK_OFFSET(adapterIdentifier, 368);
LUMAR_CHECK_OFFSET(screenWidth, 1468);
LUMAR_CHECK_OFFSET(screenHeight, 1472);
LUMAR_CHECK_OFFSET(screenRefresh, 1476);
LUMAR_CHECK_OFFSET(screenFormat, 1480);
LUMAR_CHECK_OFFSET(showOrangeBar, 1484);
#undef LUMAR_CHECK_OFFSET
static_assert(sizeof(ParameterSet) == kParameterSetSize, "ParameterSet must be 1488 bytes");

// The fifteen fields a preset sets, in the order of SetEffectFields and of the preset table.
struct EffectFields {
  int32_t waveLength, speed, broadening, spaceFading, timeFading, drops, reliefOptical, reliefLight,
      reliefGeometry, texture, optics, zSides, fall, calculation, view;
};

// A display mode as Direct3D reports it (D3DDISPLAYMODE's fields).
struct DisplayMode {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t refreshRate = 0;
  int32_t format = 0;
};

// The record and its process-wide companion flag, owned by the settings subsystem.
struct SettingsState {
  ParameterSet parameters{};
  int settingsWereReset = 0;
};

void SetEffectFields(ParameterSet& record, const EffectFields& fields);
EffectFields GetEffectFields(const ParameterSet& record);
bool operator==(const EffectFields& a, const EffectFields& b);

// Rebuilds the record from the defaults ("Clipping", preset 5) and sets settingsWereReset.
void ResetToDefaults(SettingsState& settings);

// The run's fallback when the run set-up refuses the stored values: the defaults, in the screen mode and
// with the device behaviour flags the record already holds.
void ResetToDefaultsKeepingScreenMode(SettingsState& settings);

// A textureFile without a terminating NUL within its 260 bytes is corrupt: it becomes empty.
// Returns true when it had to be cleared.
bool RepairTextureFile(ParameterSet& record);

enum class LoadOutcome {
  ReadFailed,  // no value, or one longer than the record: the defaults (the value stays)
  Incomplete,  // a value shorter than the record: the defaults (the key stays)
  Rejected,    // saved for another adapter, driver or desktop mode: the choices kept, the mode afresh
  Accepted,    // saved on this adapter in this desktop mode: used as it is
};

// The decision of LoadSettings after the registry read. A record saved for another adapter, driver or
// desktop mode (refresh, height, width or the 1100 identifier bytes differ; the format is not compared)
// keeps everything the user chose and loses only what belongs to the adapter and the mode, which are
// taken afresh as on a first run (ForgetAdapterAndMode); `settingsWereReset` then tells start-up to
// fill the full-screen mode and the device flags. `storedSize` is the value's length in bytes.
LoadOutcome ValidateLoadedSettings(SettingsState& settings, bool readSucceeded,
                                   const uint8_t (&currentIdentifier)[kAdapterIdentifierSize],
                                   const DisplayMode& currentDesktop,
                                   std::size_t storedSize = kParameterSetSize);

// Clears what belongs to the adapter and the desktop mode (the full-screen mode and format,
// deviceBehaviorFlags, the saved desktop mode, adapterIdentifier), takes `currentDesktop` as the
// full-screen mode and sets settingsWereReset; every choice of the user stays.
void ForgetAdapterAndMode(SettingsState& settings, const DisplayMode& currentDesktop);

}  // namespace lumar
