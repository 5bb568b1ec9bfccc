// The desktop snapshot against the real screen of the test's X display: a window painted with a known
// pattern covers the screen, and the snapshot must hold it where the copies put it.
#include "render/desktop_snapshot_win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "render/pattern_window_win32.h"
#include "wavefield/run_setup.h"

namespace lumar {
namespace {

constexpr COLORREF kBackground = RGB(200, 30, 30);
constexpr COLORREF kMarker = RGB(20, 40, 220);  // a 64 x 64 square at the screen's top-left corner

// The background with the marker; `corners` adds squares of their own colours at the other three corners.
class PatternScreen : public test::PatternWindow {
 public:
  explicit PatternScreen(bool corners = false)
      : PatternWindow([corners](HDC dc, int w, int h) {
          test::FillRectangle(dc, 0, 0, w, h, kBackground);
          test::FillRectangle(dc, 0, 0, 64, 64, kMarker);
          if (!corners) return;
          test::FillRectangle(dc, w - 64, 0, w, 64, kTopRight);
          test::FillRectangle(dc, 0, h - 64, 64, h, kBottomLeft);
          test::FillRectangle(dc, w - 64, h - 64, w, h, kBottomRight);
        }) {}
  static constexpr COLORREF kTopRight = RGB(30, 220, 30);
  static constexpr COLORREF kBottomLeft = RGB(240, 240, 20);
  static constexpr COLORREF kBottomRight = RGB(250, 250, 250);
};

// The colour of the picture's pixel (x, y), y from the top, in a bottom-up 32-bit snapshot copy.
COLORREF PixelAt(const std::vector<uint32_t>& rows, int s, int x, int y) {
  const uint32_t p = rows[static_cast<std::size_t>(s - 1 - y) * s + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST(DesktopSnapshot, HoldsTheScreenAndRepeatsItBelow) {
  PatternScreen pattern;
  ASSERT_NE(pattern.get(), nullptr);
  const int w = GetSystemMetrics(SM_CXSCREEN);
  const int h = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_EQ(w, 1024);  // the test display
  ASSERT_EQ(h, 768);
  DesktopSnapshot snapshot;
  ASSERT_TRUE(snapshot.Take(1024, w, h, 32));
  ASSERT_TRUE(snapshot.taken());
  std::vector<uint32_t> rows(1024 * 1024, 0);
  ASSERT_EQ(snapshot.CopyRows(rows.data(), 1024 * 4), 1024);
  EXPECT_EQ(PixelAt(rows, 1024, 10, 10), kMarker);
  EXPECT_EQ(PixelAt(rows, 1024, 100, 10), kBackground);
  EXPECT_EQ(PixelAt(rows, 1024, 1000, 700), kBackground);
  // The strip below the screen repeats the screen's top lines: the marker again at y = 768.
  EXPECT_EQ(PixelAt(rows, 1024, 10, 768 + 10), kMarker);
  EXPECT_EQ(PixelAt(rows, 1024, 10, 768 + 100), kBackground);
}

TEST(DesktopSnapshot, CopiesHonourTheDestinationPitchAnd16Bits) {
  PatternScreen pattern;
  DesktopSnapshot snapshot;
  ASSERT_TRUE(snapshot.Take(1024, 1024, 768, 16));
  const int pitch = 1024 * 2 + 64;  // wider rows than the picture, as a locked texture may have
  std::vector<uint8_t> rows(static_cast<std::size_t>(pitch) * 1024, 0xEE);
  ASSERT_EQ(snapshot.CopyRows(rows.data(), pitch), 1024);
  for (int row = 0; row < 1024; row += 97) {
    for (int pad = 2048; pad < pitch; ++pad)
      ASSERT_EQ(rows[static_cast<std::size_t>(row) * pitch + pad], 0xEE) << "row " << row;
  }
  // Top-left pixel of the screen is the last row's first pixel: blue marker in 5-5-5.
  const std::size_t top = static_cast<std::size_t>(1023) * pitch;
  const uint16_t p = static_cast<uint16_t>(rows[top] | rows[top + 1] << 8);
  EXPECT_GT(p & 0x1F, 20);         // strong blue
  EXPECT_LT((p >> 10) & 0x1F, 8);  // little red
}

TEST(DesktopSnapshot, LargerScreenThanSquareIsCutAndReleaseIsRepeatable) {
  PatternScreen pattern;
  DesktopSnapshot snapshot;
  ASSERT_TRUE(snapshot.Take(512, 1024, 768, 32));  // no negative copies
  std::vector<uint32_t> rows(512 * 512, 0);
  ASSERT_EQ(snapshot.CopyRows(rows.data(), 512 * 4), 512);
  EXPECT_EQ(PixelAt(rows, 512, 10, 10), kMarker);
  EXPECT_EQ(PixelAt(rows, 512, 500, 500), kBackground);
  HBITMAP bitmap = snapshot.snapshotBitmap();
  snapshot.Release();
  EXPECT_FALSE(snapshot.taken());
  EXPECT_EQ(GetObjectType(bitmap), 0u);  // really deleted
  snapshot.Release();
  EXPECT_EQ(snapshot.CopyRows(rows.data(), 512 * 4), 0);
}

// A monitor other than the primary photographs its own part of the desktop: here the screen's bottom-right
// 320 x 240, whose top-left is background and whose bottom-right corner is the pattern's; the rest of the
// square repeats that part in tiles, never the screen's marker or pixels beyond the part.
TEST(DesktopSnapshot, AnOriginTakesThatPartOfTheScreen) {
  PatternScreen pattern(true);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  DesktopSnapshot snapshot;
  ASSERT_TRUE(snapshot.Take(1024, 320, 240, 32, w - 320, h - 240));
  std::vector<uint32_t> rows(1024 * 1024, 0);
  ASSERT_EQ(snapshot.CopyRows(rows.data(), 1024 * 4), 1024);
  EXPECT_EQ(PixelAt(rows, 1024, 10, 10), kBackground);
  EXPECT_EQ(PixelAt(rows, 1024, 310, 230), PatternScreen::kBottomRight);
  EXPECT_EQ(PixelAt(rows, 1024, 310, 240 + 230), PatternScreen::kBottomRight);
  EXPECT_EQ(PixelAt(rows, 1024, 320 + 10, 10), kBackground);
  EXPECT_EQ(PixelAt(rows, 1024, 640 + 310, 720 + 230), PatternScreen::kBottomRight);
  EXPECT_EQ(PixelAt(rows, 1024, 1020, 1020), kBackground);
}

// The square the run set-up picks for the desktop of the test's display, with the Desktop picture.
int SquareForThisDesktop() {
  SettingsState settings;
  ResetToDefaults(settings);
  ParameterSet& record = settings.parameters;
  record.texture = kTextureDesktop;
  record.screenWidth = 1024;
  record.screenHeight = 768;
  auto field = std::make_unique<WaveField>();
  const DesktopSize desktop{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (PrepareWaveField(*field, record, desktop, [](const char*) { return false; }) != SetupResult::Ok)
    return 0;
  return field->constants.pictureTextureSize;
}

// Larger desktops than the shared test display: CTest runs this in sessions of 1280 x 1024 and
// 3840 x 2160. The square is 2048 for the first (wider than 1024), 4096 for the second, which holds the
// whole desktop; the strips right of and below the screen start again with its top-left corner.
TEST(DesktopSnapshotLargeScreen, TheSquareHoldsTheWholeDesktopAndRepeatsItsCorner) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  int expected = 0;
  if (w == 1280 && h == 1024) expected = 2048;
  if (w == 3840 && h == 2160) expected = 4096;
  if (expected == 0) GTEST_SKIP() << "needs a 1280 x 1024 or 3840 x 2160 display";
  PatternScreen pattern(true);
  const int s = SquareForThisDesktop();
  ASSERT_EQ(s, expected);
  DesktopSnapshot snapshot;
  ASSERT_TRUE(snapshot.Take(s, w, h, 32));
  std::vector<uint32_t> rows(static_cast<std::size_t>(s) * s, 0);
  ASSERT_EQ(snapshot.CopyRows(rows.data(), s * 4), s);
  // The screen itself, all four corners.
  EXPECT_EQ(PixelAt(rows, s, 10, 10), kMarker);
  EXPECT_EQ(PixelAt(rows, s, w - 10, 10), PatternScreen::kTopRight);
  EXPECT_EQ(PixelAt(rows, s, 10, h - 10), PatternScreen::kBottomLeft);
  EXPECT_EQ(PixelAt(rows, s, w - 10, h - 10), PatternScreen::kBottomRight);
  EXPECT_EQ(PixelAt(rows, s, w / 2, h / 2), kBackground);
  // Right strip, strip below and corner.
  EXPECT_EQ(PixelAt(rows, s, w + 10, 10), kMarker);
  EXPECT_EQ(PixelAt(rows, s, w + 100, 10), kBackground);
  EXPECT_EQ(PixelAt(rows, s, 10, h + 10), kMarker);
  EXPECT_EQ(PixelAt(rows, s, w + 10, h + 10), kMarker);
  EXPECT_EQ(PixelAt(rows, s, s - 1, s - 1), kBackground);
}

}  // namespace
}  // namespace lumar
