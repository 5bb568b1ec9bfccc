// The screen-saver command line: which run mode Windows asked for, and the parent window of the
// preview and password-change modes.
#pragma once

#include <cstdint>
#include <string>

namespace lumar {

enum class ScreenSaverMode { Configure, ChangePassword, Preview, Saver };

struct CommandLine {
  ScreenSaverMode mode = ScreenSaverMode::Saver;
  // The word after the switch, as atol reads it, cut to its low 16 bits (the window handle value).
  uint32_t parentWindow = 0;
};

// `arguments` is the text after the program name. An empty (or all blank) text opens the configuration
// dialog, as "/c" does. Otherwise an optional leading "-" or "/" is skipped and the next character alone
// picks the mode ("c"/"C", "p"/"P", "a"/"A", anything else full screen).
CommandLine ParseCommandLine(const std::string& arguments);

}  // namespace lumar
