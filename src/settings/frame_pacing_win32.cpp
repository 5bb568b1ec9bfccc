#include "settings/frame_pacing_win32.h"

#include <windows.h>

#include "platform/registry_key_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {

bool ReadAsFastAsPossible() {
  RegistryKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key.get(), kAsFastAsPossibleValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS)
    return false;
  return type == REG_DWORD && size == sizeof value && value != 0;
}

bool WriteAsFastAsPossible(bool on) {
  RegistryKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD value = on ? 1 : 0;
  return RegSetValueExA(key.get(), kAsFastAsPossibleValueName, 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

}  // namespace lumar
