// Registry persistence of the settings record and LoadSettings on top of it.
#include "settings/settings_registry_win32.h"

#include <cstddef>
#include <cstring>

#include "platform/registry_key_win32.h"
#include "settings/policy_registry_win32.h"
#include "settings/presets.h"

namespace lumar {

// The identifier's data ends with WHQLLevel; 64-bit sizeof adds tail padding that is never stored.
static_assert(offsetof(D3DADAPTER_IDENTIFIER9, WHQLLevel) + sizeof(DWORD) == kAdapterIdentifierSize,
              "D3DADAPTER_IDENTIFIER9 data must be 1100 bytes");

bool ReadSettings(ParameterSet& record, std::size_t* storedSize) {
  RegistryKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_ALL_ACCESS, key.out()) != ERROR_SUCCESS)
    return false;
  // Read straight into the record; the type and the byte count are not examined.
  DWORD size = sizeof record;
  if (RegQueryValueExA(key.get(), kSettingsValueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&record),
                       &size) != ERROR_SUCCESS)
    return false;
  if (storedSize) *storedSize = size;
  return true;
}

bool WriteSettings(const ParameterSet& record) {
  RegistryKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  // A failed value write leaves the previous value; the dialog closes all the same.
  RegSetValueExA(key.get(), kSettingsValueName, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&record),
                 sizeof record);
  return true;
}

void DeleteSettingsKey() {
  RegistryKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_ALL_ACCESS, key.out()) != ERROR_SUCCESS)
    return;
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
}

void FetchAdapterIdentity(IDirect3D9* direct3d, uint8_t (&identifier)[kAdapterIdentifierSize],
                          DisplayMode& desktop) {
  std::memset(identifier, 0, sizeof identifier);
  desktop = DisplayMode{};
  if (!direct3d) return;
  D3DADAPTER_IDENTIFIER9 id{};
  if (SUCCEEDED(direct3d->GetAdapterIdentifier(0, 0, &id)))
    std::memcpy(identifier, &id, kAdapterIdentifierSize);
  D3DDISPLAYMODE mode{};
  if (SUCCEEDED(direct3d->GetAdapterDisplayMode(0, &mode)))
    desktop = DisplayMode{mode.Width, mode.Height, mode.RefreshRate, static_cast<int32_t>(mode.Format)};
}

void LoadSettings(SettingsState& settings, IDirect3D9* direct3d) {
  // The record starts from zero, so a short value leaves the rest zero (and then fails validation).
  std::memset(&settings.parameters, 0, sizeof settings.parameters);
  std::size_t storedSize = 0;
  // A value that cannot be read (one longer than the record, as a newer version may write, or a passing
  // failure) is left as it is: the defaults are used and the next OK overwrites it.
  const bool read = ReadSettings(settings.parameters, &storedSize);
  uint8_t identifier[kAdapterIdentifierSize];
  DisplayMode desktop;
  FetchAdapterIdentity(direct3d, identifier, desktop);
  const LoadOutcome outcome = ValidateLoadedSettings(settings, read, identifier, desktop, storedSize);
  if (outcome == LoadOutcome::ReadFailed || outcome == LoadOutcome::Incomplete)
    ApplyMachineDefault(settings.parameters, MachineDefaultPreset());
}

}  // namespace lumar
