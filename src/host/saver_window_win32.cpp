// The window procedure of every screen: it only records; the loop acts between frames.
#include "host/saver_app_win32.h"

namespace lumar {

bool SaverApp::RecordInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    // Every key and button ends the run, the system keys (Alt, F10, Alt+F4), the wheel and the side
    // buttons included. The system keys never reach DefWindowProc, whose menu mode would hold the loop.
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      recorded_.dismiss = true;
      if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_XBUTTONDOWN) result = TRUE;
      return message != WM_KEYDOWN && message != WM_LBUTTONDOWN && message != WM_RBUTTONDOWN &&
             message != WM_MBUTTONDOWN;
    case WM_MOUSEMOVE: {
      // Counted over all the saver's windows together, at the pointer's place on the desktop (the
      // primary's window lies at the origin, so its own coordinates are that place).
      const SaverScreen* screen = ScreenOf(window);
      const int left = screen ? screen->monitor().area.left : 0;
      const int top = screen ? screen->monitor().area.top : 0;
      if (input_.MouseMovedTo(static_cast<int16_t>(static_cast<int16_t>(LOWORD(lParam)) + left),
                              static_cast<int16_t>(static_cast<int16_t>(HIWORD(lParam)) + top)))
        recorded_.dismiss = true;
      return false;
    }
    case WM_SYSCOMMAND: {
      // Closing (Alt+F4) is a dismissal like any key; switching away and a second saver are refused.
      const WPARAM command = wParam & 0xFFF0;
      if (command == SC_CLOSE) recorded_.dismiss = true;
      return command == SC_NEXTWINDOW || command == SC_PREVWINDOW || command == SC_CLOSE ||
             command == SC_SCREENSAVE || command == SC_KEYMENU;
    }
    case WM_CLOSE:
      recorded_.dismiss = true;
      return true;
    default:
      return false;
  }
}

bool SaverApp::PaintBlack(HWND window) {
  // A monitor without a device is black, never the desktop it covers.
  const SaverScreen* screen = ScreenOf(window);
  if (!screen || screen->drawing() || (screen == &primary() && passwordDialogActive_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(window, &paint);
  return true;
}

// The procedure only records what it learns; the loop acts on it between frames (HandleRecorded).
LRESULT SaverApp::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool saver = mode_ == ScreenSaverMode::Saver;
  LRESULT result = 0;
  if (saver && RecordInput(window, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_DESTROY:
      // A screen closed because its monitor is gone has left the list first.
      if (ScreenOf(window)) recorded_.windowEnded = true;
      break;
    case WM_ACTIVATEAPP:
      if (wParam == FALSE && saver) recorded_.dismiss = true;
      break;
    case WM_SETCURSOR:
      SetCursor(saver && !passwordDialogActive_ ? nullptr : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
      break;
    case WM_PAINT:
      if (saver && PaintBlack(window)) return 0;
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMSUSPEND && !password_.verifyPasswordProc && saver) recorded_.dismiss = true;
      if (wParam == PBT_POWERSETTINGCHANGE)
        RecordPowerSetting(reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
      if (wParam == PBT_APMPOWERSTATUSCHANGE) recorded_.powerStatus = true;
      break;
    case WM_WTSSESSION_CHANGE:
      loopState_.RecordSessionChange(static_cast<uint32_t>(wParam));
      break;
    case WM_DISPLAYCHANGE:
      recorded_.displayChange = true;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace lumar
