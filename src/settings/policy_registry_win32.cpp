// The administrators' settings read from the registry.
#include "settings/policy_registry_win32.h"

#include "platform/registry_key_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {

RegistryValue QueryRegistryValue(HKEY root, const char* path, const char* name) {
  RegistryValue value;
  RegistryKey key;
  if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) return value;
  // The value may grow between the two calls: ask again with the new size.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.bytes.assign(size, 0);
    const LONG read = RegQueryValueExA(key.get(), name, nullptr, &type,
                                       value.bytes.empty() ? nullptr : value.bytes.data(), &size);
    if (read == ERROR_MORE_DATA) continue;
    if (read != ERROR_SUCCESS) break;
    value.bytes.resize(size);
    value.present = true;
    value.type = type;
    return value;
  }
  value.bytes.clear();
  return value;
}

bool ReadSaverIsSecure() {
  const PolicySetting policy =
      ReadSecurePolicy(QueryRegistryValue(HKEY_CURRENT_USER, kDesktopPolicyKeyPath, kSaverIsSecureValueName));
  return Decide(policy, ReadUserSecureValue(QueryRegistryValue(HKEY_CURRENT_USER, kUserDesktopKeyPath,
                                                               kSaverIsSecureValueName)));
}

bool DesktopPictureForbidden() {
  const PolicySetting machine = ReadSwitchPolicy(
      QueryRegistryValue(HKEY_LOCAL_MACHINE, kLumarPolicyKeyPath, kNoDesktopPictureValueName));
  const PolicySetting user = ReadSwitchPolicy(
      QueryRegistryValue(HKEY_CURRENT_USER, kLumarPolicyKeyPath, kNoDesktopPictureValueName));
  return Decide(machine, user, false);
}

int MachineDefaultPreset() {
  const RegistryValue value =
      QueryRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kDefaultPresetValueName);
  std::vector<char> name = StringText(value);
  name.push_back('\0');
  return PresetIdByName(name.data());
}

bool PreviewPaneWanted() {
  const PolicySetting user =
      ReadSwitchPolicy(QueryRegistryValue(HKEY_CURRENT_USER, kSettingsKeyPath, kPreviewPaneValueName));
  const PolicySetting machine =
      ReadSwitchPolicy(QueryRegistryValue(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kPreviewPaneValueName));
  return Decide(user, machine, true);
}

}  // namespace lumar
