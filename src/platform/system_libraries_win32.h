// Libraries come from the Windows system folder only, never from the folder lumar.scr runs from (a
// download folder may hold a planted d3d9.dll or winmm.dll).
//
// lumar.scr imports statically only Windows' known DLLs, which the loader always takes from the system
// folder. Direct3D 9, the multimedia timer and the common controls are delay-loaded (cmake/delayload):
// the first call into one of them loads it through the hook of system_libraries_win32.cpp, with
// LoadLibraryExA(LOAD_LIBRARY_SEARCH_SYSTEM32). The common controls keep their version 6 from the
// manifest, which the loader applies to every load by name.
#pragma once

#include <windows.h>

namespace lumar {

// Called first thing at start: every later load by bare name (LoadLibraryA("MPR.DLL")...) searches the
// system folder only. False where the system lacks the call (Windows 7 without its loader update).
bool RestrictLibrarySearchToSystemFolder();

// The library of that name from the system folder, or null.
HMODULE LoadSystemLibrary(const char* name);

}  // namespace lumar
