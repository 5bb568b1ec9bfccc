// Entry point of lumar.scr.
#include <windows.h>

#include "host/saver_app_win32.h"
#include "platform/multimedia_clock_win32.h"
#include "platform/system_libraries_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  lumar::RestrictLibrarySearchToSystemFolder();
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
  lumar::MultimediaClock clock;
  lumar::SaverApp app(instance, clock);
  return app.Run(arguments ? arguments : "");
}
