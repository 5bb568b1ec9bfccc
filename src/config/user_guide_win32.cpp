// Finding the installed user's guide: beside the running program, then in the setup's install folder.
#include "config/user_guide_win32.h"

#include <windows.h>

#include <vector>

#include "config/user_guide.h"
#include "platform/registry_key_win32.h"

namespace lumar {

std::string InstalledProgramFolder() {
  RegistryKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.out()) !=
      ERROR_SUCCESS)
    return {};
  char folder[MAX_PATH + 1] = {};
  DWORD type = 0;
  DWORD size = MAX_PATH;  // one byte short of the buffer: the text always ends in a NUL
  if (RegQueryValueExA(key.get(), "InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(folder),
                       &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return {};
  return folder;
}

std::string FindUserGuide(const std::string& programPath, const std::string& installFolder,
                          const std::function<bool(const char* path)>& fileExists) {
  for (const std::string& candidate : UserGuideCandidates(programPath, installFolder)) {
    if (fileExists(candidate.c_str())) return candidate;
  }
  return {};
}

std::string FindUserGuide(const std::function<bool(const char* path)>& fileExists) {
  char program[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  const std::string programPath =
      length > 0 && length < MAX_PATH ? std::string(program, length) : std::string();
  return FindUserGuide(programPath, InstalledProgramFolder(), fileExists);
}

}  // namespace lumar
