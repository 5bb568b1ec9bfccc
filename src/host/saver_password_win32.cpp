// Saver password services of the operating system.
#include "host/saver_password_win32.h"

#include "platform/message_box_win32.h"
#include "platform/registry_key_win32.h"
#include "settings/policy_registry_win32.h"

namespace lumar {

void ReadPasswordSettings(bool isWin9x, PasswordSettings& settings) {
  if (!isWin9x) {
    settings.ntSecure = ReadSaverIsSecure() ? 1 : 0;  // the policy first, then the user's own value
    return;
  }
  RegistryKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_READ, nullptr,
                      key.out(), nullptr) != ERROR_SUCCESS)
    return;
  DWORD usePassword = 0;
  DWORD size = sizeof usePassword;
  if (RegQueryValueExA(key.get(), "ScreenSaveUsePassword", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&usePassword), &size) != ERROR_SUCCESS ||
      usePassword == 0)
    return;
  settings.passwordModule = LoadLibraryA("PASSWORD.CPL");
  if (!settings.passwordModule) return;
  settings.verifyPasswordProc = reinterpret_cast<VerifyPasswordProc>(
      reinterpret_cast<void*>(GetProcAddress(settings.passwordModule, "VerifyScreenSavePwd")));
}

void UnloadPasswordLibrary(PasswordSettings& settings) {
  settings.verifyPasswordProc = nullptr;
  if (settings.passwordModule) {
    FreeLibrary(settings.passwordModule);
    settings.passwordModule = nullptr;
  }
}

void RunPasswordChange(HWND parent) {
  using ChangePasswordProc = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved1, PVOID reserved2);
  HMODULE library = LoadLibraryA("MPR.DLL");
  if (!library) {
    ShowMessage("Library MPR.DLL not found", MB_OK);
    return;
  }
  auto change = reinterpret_cast<ChangePasswordProc>(
      reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
  if (!change) {
    FreeLibrary(library);
    ShowMessage("Function PwdChangeProc not found", MB_OK);
    return;
  }
  change("SCRSAVE", parent, 0, nullptr);  // the system's dialog reports its own outcome
  FreeLibrary(library);
}

}  // namespace lumar
