// Makes the session take its monitor list again, as a display settings change does: calls
// ChangeDisplaySettingsExA with no mode, then prints the monitors EnumDisplayMonitors lists now
// ("WxH+X+Y" each, the primary first) and tells every top-level window, as Windows would, with
// WM_DISPLAYCHANGE. Exit code 0 when the call succeeded.
// With --list it changes nothing: it prints the monitors listed now, and fails when it finds none.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT area, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  const bool primary = GetMonitorInfoA(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  char text[64];
  std::snprintf(text, sizeof text, "%ldx%ld+%ld+%ld", area->right - area->left, area->bottom - area->top,
                area->left, area->top);
  auto& monitors = *reinterpret_cast<std::vector<std::string>*>(list);
  monitors.insert(primary ? monitors.begin() : monitors.end(), text);
  return TRUE;
}

// Prints the monitors EnumDisplayMonitors lists, the primary first; false when it lists none.
bool PrintMonitors() {
  std::vector<std::string> monitors;
  const BOOL enumerated =
      EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  std::string line;
  for (const std::string& monitor : monitors) line += (line.empty() ? "" : ",") + monitor;
  std::printf("%s\n", line.c_str());
  if (!enumerated || monitors.empty()) std::fprintf(stderr, "EnumDisplayMonitors listed no monitor\n");
  return enumerated && !monitors.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--list") return PrintMonitors() ? 0 : 1;
  const LONG result = ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr);
  if (!PrintMonitors()) return 1;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_DISPLAYCHANGE, 32,
                      MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
                      SMTO_ABORTIFHUNG, 2000, &ignored);
  return result == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}
