// Libraries from the system folder only: the loader lumar.scr uses for every library that is not one of
// Windows' known DLLs, and the delay-load hook that routes Direct3D 9, winmm and comctl32 through it.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, whose types it uses
#include <delayimp.h>

#include <string>

#include "platform/system_libraries_win32.h"

namespace lumar {
namespace {

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

std::string SystemFolder() {
  char path[MAX_PATH] = {};
  GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

bool InFolder(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() + 1 &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), static_cast<int>(folder.size()),
                        folder.c_str(), static_cast<int>(folder.size())) == CSTR_EQUAL;
}

std::string SideBySideFolder() {
  char path[MAX_PATH] = {};
  GetWindowsDirectoryA(path, MAX_PATH);
  return std::string(path) + "\\WinSxS";
}

TEST(SystemLibraries, TakesTheLibrariesOfTheSystemFolder) {
  for (const char* name : {"d3d9.dll", "winmm.dll", "MPR.DLL"}) {
    HMODULE library = LoadSystemLibrary(name);
    ASSERT_NE(library, nullptr) << name;
    EXPECT_TRUE(InFolder(ModulePath(library), SystemFolder())) << name << " from " << ModulePath(library);
    FreeLibrary(library);
  }
}

// The manifest (linked into the test programs too) still redirects the common controls to version 6.
TEST(SystemLibraries, KeepsTheCommonControlsOfTheManifest) {
  HMODULE library = LoadSystemLibrary("comctl32.dll");
  ASSERT_NE(library, nullptr);
  EXPECT_TRUE(InFolder(ModulePath(library), SideBySideFolder())) << ModulePath(library);
  FreeLibrary(library);
}

// PASSWORD.CPL (the host tests' stand-in) lies beside the test programs only.
TEST(SystemLibraries, NeverTakesALibraryFromTheProgramsFolder) {
  EXPECT_EQ(LoadSystemLibrary("PASSWORD.CPL"), nullptr);
  // The control: the ordinary search order finds it there.
  HMODULE beside = LoadLibraryA("PASSWORD.CPL");
  ASSERT_NE(beside, nullptr) << "the PASSWORD.CPL stand-in is missing beside the test program";
  FreeLibrary(beside);
}

TEST(SystemLibraries, TheDelayLoadHookLoadsFromTheSystemFolder) {
  DelayLoadInfo info{};
  info.cb = sizeof info;
  info.szDll = "winmm.dll";
  FARPROC loaded = __pfnDliNotifyHook2(dliNotePreLoadLibrary, &info);
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(InFolder(ModulePath(reinterpret_cast<HMODULE>(loaded)), SystemFolder()));
  FreeLibrary(reinterpret_cast<HMODULE>(loaded));

  info.szDll = "PASSWORD.CPL";
  EXPECT_EQ(__pfnDliNotifyHook2(dliNotePreLoadLibrary, &info), nullptr);
  // Other notices are left to the helper.
  info.szDll = "winmm.dll";
  EXPECT_EQ(__pfnDliNotifyHook2(dliNotePreGetProcAddress, &info), nullptr);
  EXPECT_EQ(__pfnDliNotifyHook2(dliNotePreLoadLibrary, nullptr), nullptr);
}

}  // namespace
}  // namespace lumar
