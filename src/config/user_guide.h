// Where the link button looks for the user's guide: lumar-guide.html beside the program (the zip) or in
// the folder the setup program installed (lumar.scr itself goes into the system folder).
#pragma once

#include <string>
#include <vector>

namespace lumar {

constexpr const char kUserGuideFile[] = "lumar-guide.html";

// The tooltip of the link button.
constexpr const char kUserGuideTooltip[] = "Lumar user's guide";

// Shown when no candidate exists: the button never opens an address that leads nowhere.
constexpr const char kUserGuideMissing[] =
    "The user's guide (lumar-guide.html) was not found beside lumar.scr or in Lumar's program folder. "
    "Install Lumar with its setup program, or keep lumar-guide.html beside lumar.scr.";

// The paths to try, in order: the folder of `programPath` (the full path of the running program), then
// `installFolder` (the setup's install location; empty when none). A folder that is empty, or the same
// as the one before it (letter case and a trailing separator aside), gives no candidate.
std::vector<std::string> UserGuideCandidates(const std::string& programPath,
                                             const std::string& installFolder);

}  // namespace lumar
