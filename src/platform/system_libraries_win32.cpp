#include "platform/system_libraries_win32.h"

#include <delayimp.h>

namespace lumar {

bool RestrictLibrarySearchToSystemFolder() {
  // Looked up, not imported: an unpatched Windows 7 would refuse to start a program importing it.
  using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void*>(
                                 GetProcAddress(kernel, "SetDefaultDllDirectories")))
                           : nullptr;
  return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name) {
  return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

namespace {

// The delay-load helper asks before it loads a library; the module we return is the one it uses.
FARPROC WINAPI LoadDelayedLibrary(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(info->szDll));
}

}  // namespace

}  // namespace lumar

// The delay-load helper's hook (a C name the MinGW-w64 runtime reads; delayimp.h declares it). Defined here, so the runtime's
// empty default is not linked into lumar.scr, which pulls in this file by calling
// RestrictLibrarySearchToSystemFolder.
PfnDliHook __pfnDliNotifyHook2 = lumar::LoadDelayedLibrary;
