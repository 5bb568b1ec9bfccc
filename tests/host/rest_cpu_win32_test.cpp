// A measurement, not a check: the CPU time of a full-screen run's main thread and of the process over a
// stretch of real time (LUMAR_MEASURE_SECONDS, 60 by default) with the displays reported off, and with
// every device lost. Disabled in the test runs; run it with
//   host_win32_tests --gtest_also_run_disabled_tests --gtest_filter='RestCpu.*'
// It uses only what the program had before the loop learnt to rest, so the same file measures both.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "host/saver_app_win32.h"
#include "platform/message_box_win32.h"
#include "platform/multimedia_clock_win32.h"
#include "render/render_rig_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

void IgnoreMessage(const char*, UINT) {}

double Seconds(const FILETIME& kernel, const FILETIME& user) {
  auto value = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
  };
  return value(kernel) + value(user);
}

struct Usage {
  double thread, process;
};

Usage Now() {
  FILETIME created, ended, kernel, user;
  Usage usage{};
  GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
  usage.thread = Seconds(kernel, user);
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  usage.process = Seconds(kernel, user);
  return usage;
}

struct Stop {
  DWORD thread;
  DWORD milliseconds;
};

DWORD WINAPI QuitLater(void* context) {
  const Stop& stop = *static_cast<Stop*>(context);
  Sleep(stop.milliseconds);
  PostThreadMessageA(stop.thread, WM_QUIT, 0, 0);
  return 0;
}

// Runs the loop for the measuring time after `prepare`, and prints the CPU seconds it took.
template <typename Prepare>
void Measure(const char* what, Prepare prepare) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
  // A quit message an earlier run left would end this loop at once.
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  const MessageSink previous = SetMessageSink(IgnoreMessage);
  const char* text = std::getenv("LUMAR_MEASURE_SECONDS");
  const DWORD seconds = text ? static_cast<DWORD>(std::atoi(text)) : 60;
  MultimediaClock clock;
  SaverApp app(GetModuleHandleA(nullptr), clock);
  test::TestDevice* device = nullptr;
  app.SetDeviceFactory([&device](IDirect3D9* d3d, HWND window, DWORD flags, D3DPRESENT_PARAMETERS& parameters,
                                 IDirect3DDevice9** created) {
    IDirect3DDevice9* real = nullptr;
    const HRESULT hr =
        d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
    if (FAILED(hr)) return hr;
    device = new test::TestDevice(real);
    device->captureFrames = false;
    *created = device;
    return hr;
  });
  ASSERT_TRUE(app.StartUp("/s"));
  ASSERT_NE(device, nullptr);
  prepare(app, *device);
  Stop stop{GetCurrentThreadId(), seconds * 1000};
  HANDLE stopper = CreateThread(nullptr, 0, QuitLater, &stop, 0, nullptr);
  const Usage before = Now();
  const DWORD start = GetTickCount();
  app.MessageLoop();
  const DWORD looped = GetTickCount() - start;
  const Usage after = Now();
  WaitForSingleObject(stopper, INFINITE);
  CloseHandle(stopper);
  std::printf("%s: the loop ran %lu ms, main thread %.2f s CPU, process %.2f s CPU, %u frames drawn\n", what,
              static_cast<unsigned long>(looped), after.thread - before.thread,
              after.process - before.process, app.renderer() ? app.renderer()->framesDrawn() : 0u);
  app.EndRun();
  app.Close();
  SetMessageSink(previous);
}

TEST(RestCpu, DISABLED_DisplaysOff) {
  Measure("displays off", [](SaverApp& app, test::TestDevice&) {
    struct {
      POWERBROADCAST_SETTING header;
      BYTE more[4];
    } off{};
    off.header.PowerSetting = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
    off.header.DataLength = 4;
    SendMessageA(app.mainWindow(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&off));
  });
}

TEST(RestCpu, DISABLED_EveryDeviceLost) {
  Measure("every device lost",
          [](SaverApp&, test::TestDevice& device) { device.cooperativeLevel = D3DERR_DEVICELOST; });
}

TEST(RestCpu, DISABLED_Drawing) {
  Measure("drawing", [](SaverApp&, test::TestDevice&) {});
}

}  // namespace
}  // namespace lumar
