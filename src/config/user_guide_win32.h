// Finding the installed user's guide on this machine.
#pragma once

#include <functional>
#include <string>

namespace lumar {

// The uninstall entry the setup program writes; its "InstallLocation" is the program folder.
constexpr const char kUninstallKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumar";

// The setup's install folder from the uninstall entry (the 64-bit view of the registry), or empty.
std::string InstalledProgramFolder();

// The first candidate of UserGuideCandidates that `fileExists`, for the program at `programPath`; empty
// when there is none.
std::string FindUserGuide(const std::string& programPath, const std::string& installFolder,
                          const std::function<bool(const char* path)>& fileExists);

// The same for the running program and this machine's install folder.
std::string FindUserGuide(const std::function<bool(const char* path)>& fileExists);

}  // namespace lumar
