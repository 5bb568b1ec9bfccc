// What Windows tells a running saver about power, as the host tests send it: a power-setting change to a
// window, and a power source that reports mains or battery as the test says.
#pragma once

#include <windows.h>

#include <cstring>

#include "host/saver_app_win32.h"

namespace lumar::test {

// The console display state (0 off, 1 on, 2 dimmed).
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// PBT_POWERSETTINGCHANGE for `setting` with a `length`-byte state.
inline void SendPowerSetting(HWND window, const GUID& setting, DWORD state, DWORD length = sizeof(DWORD)) {
  struct {
    POWERBROADCAST_SETTING header;
    BYTE more[8];
  } message{};
  message.header.PowerSetting = setting;
  message.header.DataLength = length;
  std::memcpy(message.header.Data, &state, sizeof state);
  SendMessageA(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&message));
}

// A power source on battery while `*onBattery`, else on mains.
inline PowerStatusSource PowerSource(const bool* onBattery) {
  return [onBattery](SYSTEM_POWER_STATUS& status) {
    status = SYSTEM_POWER_STATUS{};
    status.ACLineStatus = *onBattery ? 0 : 1;
    return true;
  };
}

}  // namespace lumar::test
