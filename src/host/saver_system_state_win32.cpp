// The power and session notifications the loop rests by, and the pacing of frames to the monitors.
#include "host/saver_app_win32.h"
// after windows.h, which the app's header brings and wtsapi32.h needs
#include <wtsapi32.h>

#include <cstring>

namespace lumar {

namespace {

// The power settings whose changes tell that the displays went off or came on: the console display state
// (0 off, 1 on, 2 dimmed) and, for Windows 7, which lacks it, the monitor power (0 off, 1 on).
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

using RegisterPowerSetting = HPOWERNOTIFY(WINAPI*)(HANDLE recipient, LPCGUID setting, DWORD flags);
using UnregisterPowerSetting = BOOL(WINAPI*)(HPOWERNOTIFY notification);
using RegisterSession = BOOL(WINAPI*)(HWND window, DWORD flags);
using UnregisterSession = BOOL(WINAPI*)(HWND window);

template <typename Function>
Function Resolve(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A library of the system, from the system folder only.
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + strlen(name) >= MAX_PATH) return nullptr;
  strcat(path, "\\");
  strcat(path, name);
  return LoadLibraryA(path);
}

// The refresh rate the system reports for `monitor` (its device's current mode; the primary display's
// where it has no handle), 0 when unknown.
uint32_t ReportedRefresh(const MonitorArea& monitor) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  const char* device = nullptr;
  if (monitor.monitor && GetMonitorInfoA(monitor.monitor, &info)) device = info.szDevice;
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  return EnumDisplaySettingsA(device, ENUM_CURRENT_SETTINGS, &mode) ? mode.dmDisplayFrequency : 0;
}

// The fastest refresh rate among the monitors, 60 where none reports one (0 and 1 stand for the
// hardware's default rate).
uint32_t FastestRefresh(const std::vector<std::unique_ptr<SaverScreen>>& screens,
                        const RefreshSource& source) {
  uint32_t fastest = 0;
  for (const auto& screen : screens) {
    const uint32_t rate = source ? source(screen->monitor()) : ReportedRefresh(screen->monitor());
    if (rate > 1 && rate > fastest) fastest = rate;
  }
  return fastest ? fastest : 60;
}

}  // namespace

void SystemStateWatch::Open(HWND window) {
  window_ = window;
  const auto registerPower =
      Resolve<RegisterPowerSetting>(GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification");
  if (registerPower) {
    for (const GUID* setting : {&kConsoleDisplayState, &kMonitorPowerOn}) {
      if (HPOWERNOTIFY notification = registerPower(window, setting, DEVICE_NOTIFY_WINDOW_HANDLE))
        powerNotifications_.push_back(notification);
    }
  }
  sessionLibrary_ = LoadSystemLibrary("wtsapi32.dll");
  const auto registerSession = Resolve<RegisterSession>(sessionLibrary_, "WTSRegisterSessionNotification");
  sessionRegistered_ = registerSession && registerSession(window, NOTIFY_FOR_THIS_SESSION);
  if (!sessionRegistered_ && sessionLibrary_) {
    FreeLibrary(sessionLibrary_);
    sessionLibrary_ = nullptr;
  }
}

void SystemStateWatch::Close() {
  const auto unregisterPower =
      Resolve<UnregisterPowerSetting>(GetModuleHandleA("user32.dll"), "UnregisterPowerSettingNotification");
  for (size_t i = powerNotifications_.size(); i-- > 0;) {
    if (unregisterPower) unregisterPower(powerNotifications_[i]);
  }
  powerNotifications_.clear();
  if (sessionRegistered_) {
    const auto unregisterSession =
        Resolve<UnregisterSession>(sessionLibrary_, "WTSUnRegisterSessionNotification");
    if (unregisterSession) unregisterSession(window_);
    sessionRegistered_ = false;
  }
  if (sessionLibrary_) {
    FreeLibrary(sessionLibrary_);
    sessionLibrary_ = nullptr;
  }
  if (HANDLE timer = paceTimer_) {
    paceTimer_ = nullptr;
    CancelWaitableTimer(timer);
    CloseHandle(timer);
  }
}

HANDLE SystemStateWatch::PaceTimer() {
  if (!paceTimer_) paceTimer_ = CreateWaitableTimerA(nullptr, FALSE, nullptr);
  return paceTimer_;
}

void SaverApp::RecordPowerSetting(const POWERBROADCAST_SETTING* setting) {
  // Anything but a 4-byte state of one of the two settings is ignored.
  if (!setting || setting->DataLength != sizeof(DWORD)) return;
  if (!IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) &&
      !IsEqualGUID(setting->PowerSetting, kMonitorPowerOn))
    return;
  DWORD state = 0;
  memcpy(&state, setting->Data, sizeof state);
  if (IsEqualGUID(setting->PowerSetting, kMonitorPowerOn) && state > 1) return;
  loopState_.RecordDisplayState(state);
}

void SaverApp::UpdatePowerPacing() {
  recorded_.powerStatus = false;
  SYSTEM_POWER_STATUS status{};
  const bool known = seams_.powerStatus ? seams_.powerStatus(status) : GetSystemPowerStatus(&status) != FALSE;
  // On battery (the AC line off-line) or with the battery saver on (the first bit of the status flag,
  // which older headers call Reserved1).
  const bool battery = known && (status.ACLineStatus == 0 || (status.Reserved1 & 1) != 0);
  // No screen draws more frames than the fastest monitor shows, unless the user asked for every frame
  // the machine can make (never on battery).
  const bool paced = battery || !shared_.asFastAsPossible;
  if (paced) watch_.PaceTimer();
  loopState_.SetPacing(paced ? FastestRefresh(screens_, seams_.refreshSource) : 0);
}

}  // namespace lumar
