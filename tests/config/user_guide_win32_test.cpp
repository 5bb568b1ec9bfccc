// The user's guide found on this (Wine) machine: real files, the real uninstall entry.
#include "config/user_guide_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "config/user_guide.h"

namespace lumar {
namespace {

bool Exists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string MakeFolder(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

void Touch(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  CloseHandle(file);
}

TEST(UserGuideOnThisMachine, TheFirstExistingCandidateWins) {
  const std::string beside = MakeFolder("lumar-guide-beside");
  const std::string installed = MakeFolder("lumar-guide-installed");
  const std::string program = beside + "\\lumar.scr";
  const std::string besideGuide = beside + "\\" + kUserGuideFile;
  const std::string installedGuide = installed + "\\" + kUserGuideFile;
  DeleteFileA(besideGuide.c_str());
  DeleteFileA(installedGuide.c_str());

  EXPECT_EQ(FindUserGuide(program, installed, Exists), "");
  Touch(installedGuide);
  EXPECT_EQ(FindUserGuide(program, installed, Exists), installedGuide);
  Touch(besideGuide);
  EXPECT_EQ(FindUserGuide(program, installed, Exists), besideGuide);
  // A folder of that name is no guide.
  DeleteFileA(besideGuide.c_str());
  CreateDirectoryA(besideGuide.c_str(), nullptr);
  EXPECT_EQ(FindUserGuide(program, installed, Exists), installedGuide);

  RemoveDirectoryA(besideGuide.c_str());
  DeleteFileA(installedGuide.c_str());
  RemoveDirectoryA(beside.c_str());
  RemoveDirectoryA(installed.c_str());
}

TEST(UserGuideOnThisMachine, InstallFolderIsTheUninstallEntrysLocation) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, nullptr, 0,
                            KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char folder[] = "C:\\Program Files\\Lumar";
  RegSetValueExA(key, "InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder);
  EXPECT_EQ(InstalledProgramFolder(), folder);
  RegDeleteValueA(key, "InstallLocation");
  EXPECT_EQ(InstalledProgramFolder(), "");
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKeyPath);
  EXPECT_EQ(InstalledProgramFolder(), "");
}

}  // namespace
}  // namespace lumar
