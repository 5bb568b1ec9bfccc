// The preview on a scaled desktop: the control panel's preview area grows with the screen's DPI, and the
// preview's child window and its device's picture must fill it, whatever the scale. Run at 144 dpi by the
// preview_at_144_dpi test (LUMAR_EXPECT_DPI checks that the session really is scaled) and at 96 with the
// other host tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/saver_app_win32.h"
#include "platform/message_box_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

void IgnoreMessage(const char*, UINT) {}

TEST(PreviewDpi, ThePreviewFillsItsAreaAtTheScreensDpi) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (const char* expected = std::getenv("LUMAR_EXPECT_DPI")) {
    ASSERT_EQ(dpi, std::atoi(expected));
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
  const MessageSink previous = SetMessageSink(IgnoreMessage);
  // The control panel's monitor picture: 152 x 112 at 96 dpi, scaled with the desktop.
  const int width = MulDiv(152, dpi, 96), height = MulDiv(112, dpi, 96);
  HWND area = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 40, 40, width, height, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(area, nullptr);
  {
    ManualClock clock(5000);
    SaverApp app(GetModuleHandleA(nullptr), clock);
    ASSERT_TRUE(app.StartUp("/p " + std::to_string(reinterpret_cast<uintptr_t>(area))));
    HWND preview = app.mainWindow();
    EXPECT_EQ(GetParent(preview), area);
    RECT inside{}, own{};
    GetClientRect(area, &inside);
    GetWindowRect(preview, &own);
    MapWindowPoints(nullptr, area, reinterpret_cast<POINT*>(&own), 2);
    EXPECT_TRUE(EqualRect(&own, &inside))
        << own.left << "," << own.top << " " << own.right << "x" << own.bottom << " in " << inside.right
        << "x" << inside.bottom << " at " << dpi;
    // The device's picture is the window's size: nothing of the area is left grey or cut off.
    IDirect3DSurface9* back = nullptr;
    ASSERT_TRUE(SUCCEEDED(app.renderer()->device()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)));
    D3DSURFACE_DESC description{};
    back->GetDesc(&description);
    back->Release();
    EXPECT_EQ(static_cast<int>(description.Width), width);
    EXPECT_EQ(static_cast<int>(description.Height), height);
    clock.Advance(40);
    app.FrameStep();
    EXPECT_EQ(app.renderer()->framesDrawn(), 1u);
    DestroyWindow(area);  // the control panel closes: the preview ends
    app.HandleRecorded();
    EXPECT_TRUE(app.runEnded());
    app.Close();
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  SetMessageSink(previous);
}

}  // namespace
}  // namespace lumar
