#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, whose types it uses
#include <mmsystem.h>

#include <string>

#include "platform/file_lookup_win32.h"
#include "platform/multimedia_clock_win32.h"

namespace lumar {
namespace {

TEST(MultimediaClock, FollowsTheMultimediaTimer) {
  const uint32_t period = RequestFinestTimerPeriod();
  EXPECT_GE(period, 1u);
  MultimediaClock clock;
  const uint32_t before = clock.Now();
  Sleep(60);
  const uint32_t elapsed = clock.Now() - before;
  EXPECT_GE(elapsed, 40u);
  EXPECT_LT(elapsed, 5000u);
  if (period != 0) timeEndPeriod(period);
}

std::string TempDirectory() {
  char buffer[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, buffer);
  return buffer;
}

TEST(PictureFileExists, FindsFilesButNotDirectoriesOrPatterns) {
  const std::string directory = TempDirectory();
  char path[MAX_PATH] = {};
  ASSERT_NE(GetTempFileNameA(directory.c_str(), "lum", 0, path), 0u);
  EXPECT_TRUE(PictureFileExists(path));
  EXPECT_FALSE(PictureFileExists((directory + "*").c_str()));
  EXPECT_FALSE(PictureFileExists((directory + "lum?*.tmp").c_str()));
  std::string folder = directory;
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  EXPECT_FALSE(PictureFileExists(folder.c_str()));
  ASSERT_TRUE(DeleteFileA(path));
  EXPECT_FALSE(PictureFileExists(path));
  EXPECT_FALSE(PictureFileExists(""));
  EXPECT_FALSE(PictureFileExists(nullptr));
}

}  // namespace
}  // namespace lumar
