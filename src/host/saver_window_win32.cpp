// The window procedure of every screen: it only records; the loop acts between frames.
#include "host/saver_app_win32.h"

namespace lumar {

void SaverApp::RecordInput(HWND window, UINT message, LPARAM lParam) {
  if (message != WM_MOUSEMOVE) {
    dismissRequested_ = true;
    return;
  }
  // Counted over all the saver's windows together, at the pointer's place on the desktop (the primary's
  // window lies at the origin, so its own coordinates are that place).
  const SaverScreen* screen = ScreenOf(window);
  const int left = screen ? screen->monitor.area.left : 0;
  const int top = screen ? screen->monitor.area.top : 0;
  if (input_.MouseMovedTo(static_cast<int16_t>(static_cast<int16_t>(LOWORD(lParam)) + left),
                          static_cast<int16_t>(static_cast<int16_t>(HIWORD(lParam)) + top)))
    dismissRequested_ = true;
}

// The procedure only records what it learns; the loop acts on it between frames (HandleRecorded).
LRESULT SaverApp::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool saver = mode_ == ScreenSaverMode::Saver;
  switch (message) {
    case WM_DESTROY:
      // A screen released because its monitor is gone has left the list first.
      if (ScreenOf(window)) closeRequested_ = true;
      break;
    case WM_ACTIVATEAPP:
      if (wParam == FALSE && saver) dismissRequested_ = true;
      break;
    case WM_SETCURSOR:
      if (saver && !passwordDialogActive_) {
        SetCursor(nullptr);
      } else {
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
      }
      break;
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
    case WM_MOUSEMOVE:
      if (!saver) break;
      RecordInput(window, message, lParam);
      if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_XBUTTONDOWN) return TRUE;
      if (message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL) return 0;
      break;
    case WM_SYSCOMMAND:
      // Closing (Alt+F4) is a dismissal like any key; switching away and a second saver are refused.
      if (saver && (wParam & 0xFFF0) == SC_CLOSE) dismissRequested_ = true;
      if (saver && ((wParam & 0xFFF0) == SC_NEXTWINDOW || (wParam & 0xFFF0) == SC_PREVWINDOW ||
                    (wParam & 0xFFF0) == SC_CLOSE || (wParam & 0xFFF0) == SC_SCREENSAVE ||
                    (wParam & 0xFFF0) == SC_KEYMENU))
        return 0;
      break;
    case WM_CLOSE:
      if (!saver) break;
      dismissRequested_ = true;
      return 0;
    case WM_PAINT: {
      // A monitor without a device is black, never the desktop it covers.
      const SaverScreen* screen = ScreenOf(window);
      if (saver && screen && !screen->drawing() && (screen != &primary() || !passwordDialogActive_)) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
      }
      break;
    }
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMSUSPEND && !password_.verifyPasswordProc && saver) dismissRequested_ = true;
      if (wParam == PBT_POWERSETTINGCHANGE)
        RecordPowerSetting(reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
      if (wParam == PBT_APMPOWERSTATUSCHANGE) powerStatusPending_ = true;
      break;
    case WM_WTSSESSION_CHANGE:
      loopState_.RecordSessionChange(static_cast<uint32_t>(wParam));
      break;
    case WM_DISPLAYCHANGE:
      displayChangePending_ = true;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace lumar
