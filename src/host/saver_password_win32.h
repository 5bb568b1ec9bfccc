// The operating system's saver password: the Windows 9x check through PASSWORD.CPL, the NT "secure"
// flag, and the password change through MPR.DLL. Both libraries are loaded by name at run time.
#pragma once

#include <windows.h>

namespace lumar {

using VerifyPasswordProc = BOOL(WINAPI*)(HWND window);

struct PasswordSettings {
  VerifyPasswordProc verifyPasswordProc = nullptr;  // set only while a 9x password is in force
  HMODULE passwordModule = nullptr;                 // PASSWORD.CPL, kept until the app closes
  int ntSecure = 0;
};

// On Windows 9x reads HKCU "Control Panel\Desktop" "ScreenSaveUsePassword" (loading PASSWORD.CPL when
// set); on NT "ScreenSaverIsSecure", from the policy key first (ReadSaverIsSecure). Every failure of
// the user's own value means no password is in force.
void ReadPasswordSettings(bool isWin9x, PasswordSettings& settings);

// Unloads PASSWORD.CPL if it was loaded.
void UnloadPasswordLibrary(PasswordSettings& settings);

// The password-change mode: MPR.DLL's PwdChangePasswordA("SCRSAVE", parent, 0, 0), or its messages.
void RunPasswordChange(HWND parent);

}  // namespace lumar
