#include "config/user_guide.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumar {
namespace {

TEST(UserGuide, BesideTheProgramThenInTheInstallFolder) {
  using List = std::vector<std::string>;
  const struct {
    const char* program;
    const char* installFolder;
    List expected;
  } cases[] = {
      // The setup: lumar.scr in the system folder, the guide in the program folder.
      {"C:\\Windows\\System32\\lumar.scr",
       "C:\\Program Files\\Lumar",
       {"C:\\Windows\\System32\\lumar-guide.html", "C:\\Program Files\\Lumar\\lumar-guide.html"}},
      // The zip, unpacked anywhere, nothing installed.
      {"D:\\Downloads\\lumar\\lumar.scr", "", {"D:\\Downloads\\lumar\\lumar-guide.html"}},
      // Run from the install folder itself: one candidate, whatever the case and the trailing slash.
      {"C:\\Program Files\\Lumar\\lumar.scr",
       "c:\\program files\\lumar\\",
       {"C:\\Program Files\\Lumar\\lumar-guide.html"}},
      {"C:/Lumar/lumar.scr", "C:\\Lumar", {"C:/Lumar\\lumar-guide.html"}},
      // No program path (it could not be had): the install folder alone.
      {"", "C:\\Program Files\\Lumar", {"C:\\Program Files\\Lumar\\lumar-guide.html"}},
      {"lumar.scr", "C:\\Program Files\\Lumar\\\\", {"C:\\Program Files\\Lumar\\lumar-guide.html"}},
      // A program at a drive's root.
      {"E:\\lumar.scr", "", {"E:\\lumar-guide.html"}},
      {"", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UserGuideCandidates(c.program, c.installFolder), c.expected)
        << "program '" << c.program << "', install folder '" << c.installFolder << "'";
  }
}

}  // namespace
}  // namespace lumar
