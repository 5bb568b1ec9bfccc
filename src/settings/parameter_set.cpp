// Defaults, effect fields and the validation step of loading the settings record.
#include "settings/parameter_set.h"

#include <cstring>

namespace lumar {

void SetEffectFields(ParameterSet& r, const EffectFields& f) {
  r.waveLength = f.waveLength;
  r.speed = f.speed;
  r.broadening = f.broadening;
  r.spaceFading = f.spaceFading;
  r.timeFading = f.timeFading;
  r.drops = f.drops;
  r.reliefOptical = f.reliefOptical;
  r.reliefLight = f.reliefLight;
  r.reliefGeometry = f.reliefGeometry;
  r.texture = f.texture;
  r.optics = f.optics;
  r.zSides = f.zSides;
  r.fall = f.fall;
  r.calculation = f.calculation;
  r.view = f.view;
}

EffectFields GetEffectFields(const ParameterSet& r) {
  return EffectFields{r.waveLength, r.speed,         r.broadening,  r.spaceFading,    r.timeFading,
                      r.drops,      r.reliefOptical, r.reliefLight, r.reliefGeometry, r.texture,
                      r.optics,     r.zSides,        r.fall,        r.calculation,    r.view};
}

bool operator==(const EffectFields& a, const EffectFields& b) {
  return a.waveLength == b.waveLength && a.speed == b.speed && a.broadening == b.broadening &&
         a.spaceFading == b.spaceFading && a.timeFading == b.timeFading && a.drops == b.drops &&
         a.reliefOptical == b.reliefOptical && a.reliefLight == b.reliefLight &&
         a.reliefGeometry == b.reliefGeometry && a.texture == b.texture && a.optics == b.optics &&
         a.zSides == b.zSides && a.fall == b.fall && a.calculation == b.calculation && a.view == b.view;
}

void ResetToDefaults(SettingsState& settings) {
  ParameterSet& r = settings.parameters;
  std::memset(&r, 0, sizeof r);
  r.useCurrentMode = 1;
  r.presetId = 5;
  r.effect = kEffectBasis;
  r.view = kViewTop;
  r.showOrangeBar = 1;
  // The effect fields of "Clipping".
  SetEffectFields(r, EffectFields{700, 75, 0, 0, 10, 10, 400, 70, 320, 0, 1, 0, 1, 1, 0});
  settings.settingsWereReset = 1;
}

void ResetToDefaultsKeepingScreenMode(SettingsState& settings) {
  const ParameterSet stored = settings.parameters;
  ResetToDefaults(settings);
  ParameterSet& r = settings.parameters;
  r.screenWidth = stored.screenWidth;
  r.screenHeight = stored.screenHeight;
  r.screenRefresh = stored.screenRefresh;
  r.screenFormat = stored.screenFormat;
  r.deviceBehaviorFlags = stored.deviceBehaviorFlags;
}

bool RepairTextureFile(ParameterSet& r) {
  if (std::memchr(r.textureFile, '\0', sizeof r.textureFile) != nullptr) return false;
  std::memset(r.textureFile, 0, sizeof r.textureFile);
  return true;
}

void ForgetAdapterAndMode(SettingsState& settings, const DisplayMode& currentDesktop) {
  ParameterSet& r = settings.parameters;
  r.savedDesktopWidth = 0;
  r.savedDesktopHeight = 0;
  r.savedDesktopRefresh = 0;
  r.savedDesktopFormat = 0;
  r.deviceBehaviorFlags = 0;
  std::memset(r.adapterIdentifier, 0, sizeof r.adapterIdentifier);
  // The dialog shows this mode at once, even with "Current Mode" cleared; start-up takes it again
  // from enumeration and checks that the adapter lists it.
  r.screenWidth = currentDesktop.width;
  r.screenHeight = currentDesktop.height;
  r.screenRefresh = currentDesktop.refreshRate;
  r.screenFormat = currentDesktop.format;
  settings.settingsWereReset = 1;
}

LoadOutcome ValidateLoadedSettings(SettingsState& settings, bool readSucceeded,
                                   const uint8_t (&currentIdentifier)[kAdapterIdentifierSize],
                                   const DisplayMode& currentDesktop, std::size_t storedSize) {
  settings.settingsWereReset = 0;
  if (!readSucceeded) {
    ResetToDefaults(settings);
    return LoadOutcome::ReadFailed;
  }
  // A short value holds only the start of a record: nothing in it can be trusted to be a choice.
  if (storedSize < kParameterSetSize) {
    ResetToDefaults(settings);
    return LoadOutcome::Incomplete;
  }
  ParameterSet& r = settings.parameters;
  RepairTextureFile(r);
  const bool sameHardware = currentDesktop.refreshRate == r.savedDesktopRefresh &&
                            currentDesktop.height == r.savedDesktopHeight &&
                            currentDesktop.width == r.savedDesktopWidth &&
                            std::memcmp(currentIdentifier, r.adapterIdentifier, kAdapterIdentifierSize) == 0;
  if (!sameHardware) {
    // A new driver, resolution, refresh rate or screen is no reason to lose the user's look.
    ForgetAdapterAndMode(settings, currentDesktop);
    return LoadOutcome::Rejected;
  }
  return LoadOutcome::Accepted;
}

}  // namespace lumar
