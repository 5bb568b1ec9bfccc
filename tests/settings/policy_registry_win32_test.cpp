// The administrators' settings read from the (Wine) registry of the test prefix: the secure flag from
// the policy key first, the policy that forbids the desktop picture, the machine's default preset.
#include "settings/policy_registry_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/stored_record_win32.h"
#include "settings/presets.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

struct Place {
  HKEY root;
  const char* path;
};

const Place kUserPolicy{HKEY_CURRENT_USER, kDesktopPolicyKeyPath};
const Place kUserDesktop{HKEY_CURRENT_USER, kUserDesktopKeyPath};
const Place kMachineLumarPolicy{HKEY_LOCAL_MACHINE, kLumarPolicyKeyPath};
const Place kUserLumarPolicy{HKEY_CURRENT_USER, kLumarPolicyKeyPath};
const Place kMachineSettings{HKEY_LOCAL_MACHINE, kSettingsKeyPath};

void Store(const Place& place, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(place.root, place.path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

void StoreString(const Place& place, const char* name, const std::string& text) {
  Store(place, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void StoreDword(const Place& place, const char* name, DWORD number) {
  Store(place, name, REG_DWORD, &number, sizeof number);
}

void Remove(const Place& place, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(place.root, place.path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name);
  RegCloseKey(key);
}

class PolicyRegistry : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    Remove(kUserPolicy, kSaverIsSecureValueName);
    Remove(kUserDesktop, kSaverIsSecureValueName);
    Remove(kMachineLumarPolicy, kNoDesktopPictureValueName);
    Remove(kUserLumarPolicy, kNoDesktopPictureValueName);
    Remove(kMachineSettings, kDefaultPresetValueName);
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
  }
};

TEST_F(PolicyRegistry, TheValueIsReadWholeWhateverItsLength) {
  const std::string longText(3000, 'x');
  StoreString(kUserDesktop, kSaverIsSecureValueName, longText);
  const RegistryValue value =
      QueryRegistryValue(HKEY_CURRENT_USER, kUserDesktopKeyPath, kSaverIsSecureValueName);
  EXPECT_TRUE(value.present);
  EXPECT_EQ(value.type, kRegString);
  EXPECT_EQ(value.bytes.size(), longText.size() + 1);
  EXPECT_FALSE(QueryRegistryValue(HKEY_CURRENT_USER, "Software\\Korvan\\NoSuchKey", "x").present);
}

// Policy first in both directions; the user's own value only where the policy sets nothing.
TEST_F(PolicyRegistry, TheSecureFlagComesFromThePolicyKeyFirst) {
  const struct {
    const char* policy;  // nullptr: absent
    const char* user;
    bool secure;
  } cases[] = {
      {"1", nullptr, true},      {"0", "1", false}, {nullptr, "1", true}, {nullptr, "0", false},
      {nullptr, nullptr, false}, {"", "0", true},   {"10", "0", true},    {"1", "0", true},
  };
  for (const auto& c : cases) {
    Clear();
    if (c.policy) StoreString(kUserPolicy, kSaverIsSecureValueName, c.policy);
    if (c.user) StoreString(kUserDesktop, kSaverIsSecureValueName, c.user);
    EXPECT_EQ(ReadSaverIsSecure(), c.secure)
        << "policy " << (c.policy ? c.policy : "(none)") << ", user " << (c.user ? c.user : "(none)");
  }
  Clear();
  StoreDword(kUserPolicy, kSaverIsSecureValueName, 1);
  EXPECT_TRUE(ReadSaverIsSecure()) << "a DWORD 1";
  StoreDword(kUserPolicy, kSaverIsSecureValueName, 0);
  StoreString(kUserDesktop, kSaverIsSecureValueName, "1");
  EXPECT_FALSE(ReadSaverIsSecure()) << "a DWORD 0";
}

TEST_F(PolicyRegistry, TheMachinePolicyOnTheDesktopPictureOutranksTheUsers) {
  EXPECT_FALSE(DesktopPictureForbidden());
  StoreDword(kUserLumarPolicy, kNoDesktopPictureValueName, 1);
  EXPECT_TRUE(DesktopPictureForbidden());
  StoreDword(kMachineLumarPolicy, kNoDesktopPictureValueName, 0);
  EXPECT_FALSE(DesktopPictureForbidden());
  StoreDword(kMachineLumarPolicy, kNoDesktopPictureValueName, 1);
  Remove(kUserLumarPolicy, kNoDesktopPictureValueName);
  EXPECT_TRUE(DesktopPictureForbidden());
  StoreString(kMachineLumarPolicy, kNoDesktopPictureValueName, "0");  // the wrong type: the safe reading
  EXPECT_TRUE(DesktopPictureForbidden());
}

TEST_F(PolicyRegistry, TheMachineDefaultPresetIsUsedWhereTheUserHasNoSettings) {
  EXPECT_EQ(MachineDefaultPreset(), 0);
  StoreString(kMachineSettings, kDefaultPresetValueName, "Kite");
  EXPECT_EQ(MachineDefaultPreset(), 34);

  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(direct3d, nullptr);
  SettingsState first;
  LoadSettings(first, direct3d);
  EXPECT_EQ(first.settingsWereReset, 1);
  EXPECT_EQ(first.parameters.presetId, 34);
  EXPECT_EQ(MatchPreset(first.parameters), 34);

  // The user's own choice, once made, outranks the machine's.
  ParameterSet own = test::AcceptedRecord();
  own.presetId = 1;
  ApplyPreset(own, 1);
  ASSERT_TRUE(WriteSettings(own));
  SettingsState later;
  LoadSettings(later, direct3d);
  EXPECT_EQ(later.parameters.presetId, 1);

  // A name that is no preset's leaves the built-in defaults.
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
  StoreString(kMachineSettings, kDefaultPresetValueName, "Nonesuch");
  SettingsState plain;
  LoadSettings(plain, direct3d);
  SettingsState defaults;
  ResetToDefaults(defaults);
  EXPECT_EQ(plain.parameters.presetId, defaults.parameters.presetId);
  EXPECT_EQ(MatchPreset(plain.parameters), MatchPreset(defaults.parameters));
  direct3d->Release();
}

}  // namespace
}  // namespace lumar
