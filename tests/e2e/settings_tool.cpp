// Writes a settings record for this machine, as the configuration dialog's OK would: the defaults with
// a preset applied, the current desktop mode as the full-screen mode, and adapter 0's identity.
//   settings_tool <preset id> [texture] [flat]
// "flat" sets every relief to 0: the surface then shows the picture as it is, ripples or not.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/adapter_modes_win32.h"
#include "settings/presets.h"
#include "settings/settings_registry_win32.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: settings_tool <preset id> [texture] [flat]\n");
    return 2;
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
  if (argc > 2) record.texture = std::atoi(argv[2]);
  if (argc > 3 && std::string(argv[3]) == "flat") {
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
