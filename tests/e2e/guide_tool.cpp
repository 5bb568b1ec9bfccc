// Prints the user's guide the configuration dialog's link button opens for a program at the given path
// (lumar.scr's own lookup: beside the program, then the setup's install folder); prints "none" and exits 1
// when none exists, so that a tool which failed (and printed nothing) is never read as "none found".
//   guide_tool <path of lumar.scr>
#include <windows.h>

#include <cstdio>

#include "config/user_guide_win32.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: guide_tool <path of lumar.scr>\n");
    return 2;
  }
  const std::string guide =
      lumar::FindUserGuide(argv[1], lumar::InstalledProgramFolder(), [](const char* path) {
        const DWORD attributes = GetFileAttributesA(path);
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
      });
  if (guide.empty()) {
    std::printf("none\n");
    return 1;
  }
  std::printf("%s\n", guide.c_str());
  return 0;
}
