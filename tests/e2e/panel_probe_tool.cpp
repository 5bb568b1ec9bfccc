// Asks the control-panel stand-in's window ("Preview panel", made by preview_host_tool in a process of its
// own) to answer a message every 20 ms for the given seconds, and reports the slowest answer. Exit code 0
// when every answer came within 100 ms; 1 when one did not, or the window was never found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  HWND panel = nullptr;
  for (int i = 0; i < 100 && !panel; ++i) {
    panel = FindWindowA(nullptr, "Preview panel");
    if (!panel) Sleep(100);
  }
  if (!panel) {
    std::printf("no window \"Preview panel\"\n");
    return 1;
  }
  LARGE_INTEGER frequency, start, before, after;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  double slowest = 0;
  int asked = 0;
  for (;;) {
    QueryPerformanceCounter(&before);
    if (static_cast<double>(before.QuadPart - start.QuadPart) / frequency.QuadPart >= seconds) break;
    DWORD_PTR result = 0;
    const LRESULT answered = SendMessageTimeoutA(panel, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result);
    QueryPerformanceCounter(&after);
    const double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) / frequency.QuadPart;
    if (!answered) {
      std::printf("no answer within 2 s (message %d)\n", asked);
      return 1;
    }
    if (ms > slowest) slowest = ms;
    ++asked;
    Sleep(20);
  }
  std::printf("%d messages, the slowest answered in %.1f ms\n", asked, slowest);
  return asked > 0 && slowest <= 100.0 ? 0 : 1;
}
