// Looks at the configuration dialog from another process, as a user's input would reach it:
//   dialog_probe_tool answer SECONDS   sends WM_NULL every 10 ms for SECONDS, each with a 50 ms limit;
//                                      prints the slowest answer in ms and the count of messages that
//                                      ran out of time; exit code 1 when any did or there is no dialog
//   dialog_probe_tool minimize|restore minimises or restores the dialog (its system menu's commands)
//   dialog_probe_tool preset NAME      chooses preset NAME in the Preset list as a click on it would
//   dialog_probe_tool cancel           clicks Cancel
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The dialog of lumar.scr: a dialog-class window titled "Lumar".
HWND FindDialog() { return FindWindowA("#32770", "Lumar"); }

int Answer(double seconds) {
  HWND dialog = FindDialog();
  if (!dialog) {
    std::printf("no dialog\n");
    return 1;
  }
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  double slowest = 0;
  int late = 0, sent = 0;
  for (;;) {
    QueryPerformanceCounter(&now);
    if (static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart >= seconds) break;
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    DWORD_PTR result = 0;
    const LRESULT answered = SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 50, &result);
    QueryPerformanceCounter(&after);
    const double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) / frequency.QuadPart;
    ++sent;
    if (!answered) ++late;
    if (ms > slowest) slowest = ms;
    Sleep(10);
  }
  std::printf("sent %d slowest %.1f late %d\n", sent, slowest, late);
  return late == 0 && sent > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "answer") == 0) return Answer(std::atof(argv[2]));
  if (argc == 2 && (std::strcmp(argv[1], "minimize") == 0 || std::strcmp(argv[1], "restore") == 0)) {
    HWND dialog = FindDialog();
    if (!dialog) return 1;
    PostMessageA(dialog, WM_SYSCOMMAND, std::strcmp(argv[1], "minimize") == 0 ? SC_MINIMIZE : SC_RESTORE, 0);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "preset") == 0) {
    constexpr int kPresetList = 1105;
    HWND dialog = FindDialog();
    HWND list = dialog ? GetDlgItem(dialog, kPresetList) : nullptr;
    if (!list) return 1;
    const LRESULT at =
        SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(argv[2]));
    if (at == CB_ERR) return 1;
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kPresetList, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "cancel") == 0) {
    HWND dialog = FindDialog();
    HWND button = dialog ? GetDlgItem(dialog, IDCANCEL) : nullptr;
    if (!button) return 1;
    PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
  }
  std::fprintf(stderr,
               "usage: dialog_probe_tool answer SECONDS | minimize | restore | preset NAME | cancel\n");
  return 2;
}
