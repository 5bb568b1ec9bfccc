// The administrators' settings: where they live in the registry and how a raw value is read. A policy
// value decides when it is present at all; only an absent one leaves the decision to the next place.
#pragma once

#include <cstdint>
#include <vector>

namespace lumar {

// The program's own key: the user's settings under HKEY_CURRENT_USER, the machine's default under
// HKEY_LOCAL_MACHINE.
constexpr const char* kProgramKeyPath = "Software\\Korvan\\Lumar";

// "Password protect the screen saver" as Group Policy stores it, and the user's own setting below it.
constexpr const char* kDesktopPolicyKeyPath =
    "Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop";
constexpr const char* kUserDesktopKeyPath = "Control Panel\\Desktop";
constexpr const char* kSaverIsSecureValueName = "ScreenSaverIsSecure";

// The program's own policy, under HKEY_LOCAL_MACHINE first and then HKEY_CURRENT_USER: a DWORD other
// than 0 forbids the desktop picture (the full-screen run shows Sky instead, as a secure saver does).
constexpr const char* kLumarPolicyKeyPath = "Software\\Policies\\Korvan\\Lumar";
constexpr const char* kNoDesktopPictureValueName = "NoDesktopPicture";

// The machine-wide default look, under HKEY_LOCAL_MACHINE kProgramKeyPath (written by setup's /PRESET): the
// name of a preset, used where the user has no settings of their own.
constexpr const char* kDefaultPresetValueName = "DefaultPreset";

// The configuration dialog's live preview pane, a DWORD beside the user's settings (HKEY_CURRENT_USER
// kProgramKeyPath) and, for every user without one, under HKEY_LOCAL_MACHINE kProgramKeyPath: 0 opens the
// dialog without the pane (a slow computer), any other value or none with it. Read as a switch policy.
constexpr const char* kPreviewPaneValueName = "PreviewPane";

// The registry's value types, as stored.
constexpr uint32_t kRegString = 1;        // REG_SZ
constexpr uint32_t kRegExpandString = 2;  // REG_EXPAND_SZ
constexpr uint32_t kRegDword = 4;         // REG_DWORD

// One value as the registry holds it.
struct RegistryValue {
  bool present = false;
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
};

enum class PolicySetting { NotSet, Off, On };

// "ScreenSaverIsSecure" under the policy key: the string "0" (or a DWORD 0) turns it off; any other value
// that is present turns it on, empty, "10", a number of another type and unreadable data included (an
// administrator meant something: the safe reading). Absent: NotSet.
PolicySetting ReadSecurePolicy(const RegistryValue& value);

// "ScreenSaverIsSecure" in the user's own key, read as Windows' saver library has always read it: up to
// three characters; secure unless it is "0"; a longer value counts as unreadable, so not secure.
bool ReadUserSecureValue(const RegistryValue& value);

// A switch policy (NoDesktopPicture): a DWORD 0 is Off, any other DWORD On; present with any other type
// or size it is On, the safe reading; absent NotSet.
PolicySetting ReadSwitchPolicy(const RegistryValue& value);

// The first place that sets something decides; `fallback` where none does.
bool Decide(PolicySetting first, bool fallback);
bool Decide(PolicySetting first, PolicySetting second, bool fallback);

// The text of a string value up to its first NUL (or its end); empty for other types.
std::vector<char> StringText(const RegistryValue& value);

// The id of the named preset, matched exactly as the preset list spells it; 0 for no such name.
int PresetIdByName(const char* name);

}  // namespace lumar
