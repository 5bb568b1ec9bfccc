// The desktop snapshot against the real screen of the test's X display: a window painted with a known
// pattern covers the screen, and the snapshot must hold it where the copies put it.
#include "render/desktop_snapshot_win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/test_window_win32.h"

namespace lumar {
namespace {

constexpr COLORREF kBackground = RGB(200, 30, 30);
constexpr COLORREF kMarker = RGB(20, 40, 220);  // a 64 x 64 square at the screen's top-left corner

LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT all;
    GetClientRect(window, &all);
    HBRUSH background = CreateSolidBrush(kBackground);
    HBRUSH marker = CreateSolidBrush(kMarker);
    FillRect(dc, &all, background);
    RECT corner{0, 0, 64, 64};
    FillRect(dc, &corner, marker);
    DeleteObject(marker);
    DeleteObject(background);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class PatternWindow {
 public:
  PatternWindow()
      : window_("LumarSnapshotPattern", PatternProc, WS_EX_TOPMOST, GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN)) {
    UpdateWindow(window_.get());
    // Let the X server map and paint the window before anything reads the screen.
    for (int i = 0; i < 20; ++i) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      Sleep(25);
    }
  }
  HWND get() const { return window_.get(); }

 private:
  TestWindow window_;
};

// The colour of the picture's pixel (x, y), y from the top, in a bottom-up 32-bit snapshot copy.
COLORREF PixelAt(const std::vector<uint32_t>& rows, int s, int x, int y) {
  const uint32_t p = rows[static_cast<std::size_t>(s - 1 - y) * s + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST(DesktopSnapshot, HoldsTheScreenAndRepeatsItBelow) {
  PatternWindow pattern;
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
  PatternWindow pattern;
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
  PatternWindow pattern;
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

}  // namespace
}  // namespace lumar
