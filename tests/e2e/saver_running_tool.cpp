// Prints the system's screen-saver-running setting, 0 or 1, as another program sees it.
#include <windows.h>

#include <cstdio>

int main() {
  BOOL running = FALSE;
  if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return 1;
  std::printf("%d\n", running ? 1 : 0);
  return 0;
}
