#include "platform/system_libraries_win32.h"

#include <delayimp.h>

namespace lumar {

bool RestrictLibrarySearchToSystemFolder() {
  // Looked up, not imported: an unpatched Windows 7 would refuse to start a program importing it.
  using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesProc>(
                                 reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                           : nullptr;
  return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name) {
  if (HMODULE library = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return library;
  // Windows 7 without its loader update rejects the flag: the full path says the same.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  char path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH) return nullptr;
  lstrcatA(path, "\\");
  lstrcatA(path, name);
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

namespace {

// The delay-load helper asks before it loads a library; the module we return is the one it uses.
FARPROC WINAPI LoadDelayedLibrary(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(info->szDll));
}

}  // namespace

}  // namespace lumar

// The delay-load helper's hook, a C name that the MinGW-w64 runtime reads (delayimp.h declares it).
// Defined here, so the runtime's empty default is not linked into lumar.scr, which pulls in this file by
// calling RestrictLibrarySearchToSystemFolder.
#ifdef _MSC_VER
const PfnDliHook __pfnDliNotifyHook2 = lumar::LoadDelayedLibrary;  // the Windows SDK declares it const
#else
PfnDliHook __pfnDliNotifyHook2 = lumar::LoadDelayedLibrary;
#endif
