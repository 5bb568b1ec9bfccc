// Plays the display control panel for the end-to-end tests: creates a parent window, starts
// "lumar.scr /p <its handle>", checks the saver's child window, and destroys the parent once the file
// named by its third argument exists (the script measures the saver's CPU time from outside meanwhile).
//   preview_host_tool <lumar.scr> <go-file (a Windows path)>
// Prints one line per check ("ok: ..." or "FAIL: ..."); the exit code is the number of failed checks.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
  std::fflush(stdout);
  if (!ok) ++failures;
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
}

HWND FindSaverChild(HWND panel, DWORD seconds) {
  for (DWORD waited = 0; waited < seconds * 10; ++waited) {
    HWND child = FindWindowExA(panel, nullptr, "Lumar", nullptr);
    if (child) return child;
    Pump(100);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: preview_host_tool <lumar.scr> <go-file>\n");
    return 2;
  }
  const std::string scr = argv[1];
  const std::string goFile = argv[2];

  WNDCLASSA wc{};
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "LumarPreviewPanel";
  RegisterClassA(&wc);
  // Shown without taking the focus: a running full-screen saver would take activation by another window
  // as the user's doing and end.
  HWND panel = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, wc.lpszClassName, "Preview panel", WS_POPUP,
                               40, 40, 152, 112, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(panel, SW_SHOWNOACTIVATE);
  RECT panelRect;
  GetWindowRect(panel, &panelRect);

  std::string command = "\"" + scr + "\" /p " + std::to_string(reinterpret_cast<uintptr_t>(panel));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    Check(false, "lumar.scr /p started");
    return failures;
  }
  std::printf("started: %s\n", command.c_str());
  std::fflush(stdout);

  // The script decides when the parent goes; until then this is a live control panel.
  while (GetFileAttributesA(goFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Pump(100);
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
  }
  HWND child = FindSaverChild(panel, 5);
  Check(child != nullptr, "a child window of class \"Lumar\" in the parent");
  if (child) {
    RECT childRect;
    GetClientRect(child, &childRect);
    Check(childRect.right == panelRect.right - panelRect.left &&
              childRect.bottom == panelRect.bottom - panelRect.top,
          "the child has the parent's size");
  }

  DestroyWindow(panel);
  const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
  Check(waited == WAIT_OBJECT_0, "the saver ends when its parent is destroyed");
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  Check(code == 0, "exit code 0");
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return failures;
}
