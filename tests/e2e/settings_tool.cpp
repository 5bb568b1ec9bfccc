// Writes a settings record for this machine, as the configuration dialog's OK would: the defaults with
// a preset applied, the current desktop mode as the full-screen mode, and adapter 0's identity.
//   settings_tool <preset id> [texture [effect]] [flat]
//   settings_tool --list      prints "id name" for every named preset
// "flat" sets every relief to 0: the surface then shows the picture as it is, ripples or not.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/adapter_modes_win32.h"
#include "settings/presets.h"
#include "settings/settings_registry_win32.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: settings_tool <preset id> [texture [effect]] [flat] | --list\n");
    return 2;
  }
  if (std::strcmp(argv[1], "--list") == 0) {
    for (const lumar::Preset& preset : lumar::PresetTable())
      if (preset.name) std::printf("%d %s\n", preset.id, preset.name);
    return 0;
  }
  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!direct3d) return 1;
  lumar::AdapterModes modes;
  const HRESULT enumerated = lumar::EnumerateAdapterModes(direct3d, modes);
  lumar::SettingsState settings;
  lumar::ResetToDefaults(settings);
  lumar::ParameterSet& record = settings.parameters;
  const int preset = std::atoi(argv[1]);
  record.presetId = preset;
  lumar::ApplyPreset(record, preset);
  const bool flat = argc > 2 && std::strcmp(argv[argc - 1], "flat") == 0;
  const int numbers = flat ? argc - 1 : argc;  // arguments before "flat"
  if (numbers > 2) record.texture = std::atoi(argv[2]);
  if (numbers > 3) record.effect = std::atoi(argv[3]);
  if (flat) {
    record.reliefOptical = 0;
    record.reliefLight = 0;
    record.reliefGeometry = 0;
  }
  lumar::DisplayMode desktop;
  lumar::FetchAdapterIdentity(direct3d, record.adapterIdentifier, desktop);
  record.savedDesktopWidth = record.screenWidth = desktop.width;
  record.savedDesktopHeight = record.screenHeight = desktop.height;
  record.savedDesktopRefresh = record.screenRefresh = desktop.refreshRate;
  record.savedDesktopFormat = record.screenFormat = desktop.format;
  record.deviceBehaviorFlags = modes.behaviorFlags;
  direct3d->Release();
  if (FAILED(enumerated) || !lumar::WriteSettings(record)) return 1;
  std::printf("stored preset %d, texture %d, %ux%u\n", preset, record.texture, record.screenWidth,
              record.screenHeight);
  return 0;
}
