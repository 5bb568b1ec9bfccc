// The administrators' settings read from the registry: the saver's "secure" flag (policy first), the
// policy that forbids the desktop picture, and the machine's default preset.
#pragma once

#include <windows.h>

#include "settings/policy.h"

namespace lumar {

// The value `name` of `root`\`path`, whatever its type and length; not present when the key or the value
// is missing or cannot be read.
RegistryValue QueryRegistryValue(HKEY root, const char* path, const char* name);

// "ScreenSaverIsSecure" from the user's policy key, and from the user's own key only where the policy
// sets nothing.
bool ReadSaverIsSecure();

// "NoDesktopPicture" from the machine's policy key, and from the user's where the machine sets nothing.
bool DesktopPictureForbidden();

// The id of the preset named by HKEY_LOCAL_MACHINE "Software\Korvan\Lumar" "DefaultPreset"; 0 when none
// is named or the name is no preset's.
int MachineDefaultPreset();

// Whether the configuration dialog shows its live preview pane: "PreviewPane" of the user's key, else of
// the machine's, else yes.
bool PreviewPaneWanted();

}  // namespace lumar
