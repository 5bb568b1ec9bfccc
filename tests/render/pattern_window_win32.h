// A topmost window over the whole screen, painted with a known picture, so that screen captures under
// the test's X display have something definite to find.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "render/test_window_win32.h"

namespace lumar::test {

// Paints a client area of width x height into `dc`.
using ScreenPainter = std::function<void(HDC dc, int width, int height)>;

class PatternWindow {
 public:
  explicit PatternWindow(ScreenPainter painter)
      : painter_(std::move(painter)),
        window_("LumarTestPattern", Procedure, WS_EX_TOPMOST, GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN)) {
    SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    InvalidateRect(window_.get(), nullptr, TRUE);
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
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
      auto* self = reinterpret_cast<PatternWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT all;
      GetClientRect(window, &all);
      if (self) self->painter_(dc, all.right, all.bottom);
      EndPaint(window, &paint);
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  ScreenPainter painter_;
  TestWindow window_;
};

inline void FillRectangle(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  RECT r{left, top, right, bottom};
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace lumar::test
