// Prints what start-up would run with for this user: LoadSettings against adapter 0, then the preset's id
// and whether the defaults were taken ("preset 34 reset 1").
#include <windows.h>

#include <cstdio>

#include "settings/settings_registry_win32.h"

int main() {
  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!direct3d) return 1;
  lumar::SettingsState settings;
  lumar::LoadSettings(settings, direct3d);
  direct3d->Release();
  std::printf("preset %d reset %d\n", settings.parameters.presetId, settings.settingsWereReset);
  return 0;
}
