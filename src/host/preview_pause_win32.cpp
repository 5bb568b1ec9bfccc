// The preview's pause, with the queue served and an end when the full-screen instance is gone.
#include "host/preview_pause_win32.h"

namespace lumar {

namespace {

bool ProcessAlive(DWORD processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;  // another user's: it exists
  const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

// Serves what is queued; false when a quit message came, which is posted again for the message loop.
bool ServeMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

}  // namespace

bool FullScreenInstanceAlive() {
  for (HWND window = FindWindowExA(nullptr, nullptr, "Lumar", "Lumar"); window;
       window = FindWindowExA(nullptr, window, "Lumar", "Lumar")) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId && ProcessAlive(processId)) return true;
  }
  return false;
}

bool WaitWhileFullScreenRuns(HANDLE running, DWORD sliceMilliseconds) {
  // The full-screen instance makes its event a moment before its window, so one look without a window
  // is not yet the end. Looks are a slice apart however busy the queue is.
  int looksWithoutInstance = 0;
  DWORD lastLook = GetTickCount();
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &running, FALSE, sliceMilliseconds, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) return true;
    if (woken == WAIT_OBJECT_0 + 1) {
      if (!ServeMessages()) return false;
    } else if (woken != WAIT_TIMEOUT) {
      return false;  // the handle can no longer be waited on
    }
    if (GetTickCount() - lastLook < sliceMilliseconds) continue;
    lastLook = GetTickCount();
    looksWithoutInstance = FullScreenInstanceAlive() ? 0 : looksWithoutInstance + 1;
    if (looksWithoutInstance >= 2) return false;
  }
}

}  // namespace lumar
