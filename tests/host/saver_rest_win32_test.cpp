// The message loop at rest, in-process under Wine: the power and session messages Windows would send are
// sent to the saver's window, the loop's waits go through a seam that counts them and moves the manual
// clock, and test-double devices count the device tests. Nothing here depends on real time. The runs here
// draw "as fast as possible" on mains power, so that every wait seen is one of resting or of the battery
// (saver_pacing_win32_test.cpp has the default pacing).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "host/saver_app_win32.h"
#include "host/system_messages_win32.h"
#include "platform/message_box_win32.h"
#include "render/render_rig_win32.h"
#include "settings/frame_pacing_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

void IgnoreMessage(const char*, UINT) {}

using test::kConsoleDisplayState;
constexpr GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};
constexpr GUID kUnknownSetting = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

// A device that counts its device tests and Reset attempts, and can refuse every Reset.
class CountingDevice : public test::TestDevice {
 public:
  using test::TestDevice::TestDevice;
  int tests = 0;
  int resetAttempts = 0;
  bool refuseReset = false;
  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
    ++tests;
    return test::TestDevice::TestCooperativeLevel();
  }
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override {
    ++resetAttempts;
    if (refuseReset) return D3DERR_DEVICELOST;
    return test::TestDevice::Reset(parameters);
  }
};

struct Wait {
  DWORD handles;
  DWORD milliseconds;
  uint64_t frameSteps;  // frame steps before the wait
  int deviceTests;
};

class SaverRestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    WriteAsFastAsPossible(true);
    previousSink_ = SetMessageSink(IgnoreMessage);
    MakeApp();
  }
  void MakeApp() {
    device_ = nullptr;
    WriteAsFastAsPossible(true);  // again: start-up deletes the key when it refuses the (missing) record
    app_ = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
    app_->SetMonitorSource([] { return std::vector<MonitorArea>{}; });
    app_->SetRefreshSource([](const MonitorArea&) { return 60u; });
    app_->SetPowerStatusSource(test::PowerSource(&onBattery_));
    app_->SetDeviceFactory([this](IDirect3D9* d3d, HWND window, DWORD flags,
                                  D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** created) {
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      device_ = new CountingDevice(real);
      device_->captureFrames = false;
      *created = device_;
      return hr;
    });
    app_->SetLoopWait([this](DWORD count, const HANDLE*, DWORD milliseconds) {
      waits_.push_back(Wait{count, milliseconds, app_->frameSteps(), device_ ? device_->tests : 0});
      if (milliseconds != INFINITE) clock_.Advance(milliseconds);
      if (onWait_) onWait_(waits_.size());
      if (waits_.size() > 5000) PostQuitMessage(0);  // a loop that never ends the test fails it
      return static_cast<DWORD>(WAIT_TIMEOUT);
    });
  }
  void Drain() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void TearDown() override {
    app_->Close();
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    SetMessageSink(previousSink_);
    Drain();
  }

 public:
  void PowerSetting(const GUID& setting, DWORD state, DWORD length = sizeof(DWORD)) {
    test::SendPowerSetting(app_->mainWindow(), setting, state, length);
  }
  void Session(WPARAM code) { SendMessageA(app_->mainWindow(), WM_WTSSESSION_CHANGE, code, 0); }

 protected:
  // Ends the loop at the `count`-th present from now.
  void QuitAfterPresents(int count) {
    const int until = device_->presents + count;
    device_->onPresent = [this, until] {
      if (device_->presents == until) PostQuitMessage(0);
    };
  }

  ManualClock clock_{5000};
  MessageSink previousSink_ = nullptr;
  std::unique_ptr<SaverApp> app_;
  CountingDevice* device_ = nullptr;
  std::vector<Wait> waits_;
  std::function<void(size_t)> onWait_;
  bool onBattery_ = false;
};

// Displays off (either setting) or the session hidden: the loop blocks until a message comes, with no frame
// step and no device test meanwhile; when they are back the next pass draws.
TEST_F(SaverRestTest, DisplaysOffOrSessionHiddenBlockTheLoopUntilTheyAreBack) {
  struct Case {
    const char* what;
    std::function<void(SaverRestTest&)> hide, show;
  };
  const Case cases[] = {
      {"console display off", [](SaverRestTest& t) { t.PowerSetting(kConsoleDisplayState, 0); },
       [](SaverRestTest& t) { t.PowerSetting(kConsoleDisplayState, 2); }},
      {"monitor power off", [](SaverRestTest& t) { t.PowerSetting(kMonitorPowerOn, 0); },
       [](SaverRestTest& t) { t.PowerSetting(kMonitorPowerOn, 1); }},
      {"session locked", [](SaverRestTest& t) { t.Session(WTS_SESSION_LOCK); },
       [](SaverRestTest& t) { t.Session(WTS_SESSION_UNLOCK); }},
      {"remote disconnect", [](SaverRestTest& t) { t.Session(WTS_REMOTE_DISCONNECT); },
       [](SaverRestTest& t) { t.Session(WTS_REMOTE_CONNECT); }},
  };
  ASSERT_TRUE(app_->StartUp("/s"));
  for (const Case& c : cases) {
    waits_.clear();
    c.hide(*this);
    const uint64_t stepsBefore = app_->frameSteps();
    const int testsBefore = device_->tests;
    const int presentsBefore = device_->presents;
    onWait_ = [&](size_t count) {
      if (count == 3) c.show(*this);  // woken twice by other messages first: still at rest
    };
    QuitAfterPresents(2);
    app_->MessageLoop();
    ASSERT_EQ(waits_.size(), 3u) << c.what;
    for (const Wait& wait : waits_) {
      EXPECT_EQ(wait.milliseconds, INFINITE) << c.what;
      EXPECT_EQ(wait.frameSteps, stepsBefore) << c.what << ": no frame step while hidden";
      EXPECT_EQ(wait.deviceTests, testsBefore) << c.what << ": no device test while hidden";
    }
    EXPECT_EQ(device_->presents, presentsBefore + 2) << c.what << ": drawing again at once";
  }
}

TEST_F(SaverRestTest, InputEndsTheRunWhileAtRest) {
  ASSERT_TRUE(app_->StartUp("/s"));
  PowerSetting(kConsoleDisplayState, 0);
  onWait_ = [this](size_t) { SendMessageA(app_->mainWindow(), WM_KEYDOWN, 'A', 0); };
  app_->MessageLoop();
  EXPECT_EQ(waits_.size(), 1u);
  EXPECT_TRUE(app_->runEnded());
}

// Unknown settings, lengths other than 4 and states other than 0, 1, 2 change nothing, whichever way.
TEST_F(SaverRestTest, UnexpectedPowerSettingsAreIgnored) {
  ASSERT_TRUE(app_->StartUp("/s"));
  struct Case {
    const GUID* setting;
    DWORD state, length;
  };
  const Case ignored[] = {{&kUnknownSetting, 0, 4},      {&kConsoleDisplayState, 0, 2},
                          {&kConsoleDisplayState, 0, 8}, {&kConsoleDisplayState, 3, 4},
                          {&kMonitorPowerOn, 2, 4},      {&kConsoleDisplayState, 0, 0}};
  for (const Case& c : ignored) {
    PowerSetting(*c.setting, c.state, c.length);
    EXPECT_FALSE(app_->loopState().displaysOff()) << c.state << " " << c.length;
  }
  PowerSetting(kConsoleDisplayState, 0);
  ASSERT_TRUE(app_->loopState().displaysOff());
  for (const Case& c : ignored) {
    PowerSetting(*c.setting, c.state == 0 ? 1 : c.state, c.length);
    EXPECT_TRUE(app_->loopState().displaysOff()) << c.length;
  }
  SendMessageA(app_->mainWindow(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0);  // no data at all
  SendMessageA(app_->mainWindow(), WM_WTSSESSION_CHANGE, 0x42, 0);
  EXPECT_TRUE(app_->loopState().displaysOff());
  EXPECT_FALSE(app_->loopState().sessionHidden());
}

// Every device lost for a second of the clock: about ten device tests and as many passes, not a spin; a
// Reset that keeps failing is tried as seldom.
TEST_F(SaverRestTest, EveryDeviceLostWaitsBetweenDeviceTests) {
  struct Case {
    const char* what;
    HRESULT level;
    bool refuseReset;
  };
  for (const Case& c :
       {Case{"lost", D3DERR_DEVICELOST, false}, Case{"reset fails", D3DERR_DEVICENOTRESET, true}}) {
    if (device_) {  // the previous case's run
      app_->EndRun();
      app_->Close();
      Drain();
      MakeApp();
    }
    ASSERT_TRUE(app_->StartUp("/s")) << c.what;
    waits_.clear();
    device_->cooperativeLevel = c.level;
    device_->refuseReset = c.refuseReset;
    const uint32_t start = clock_.Now();
    const int testsBefore = device_->tests;
    const uint64_t passesBefore = app_->loopPasses();
    onWait_ = [&](size_t) {
      if (clock_.Now() - start >= 1000) PostQuitMessage(0);
    };
    app_->MessageLoop();
    EXPECT_EQ(clock_.Now() - start, 1000u) << c.what;
    const int tests = device_->tests - testsBefore;
    EXPECT_GE(tests, 9) << c.what;
    EXPECT_LE(tests, 11) << c.what;
    // A pass either tests the devices or waits: two passes per test.
    EXPECT_LE(app_->loopPasses() - passesBefore, 23u) << c.what;
    if (c.refuseReset) {
      EXPECT_EQ(device_->resetAttempts, tests) << c.what;
    }
    for (const Wait& wait : waits_) EXPECT_LE(wait.milliseconds, LoopState::kLostDeviceWaitMs) << c.what;
    EXPECT_EQ(device_->presents, 0) << c.what;
    // Back: the next test finds it usable and the loop draws without waiting.
    device_->refuseReset = false;
    device_->cooperativeLevel = D3D_OK;
    waits_.clear();
    onWait_ = nullptr;
    QuitAfterPresents(3);
    app_->MessageLoop();
    EXPECT_LE(waits_.size(), 1u) << c.what;
    EXPECT_EQ(device_->presents, 3) << c.what;
  }
}

// On battery, frames at most one per refresh interval of the fastest monitor (60 Hz), waited for on the
// pacing timer, whatever "as fast as possible" says; back on mains power, as fast as the loop goes.
TEST_F(SaverRestTest, OnBatteryFramesArePacedToTheRefreshAndUnpacedOnMains) {
  onBattery_ = true;
  ASSERT_TRUE(app_->StartUp("/s"));
  const uint32_t interval = app_->loopState().frameIntervalMs();
  ASSERT_GT(interval, 0u);
  const uint32_t start = clock_.Now();
  const int presentsBefore = device_->presents;
  onWait_ = [&](size_t) {
    if (clock_.Now() - start >= 1000) PostQuitMessage(0);
  };
  app_->MessageLoop();
  const int frames = device_->presents - presentsBefore;
  EXPECT_LE(frames, 61);
  EXPECT_GE(frames, 59);
  for (const Wait& wait : waits_) {
    EXPECT_EQ(wait.handles, 1u) << "the pacing timer";
    EXPECT_LE(wait.milliseconds, interval);
  }

  onBattery_ = false;
  SendMessageA(app_->mainWindow(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
  waits_.clear();
  onWait_ = nullptr;
  QuitAfterPresents(20);
  app_->MessageLoop();  // the clock stands still: only an unpaced loop gets its 20 frames
  EXPECT_EQ(app_->loopState().frameIntervalMs(), 0u);
  EXPECT_TRUE(waits_.empty());
}

TEST_F(SaverRestTest, AsFastAsPossibleOnMainsNothingWaits) {
  ASSERT_TRUE(app_->StartUp("/s"));
  EXPECT_EQ(app_->loopState().frameIntervalMs(), 0u);
  QuitAfterPresents(10);
  app_->MessageLoop();
  EXPECT_TRUE(waits_.empty());
  EXPECT_EQ(device_->presents, 10);
}

}  // namespace
}  // namespace lumar
