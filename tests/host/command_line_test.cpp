#include "host/command_line.h"

#include <gtest/gtest.h>

#include "host/saver_input.h"

namespace lumar {
namespace {

TEST(CommandLine, SwitchLetterPicksTheMode) {
  EXPECT_EQ(ParseCommandLine("/c:1234").mode, ScreenSaverMode::Configure);
  EXPECT_EQ(ParseCommandLine("-C").mode, ScreenSaverMode::Configure);
  EXPECT_EQ(ParseCommandLine("c").mode, ScreenSaverMode::Configure);
  EXPECT_EQ(ParseCommandLine("/P 5").mode, ScreenSaverMode::Preview);
  EXPECT_EQ(ParseCommandLine("/a 5").mode, ScreenSaverMode::ChangePassword);
  EXPECT_EQ(ParseCommandLine("A").mode, ScreenSaverMode::ChangePassword);
  for (const char* saver : {"/s", "-S", "s", "x", "/", "-", "--c", " /c", "/S:123", " s", "\t/s"}) {
    EXPECT_EQ(ParseCommandLine(saver).mode, ScreenSaverMode::Saver) << '"' << saver << '"';
  }
  // No arguments at all, as Windows' "Configure" starts a saver: the dialog, with no owner of its own.
  for (const char* nothing : {"", " ", "\t", "  \r\n"}) {
    const CommandLine parsed = ParseCommandLine(nothing);
    EXPECT_EQ(parsed.mode, ScreenSaverMode::Configure) << '"' << nothing << '"';
    EXPECT_EQ(parsed.parentWindow, 0u);
  }
  // Only the letter counts: a longer word still picks by its first letter.
  EXPECT_EQ(ParseCommandLine("/config").mode, ScreenSaverMode::Configure);
}

TEST(CommandLine, ParentWindowIsTheLow16BitsOfTheNextWord) {
  EXPECT_EQ(ParseCommandLine("/p 655370").parentWindow, 10u);
  EXPECT_EQ(ParseCommandLine("/p 1234").parentWindow, 1234u);
  EXPECT_EQ(ParseCommandLine("/p\t 65535").parentWindow, 65535u);
  EXPECT_EQ(ParseCommandLine("/a 131072").parentWindow, 0u);
  EXPECT_EQ(ParseCommandLine("/p 12abc").parentWindow, 12u);  // atol stops at the first non-digit
  EXPECT_EQ(ParseCommandLine("/p").parentWindow, 0u);
  EXPECT_EQ(ParseCommandLine("/p:1234").parentWindow, 0u);  // no second word
  EXPECT_EQ(ParseCommandLine("/p -1").parentWindow, 0xFFFFu);
  EXPECT_EQ(ParseCommandLine("/p 99999999999999999999999").parentWindow, 0xFFFFu);  // clamps, no overflow
  // The full-screen and configure modes take no parent.
  EXPECT_EQ(ParseCommandLine("/s 1234").parentWindow, 0u);
}

TEST(SaverInput, SixthNewPositionDismisses) {
  SaverInput input;
  // The first message counts even at (0, 0): the starting position is (-1, -1).
  EXPECT_FALSE(input.MouseMovedTo(0, 0));
  EXPECT_FALSE(input.MouseMovedTo(0, 0));  // same place: not counted
  EXPECT_FALSE(input.MouseMovedTo(1, 0));
  EXPECT_FALSE(input.MouseMovedTo(1, 1));
  EXPECT_FALSE(input.MouseMovedTo(2, 1));
  EXPECT_FALSE(input.MouseMovedTo(2, 2));
  EXPECT_EQ(input.mouseMoveCount(), 5u);
  EXPECT_TRUE(input.MouseMovedTo(3, 2));
}

TEST(SaverInput, ResetKeepsTheLastPosition) {
  SaverInput input;
  for (int16_t i = 0; i < 4; ++i) input.MouseMovedTo(i, -i);
  input.ResetMoveCount();
  EXPECT_FALSE(input.MouseMovedTo(3, -3));  // where it was: not a move
  EXPECT_EQ(input.mouseMoveCount(), 0u);
  for (int16_t i = 10; i < 15; ++i) EXPECT_FALSE(input.MouseMovedTo(i, i));
  EXPECT_TRUE(input.MouseMovedTo(-1, -1));  // the starting position is an ordinary place afterwards
}

}  // namespace
}  // namespace lumar
