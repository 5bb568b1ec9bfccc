// Frames paced to the display, the timer resolution given back at rest, and every key and button ending
// the run, in-process under Wine. The loop's waits go through a seam that moves the manual clock; a device
// double can make Present wait for a simulated retrace, as a full-screen device presenting on the vertical
// retrace does on Windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/saver_app_win32.h"
#include "host/system_messages_win32.h"
#include "platform/message_box_win32.h"
#include "platform/multimedia_clock_win32.h"
#include "render/render_rig_win32.h"
#include "settings/frame_pacing_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

void IgnoreMessage(const char*, UINT) {}

// Counts the raises and the give-backs of the timer resolution.
class CountingResolution : public TimerResolution {
 public:
  int begins = 0, ends = 0;
  uint32_t lastPeriod = 0;
  void Begin(uint32_t period) override {
    ++begins;
    lastPeriod = period;
  }
  void End(uint32_t period) override {
    ++ends;
    EXPECT_EQ(period, lastPeriod) << "given back as it was taken";
  }
};

// A device whose Present can wait, on the manual clock, for the next retrace of a `retraceHz` display, and
// can run something while its Reset is in progress.
class PacedDevice : public test::TestDevice {
 public:
  PacedDevice(IDirect3DDevice9* real, ManualClock& clock) : test::TestDevice(real), clock_(clock) {}
  uint32_t retraceHz = 0;  // 0: presents at once
  std::function<void()> duringReset;

  HRESULT STDMETHODCALLTYPE Present(const RECT* source, const RECT* destination, HWND window,
                                    const RGNDATA* dirty) override {
    if (retraceHz) {
      // The first retrace strictly after now, in whole milliseconds rounded up.
      const uint64_t now = clock_.Now();
      const uint64_t retrace = now * retraceHz / 1000 + 1;
      clock_.Set(static_cast<uint32_t>((retrace * 1000 + retraceHz - 1) / retraceHz));
    }
    return test::TestDevice::Present(source, destination, window, dirty);
  }
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override {
    // The messages come at the end of the Reset (the mode change's broadcast): had they come first, the
    // real device would be lost by the lost activation and the Reset refused.
    const HRESULT hr = test::TestDevice::Reset(parameters);
    if (resetResult) *resetResult = hr;
    if (duringReset) duringReset();
    return hr;
  }
  HRESULT* resetResult = nullptr;  // where each Reset's result is written

 private:
  ManualClock& clock_;
};

class SaverPacingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    previousSink_ = SetMessageSink(IgnoreMessage);
  }
  void TearDown() override {
    if (app_) app_->Close();
    SetMessageSink(previousSink_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
  }
  // An app on mains (or battery) whose monitors report `refreshHz`, over `monitors` (none: the primary).
  void MakeApp(uint32_t refreshHz, std::vector<MonitorArea> monitors = {}) {
    devices_.clear();
    parameters_.clear();
    app_ = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
    app_->SetMonitorSource([monitors] { return monitors; });
    app_->SetRefreshSource([refreshHz](const MonitorArea&) { return refreshHz; });
    app_->SetTimerResolution(&resolution_);
    app_->SetPowerStatusSource(test::PowerSource(&onBattery_));
    app_->SetDeviceFactory([this](IDirect3D9* d3d, HWND window, DWORD flags,
                                  D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** created) {
      parameters_.push_back(parameters);
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      devices_.push_back(new PacedDevice(real, clock_));
      devices_.back()->captureFrames = false;
      *created = devices_.back();
      return hr;
    });
    app_->SetLoopWait([this](DWORD, const HANDLE*, DWORD milliseconds) {
      ++waits_;
      raisedDuringWaits_.push_back(app_->timerResolutionRaised());
      if (milliseconds != INFINITE) clock_.Advance(milliseconds);
      if (onWait_) onWait_();
      if (waits_ > 20000) PostQuitMessage(0);  // a loop that never ends the test fails it
      return static_cast<DWORD>(WAIT_TIMEOUT);
    });
  }
  // Runs the loop for `milliseconds` of the manual clock; returns the primary's frames.
  int RunFor(uint32_t milliseconds) {
    const uint32_t start = clock_.Now();
    const int before = devices_[0]->presents;
    devices_[0]->onPresent = [this, start, milliseconds] {
      if (clock_.Now() - start >= milliseconds) PostQuitMessage(0);
    };
    onWait_ = [this, start, milliseconds] {
      if (clock_.Now() - start >= milliseconds) PostQuitMessage(0);
    };
    app_->MessageLoop();
    onWait_ = nullptr;
    devices_[0]->onPresent = nullptr;
    return devices_[0]->presents - before;
  }
  void PowerSetting(DWORD state) {
    test::SendPowerSetting(app_->mainWindow(), test::kConsoleDisplayState, state);
  }

  ManualClock clock_{5000};
  MessageSink previousSink_ = nullptr;
  std::unique_ptr<SaverApp> app_;
  std::vector<PacedDevice*> devices_;
  std::vector<D3DPRESENT_PARAMETERS> parameters_;
  CountingResolution resolution_;
  int waits_ = 0;
  std::vector<bool> raisedDuringWaits_;
  std::function<void()> onWait_;
  bool onBattery_ = false;
};

// On mains, by default: the full-screen device presents on the retrace and the loop never draws more frames
// than the monitor shows; a Present that waits for the retrace is not made to wait a second time.
TEST_F(SaverPacingTest, OnMainsFramesFollowTheRefreshAndAPresentThatWaitsIsNotWaitedForAgain) {
  struct Case {
    const char* what;
    uint32_t retraceHz;
  };
  for (const Case& c : {Case{"present at once", 0}, Case{"present on a 60 Hz retrace", 60}}) {
    MakeApp(60);
    ASSERT_TRUE(app_->StartUp("/s")) << c.what;
    EXPECT_EQ(parameters_[0].PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_ONE)) << c.what;
    devices_[0]->retraceHz = c.retraceHz;
    const int frames = RunFor(5000);
    EXPECT_GE(frames, 57 * 5) << c.what;
    EXPECT_LE(frames, 61 * 5) << c.what;
    app_->Close();
    app_.reset();
  }
}

// "As fast as possible": presents at once and no wait on mains; on battery the pacing still holds.
TEST_F(SaverPacingTest, AsFastAsPossibleDrawsUnpacedOnMainsOnly) {
  ASSERT_TRUE(WriteAsFastAsPossible(true));
  MakeApp(60);
  ASSERT_TRUE(app_->StartUp("/s"));
  EXPECT_TRUE(app_->asFastAsPossible());
  EXPECT_EQ(parameters_[0].PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE));
  EXPECT_EQ(app_->loopState().frameIntervalMs(), 0u);
  const int before = devices_[0]->presents;
  devices_[0]->onPresent = [this, before] {
    if (devices_[0]->presents - before == 100) PostQuitMessage(0);
  };
  app_->MessageLoop();  // the clock stands still: only an unpaced loop gets its frames
  EXPECT_EQ(waits_, 0);
  EXPECT_EQ(devices_[0]->presents - before, 100);

  onBattery_ = true;
  SendMessageA(app_->mainWindow(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
  const int frames = RunFor(2000);
  EXPECT_GE(frames, 57 * 2);
  EXPECT_LE(frames, 61 * 2);
}

// A refresh of 0 or 1 (the hardware's default) paces at 60; 500 Hz at 500, as fast as the loop draws; a
// value that is not a DWORD or is 0 leaves the setting off.
TEST_F(SaverPacingTest, ReportedRefreshRatesThatMeanNothingPaceAtSixty) {
  struct Case {
    uint32_t hz, intervalMs;
  };
  for (const Case& c : {Case{0, 17}, Case{1, 17}, Case{60, 17}, Case{144, 7}, Case{500, 2}}) {
    MakeApp(c.hz);
    ASSERT_TRUE(app_->StartUp("/s")) << c.hz;
    EXPECT_EQ(app_->loopState().frameIntervalMs(), c.intervalMs) << c.hz;
    app_->Close();
    app_.reset();
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, kAsFastAsPossibleValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  EXPECT_FALSE(ReadAsFastAsPossible()) << "a string";
  const DWORD zero = 0;
  RegSetValueExA(key, kAsFastAsPossibleValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
  EXPECT_FALSE(ReadAsFastAsPossible()) << "0";
  RegCloseKey(key);
  ASSERT_TRUE(WriteAsFastAsPossible(true));
  EXPECT_TRUE(ReadAsFastAsPossible());
}

// The raised timer resolution is given back while the loop rests (displays off, every device lost) and
// taken again when it draws; every raise is matched by one give-back by the end of the run.
TEST_F(SaverPacingTest, RestingGivesTheTimerResolutionBack) {
  MakeApp(60);
  ASSERT_TRUE(app_->StartUp("/s"));
  EXPECT_EQ(resolution_.begins, 1);
  EXPECT_GE(resolution_.lastPeriod, 1u);
  RunFor(200);
  EXPECT_EQ(resolution_.ends, 0) << "paced frames keep it";
  for (bool raised : raisedDuringWaits_) EXPECT_TRUE(raised);

  raisedDuringWaits_.clear();
  PowerSetting(0);  // displays off
  int restingWaits = 0;
  onWait_ = [&] {
    if (++restingWaits == 3) PowerSetting(1);
  };
  const int before = devices_[0]->presents;
  devices_[0]->onPresent = [&] {
    if (devices_[0]->presents - before == 2) PostQuitMessage(0);
  };
  app_->MessageLoop();
  ASSERT_GE(raisedDuringWaits_.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(raisedDuringWaits_[i]) << "resting wait " << i;
  EXPECT_EQ(resolution_.ends, 1);
  EXPECT_EQ(resolution_.begins, 2) << "taken again to draw";
  EXPECT_TRUE(app_->timerResolutionRaised());

  devices_[0]->cooperativeLevel = D3DERR_DEVICELOST;  // every device lost: a rest too
  raisedDuringWaits_.clear();
  RunFor(300);
  ASSERT_FALSE(raisedDuringWaits_.empty());
  EXPECT_FALSE(raisedDuringWaits_.back());
  devices_[0]->cooperativeLevel = D3D_OK;
  app_->Close();
  EXPECT_EQ(resolution_.begins, resolution_.ends);
  app_.reset();
}

// Every key and button ends a full-screen run, system keys and the wheel and side buttons included, and
// Alt+F4's close command; the window procedure only records, the loop ends the run.
TEST_F(SaverPacingTest, EveryKeyAndButtonEndsTheRunThroughTheLoop) {
  struct Case {
    const char* what;
    UINT message;
    WPARAM wParam;
  };
  const Case cases[] = {
      {"Alt", WM_SYSKEYDOWN, VK_MENU},
      {"F10", WM_SYSKEYDOWN, VK_F10},
      {"a key", WM_KEYDOWN, 'A'},
      {"wheel", WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)},
      {"tilt", WM_MOUSEHWHEEL, MAKEWPARAM(0, WHEEL_DELTA)},
      {"side button", WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1)},
      {"middle button", WM_MBUTTONDOWN, 0},
      {"Alt+F4", WM_SYSCOMMAND, SC_CLOSE},
      {"close", WM_CLOSE, 0},
  };
  for (const Case& c : cases) {
    MakeApp(60);
    ASSERT_TRUE(app_->StartUp("/s")) << c.what;
    HWND window = app_->mainWindow();
    SendMessageA(window, c.message, c.wParam, 0);
    EXPECT_FALSE(app_->runEnded()) << c.what << ": the procedure only records";
    EXPECT_TRUE(IsWindow(window)) << c.what;
    app_->MessageLoop();  // ends at the quit message of the close-down
    EXPECT_TRUE(app_->runEnded()) << c.what;
    EXPECT_EQ(app_->renderer()->device(), nullptr) << c.what;
    app_->Close();
    app_.reset();
  }
}

// A dismissal that arrives while Reset waits on its mode change (here: inside Reset) is acted on after the
// frame: the device is not released under the Reset, the frame completes and the run then ends.
TEST_F(SaverPacingTest, ActivationLostDuringAResetEndsTheRunAfterTheFrame) {
  MakeApp(60);
  ASSERT_TRUE(app_->StartUp("/s"));
  PacedDevice* device = devices_[0];
  HWND window = app_->mainWindow();
  bool closedDuringReset = true;
  device->duringReset = [&] {
    SendMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
    SendMessageA(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    closedDuringReset = app_->runEnded();
  };
  device->cooperativeLevel = D3DERR_DEVICENOTRESET;
  int presents = 0, resets = 0;
  HRESULT resetResult = S_OK;
  device->resetResult = &resetResult;
  device->onPresent = [&] {
    ++presents;
    resets = device->resets;
  };
  app_->MessageLoop();  // the device is gone afterwards
  EXPECT_FALSE(closedDuringReset);
  EXPECT_EQ(resets, 1) << std::hex << resetResult;
  EXPECT_EQ(presents, 1) << "the frame after the Reset is drawn, and no other";
  EXPECT_TRUE(app_->runEnded());
  EXPECT_EQ(app_->renderer()->device(), nullptr);
}

// Input in a preview ends nothing, whatever the key.
TEST_F(SaverPacingTest, PreviewIgnoresSystemKeysAndTheWheel) {
  HWND panel = CreateWindowExA(0, "STATIC", "panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 160, 120,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(panel, nullptr);
  MakeApp(60);
  ASSERT_TRUE(app_->StartUp("/p " + std::to_string(reinterpret_cast<uintptr_t>(panel))));
  for (UINT message : {static_cast<UINT>(WM_SYSKEYDOWN), static_cast<UINT>(WM_MOUSEWHEEL),
                       static_cast<UINT>(WM_XBUTTONDOWN), static_cast<UINT>(WM_KEYDOWN)})
    SendMessageA(app_->mainWindow(), message, VK_F10, 0);
  app_->HandleRecorded();
  EXPECT_FALSE(app_->runEnded());
  DestroyWindow(panel);  // the panel closes first, with the preview's window, as in Windows
  app_->HandleRecorded();
  EXPECT_TRUE(app_->runEnded());
  app_->Close();
  app_.reset();
}

// In real time, on the multimedia clock and the loop's own waits: a full-screen run on mains with the refresh
// reported as 60 Hz draws at most 63 frames a second over 5 s, on one monitor and on two; "as fast as
// possible" draws more where the machine can (a machine too slow for 63 frames a second is told, not
// failed).
TEST(SaverPacingRealTime, AtSixtyHertzAtMostSixtyThreeFramesASecondOnOneAndTwoMonitors) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
  const MessageSink previous = SetMessageSink(IgnoreMessage);
  MultimediaClock clock;
  struct Case {
    const char* what;
    bool twoMonitors, asFastAsPossible;
  };
  double pacedRate = 0;
  for (const Case& c : {Case{"one monitor", false, false}, Case{"two monitors", true, false},
                        Case{"as fast as possible", false, true}}) {
    // Written before every start-up: start-up deletes the key when it refuses the (missing) record.
    ASSERT_TRUE(WriteAsFastAsPossible(c.asFastAsPossible));
    std::vector<MonitorArea> monitors;
    if (c.twoMonitors) {
      monitors.resize(2);
      monitors[0].area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      monitors[0].primary = true;
      monitors[1].area = RECT{100, 100, 420, 340};
    }
    SaverApp app(GetModuleHandleA(nullptr), clock);
    app.SetMonitorSource([monitors] { return monitors; });
    app.SetRefreshSource([](const MonitorArea&) { return 60u; });
    const bool onBattery = false;
    app.SetPowerStatusSource(test::PowerSource(&onBattery));
    std::vector<test::TestDevice*> devices;
    app.SetDeviceFactory([&devices](IDirect3D9* d3d, HWND window, DWORD flags,
                                    D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** created) {
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      devices.push_back(new test::TestDevice(real));
      devices.back()->captureFrames = false;
      *created = devices.back();
      return hr;
    });
    ASSERT_TRUE(app.StartUp("/s")) << c.what;
    ASSERT_EQ(app.screens().size(), c.twoMonitors ? 2u : 1u) << c.what;
    const UINT_PTR timer =
        SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
    const uint32_t start = clock.Now();
    app.MessageLoop();
    const double seconds = (clock.Now() - start) / 1000.0;
    KillTimer(nullptr, timer);
    const double rate = devices[0]->presents / seconds;
    for (const test::TestDevice* device : devices) {
      EXPECT_EQ(device->presents, devices[0]->presents) << c.what << ": every screen draws every frame";
    }
    std::printf("%s: %.1f frames a second over %.1f s\n", c.what, rate, seconds);
    if (!c.asFastAsPossible) {
      EXPECT_LE(rate, 63.0) << c.what;
      pacedRate = rate;
    } else if (pacedRate >= 55.0) {
      EXPECT_GT(rate, 63.0) << c.what;
    } else {
      std::printf("this machine draws too slowly to show more than the paced rate\n");
    }
    app.EndRun();
    app.Close();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
  SetMessageSink(previous);
}

}  // namespace
}  // namespace lumar
