// Devices that come back and monitors as Windows reports them, in-process under Wine: a device whose Reset
// fails for ever is replaced by a new one; a Direct3D stand-in keeps the adapter list it was made with, as
// Windows does, so only a fresh object knows a monitor added later; a monitor keeps its screen across a
// change of handle; a display change while the session is hidden waits until it is visible again.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/gdi_objects_win32.h"
#include "host/saver_app_win32.h"
#include "platform/message_box_win32.h"
#include "render/forwarding_direct3d_win32.h"
#include "render/render_rig_win32.h"
#include "settings/frame_pacing_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

std::vector<std::string> shownMessages;
void CaptureMessage(const char* text, UINT) { shownMessages.push_back(text); }

// A device that can refuse every Reset, and tells what the real device had left at its last release.
class RefusingDevice : public test::TestDevice {
 public:
  RefusingDevice(IDirect3DDevice9* real, std::vector<ULONG>& leftAtRelease)
      : test::TestDevice(real), leftAtRelease_(leftAtRelease) {}
  HRESULT refuseWith = D3D_OK;  // D3D_OK: Reset as the real device does

  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override {
    if (refuseWith != D3D_OK) return refuseWith;
    return test::TestDevice::Reset(parameters);
  }

 protected:
  void Released(ULONG realLeft) override { leftAtRelease_.push_back(realLeft); }

 private:
  std::vector<ULONG>& leftAtRelease_;
};

class DeviceReturnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    shownMessages.clear();
    previousSink_ = SetMessageSink(CaptureMessage);
    MakeApp();
  }
  void MakeApp() {
    app_ = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
    app_->SetMonitorSource([] { return std::vector<MonitorArea>{}; });
    app_->SetRefreshSource([](const MonitorArea&) { return 60u; });
    app_->SetDeviceFactory([this](IDirect3D9* d3d, HWND window, DWORD flags,
                                  D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** created) {
      if (duringCreation_) duringCreation_(window);
      if (failCreation_) return static_cast<HRESULT>(D3DERR_NOTAVAILABLE);
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      devices_.push_back(new RefusingDevice(real, leftAtRelease_));
      devices_.back()->captureFrames = false;
      const size_t index = devices_.size() - 1;
      devices_.back()->onPresent = [this, index] {
        if (index == quitAtDevice_) PostQuitMessage(0);
      };
      *created = devices_.back();
      return hr;
    });
    app_->SetLoopWait([this](DWORD, const HANDLE*, DWORD milliseconds) {
      if (milliseconds != INFINITE) clock_.Advance(milliseconds);
      if (clock_.Now() - waitStart_ > 20000) PostQuitMessage(0);  // a loop that never ends the test fails it
      return static_cast<DWORD>(WAIT_TIMEOUT);
    });
  }
  void TearDown() override {
    app_->Close();
    SetMessageSink(previousSink_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  // Runs the loop until device `index` (in the order made) draws, or 20 s of the clock have gone by.
  void RunUntilDeviceDraws(size_t index) {
    quitAtDevice_ = index;
    waitStart_ = clock_.Now();
    app_->MessageLoop();
    quitAtDevice_ = 999999;
  }

  ManualClock clock_{5000};
  uint32_t waitStart_ = 5000;
  MessageSink previousSink_ = nullptr;
  std::unique_ptr<SaverApp> app_;
  std::vector<RefusingDevice*> devices_;
  std::vector<ULONG> leftAtRelease_;
  size_t quitAtDevice_ = 999999;
  bool failCreation_ = false;
  // Called by the factory while a device is being made, before the real one is asked for.
  std::function<void(HWND window)> duringCreation_;
};

// Reset failing for ever, fifty times over: each time the screen gets a new device within 5 s and draws
// with it; every device given up was released with all its resources (the real device had nothing left).
TEST_F(DeviceReturnTest, ADeviceWhoseResetFailsForEverIsReplacedWithinFiveSeconds) {
  ASSERT_TRUE(app_->StartUp("/s"));
  constexpr size_t kCycles = 50;
  long gdiAfterFirst = -1;
  for (size_t cycle = 1; cycle <= kCycles; ++cycle) {
    RefusingDevice* failing = devices_.back();
    failing->cooperativeLevel = D3DERR_DEVICENOTRESET;
    failing->refuseWith = D3DERR_DEVICELOST;
    const uint32_t start = clock_.Now();
    RunUntilDeviceDraws(cycle);
    ASSERT_EQ(devices_.size(), cycle + 1) << "cycle " << cycle;
    EXPECT_GT(devices_[cycle]->presents, 0) << "cycle " << cycle;
    EXPECT_LE(clock_.Now() - start, 5000u) << "cycle " << cycle;
    EXPECT_GE(clock_.Now() - start, Renderer::kResetGiveUpMs) << "cycle " << cycle << ": Reset had its time";
    // Counted from the end of the first cycle: what a new device makes once (the system's caches of
    // fonts and device contexts) is not a leak; what every cycle makes and keeps is.
    if (cycle == 1) gdiAfterFirst = test::GdiObjectCount();
  }
  const long gdiAfterLast = test::GdiObjectCount();
  std::printf("GDI objects: %ld after the first new device, %ld after the last\n", gdiAfterFirst,
              gdiAfterLast);
  ASSERT_GT(gdiAfterFirst, 0) << "the GDI objects could not be counted";
  EXPECT_EQ(gdiAfterLast, gdiAfterFirst) << "GDI objects left over by " << kCycles - 1 << " new devices";
  EXPECT_EQ(app_->deviceRenewals(), kCycles);
  ASSERT_EQ(leftAtRelease_.size(), kCycles);
  for (ULONG left : leftAtRelease_) EXPECT_EQ(left, 0u);
  EXPECT_TRUE(shownMessages.empty()) << "a new device is made quietly";
}

// A device or a Reset that reports an error no Reset cures is replaced at once; a new device that cannot be
// had leaves the screen black, asked for again once a second, and input still ends the run.
TEST_F(DeviceReturnTest, AnIncurableErrorIsReplacedAtOnceAndANewDeviceThatFailsIsAskedForOnceASecond) {
  ASSERT_TRUE(app_->StartUp("/s"));
  devices_.back()->cooperativeLevel = D3DERR_DEVICENOTRESET;
  devices_.back()->refuseWith = D3DERR_DRIVERINTERNALERROR;
  const uint32_t start = clock_.Now();
  RunUntilDeviceDraws(1);
  ASSERT_EQ(devices_.size(), 2u);
  EXPECT_LT(clock_.Now() - start, 1000u);

  devices_.back()->cooperativeLevel = D3DERR_DRIVERINTERNALERROR;  // the device itself says so
  failCreation_ = true;
  const uint32_t renewalsBefore = app_->deviceRenewals();
  waitStart_ = clock_.Now();
  app_->MessageLoop();  // 20 s of the clock without a device
  const uint32_t renewals = app_->deviceRenewals() - renewalsBefore;
  EXPECT_GE(renewals, 19u);
  EXPECT_LE(renewals, 21u) << "at most once a second";
  EXPECT_EQ(app_->renderer()->device(), nullptr);
  EXPECT_FALSE(app_->runEnded());
  SendMessageA(app_->mainWindow(), WM_KEYDOWN, VK_SPACE, 0);
  app_->HandleRecorded();
  EXPECT_TRUE(app_->runEnded());
  EXPECT_TRUE(shownMessages.empty());
}

// Input that arrives while a device is being made (at start-up, or a new device after Reset gave up) is
// recorded, the device is made, and the loop ends the run at its next pass: every device released,
// the timer resolution given back, nothing left running.
TEST_F(DeviceReturnTest, InputWhileADeviceIsBeingMadeEndsTheRunCleanly) {
  struct Case {
    const char* name;
    bool atStartUp;  // else the new device after a Reset that fails for ever
    UINT message;
    WPARAM wParam;
  };
  const Case cases[] = {
      {"a key at start-up", true, WM_KEYDOWN, VK_SPACE},
      {"a click at start-up", true, WM_LBUTTONDOWN, MK_LBUTTON},
      {"a key during a new device", false, WM_KEYDOWN, VK_SPACE},
      {"a click during a new device", false, WM_LBUTTONDOWN, MK_LBUTTON},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int delivered = 0;
    const auto deliver = [&](HWND window) {
      ++delivered;
      SendMessageA(window, c.message, c.wParam, 0);
    };
    if (c.atStartUp) duringCreation_ = deliver;
    ASSERT_TRUE(app_->StartUp("/s"));
    if (!c.atStartUp) {
      duringCreation_ = deliver;
      devices_.back()->cooperativeLevel = D3DERR_DEVICENOTRESET;
      devices_.back()->refuseWith = D3DERR_DRIVERINTERNALERROR;
    }
    waitStart_ = clock_.Now();
    app_->MessageLoop();  // returns on the quit message the end of the run posts
    EXPECT_EQ(delivered, 1);
    EXPECT_TRUE(app_->runEnded());
    EXPECT_LT(clock_.Now() - waitStart_, 20000u) << "the run ended on the input, not on the test's limit";
    EXPECT_EQ(devices_.size(), c.atStartUp ? 1u : 2u) << "the device being made was made";
    EXPECT_EQ(app_->renderer()->device(), nullptr);
    EXPECT_EQ(leftAtRelease_.size(), devices_.size()) << "every device released";
    for (ULONG left : leftAtRelease_) EXPECT_EQ(left, 0u);
    const HWND window = app_->mainWindow();
    app_->Close();
    EXPECT_FALSE(app_->timerResolutionRaised());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(shownMessages.empty());
    duringCreation_ = nullptr;
    devices_.clear();
    leftAtRelease_.clear();
    MakeApp();
  }
}

// --- Monitors as Windows reports them ---

// The monitors the next Direct3D stand-in will list, as Windows fixes an object's adapters when it is made.
std::vector<HMONITOR> attachedMonitors;

class FixedAdapters : public test::ForwardingDirect3D {
 public:
  FixedAdapters() : test::ForwardingDirect3D(Direct3DCreate9(D3D_SDK_VERSION)), monitors_(attachedMonitors) {}
  ~FixedAdapters() override { real()->Release(); }
  UINT STDMETHODCALLTYPE GetAdapterCount() override { return static_cast<UINT>(monitors_.size()); }
  HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT adapter) override {
    return adapter < monitors_.size() ? monitors_[adapter] : nullptr;
  }
  // Every adapter is the one real adapter underneath.
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT, D3DDISPLAYMODE* mode) override {
    return real()->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, mode);
  }
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT, D3DDEVTYPE type, D3DCAPS9* caps) override {
    return real()->GetDeviceCaps(D3DADAPTER_DEFAULT, type, caps);
  }

 private:
  std::vector<HMONITOR> monitors_;
};

std::vector<std::unique_ptr<FixedAdapters>> standIns;

IDirect3D9* WINAPI MakeStandIn(UINT) {
  standIns.push_back(std::make_unique<FixedAdapters>());
  return standIns.back().get();
}

HMONITOR Handle(uintptr_t value) { return reinterpret_cast<HMONITOR>(value); }

MonitorArea Named(const char* device, HMONITOR handle, RECT area, bool primary = false) {
  MonitorArea monitor;
  monitor.monitor = handle;
  monitor.area = area;
  monitor.primary = primary;
  lstrcpynA(monitor.device, device, sizeof monitor.device);
  return monitor;
}

class MonitorIdentityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    previousSink_ = SetMessageSink(CaptureMessage);
    standIns.clear();
    monitors_ = {Named("\\\\.\\DISPLAY1", Handle(0x1001),
                       RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, true),
                 Named("\\\\.\\DISPLAY2", Handle(0x1002), RECT{100, 100, 420, 340})};
    attachedMonitors = {Handle(0x1001), Handle(0x1002)};
    app_ = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
    app_->SetDirect3DCreator(MakeStandIn);
    app_->SetMonitorSource([this] {
      ++listings_;
      return monitors_;
    });
    app_->SetDeviceFactory([this](IDirect3D9* d3d, HWND window, DWORD flags,
                                  D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** created) {
      madeOn_.push_back(d3d);
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr = static_cast<test::ForwardingDirect3D*>(d3d)->real()->CreateDevice(
          D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      auto* device = new test::TestDevice(real);
      device->captureFrames = false;
      *created = device;
      return hr;
    });
    ASSERT_TRUE(app_->StartUp("/s"));
    ASSERT_EQ(app_->screens().size(), 2u);
  }
  void TearDown() override {
    app_->EndRun();
    app_->Close();
    app_.reset();
    standIns.clear();
    SetMessageSink(previousSink_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void DisplayChanged() {
    SendMessageA(app_->mainWindow(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    clock_.Advance(20);
    app_->IdlePass();
  }

  ManualClock clock_{5000};
  MessageSink previousSink_ = nullptr;
  std::unique_ptr<SaverApp> app_;
  std::vector<MonitorArea> monitors_;
  std::vector<IDirect3D9*> madeOn_;
  int listings_ = 0;
};

// A monitor plugged in mid-run is on no adapter of the object the run started with; after the display
// change a fresh object lists it, and the new screen's device is made on it, on that monitor's adapter.
TEST_F(MonitorIdentityTest, AMonitorAddedMidRunGetsItsDeviceOnItsOwnAdapterOfAFreshObject) {
  ASSERT_EQ(standIns.size(), 1u);
  EXPECT_EQ(app_->screens()[1]->adapter(), 1u);
  monitors_.push_back(Named("\\\\.\\DISPLAY3", Handle(0x1003), RECT{500, 300, 900, 600}));
  attachedMonitors.push_back(Handle(0x1003));
  DisplayChanged();
  ASSERT_EQ(app_->screens().size(), 3u);
  ASSERT_EQ(standIns.size(), 2u) << "a new Direct3D object after the display change";
  EXPECT_EQ(app_->direct3d(), standIns.back().get());
  EXPECT_EQ(app_->screens()[2]->adapter(), 2u);
  EXPECT_EQ(madeOn_.back(), standIns.back().get());
  EXPECT_TRUE(app_->screens()[2]->drawing());
}

// The same device name and rectangle under a new handle is the same monitor: its screen stays (same
// window, same device) and takes the new handle. A new name at the same place is another monitor.
TEST_F(MonitorIdentityTest, AMonitorWhoseHandleChangesKeepsItsScreen) {
  const HWND window = app_->screens()[1]->window();
  const size_t devicesBefore = madeOn_.size();
  monitors_[1].monitor = Handle(0x2002);
  attachedMonitors = {Handle(0x1001), Handle(0x2002)};
  DisplayChanged();
  ASSERT_EQ(app_->screens().size(), 2u);
  EXPECT_EQ(app_->screens()[1]->window(), window);
  EXPECT_EQ(app_->screens()[1]->monitor().monitor, Handle(0x2002));
  EXPECT_EQ(app_->screens()[1]->adapter(), 1u);
  EXPECT_EQ(madeOn_.size(), devicesBefore) << "no new device";
  EXPECT_FALSE(app_->runEnded());

  lstrcpynA(monitors_[1].device, "\\\\.\\DISPLAY7", sizeof monitors_[1].device);
  DisplayChanged();
  ASSERT_EQ(app_->screens().size(), 2u);
  EXPECT_NE(app_->screens()[1]->window(), window) << "another monitor: a screen of its own";
}

// The primary's handle changing under the same name does not end the run; another name for the primary
// does. A list with no monitor changes nothing.
TEST_F(MonitorIdentityTest, ThePrimaryIsKnownByNameAndAnEmptyListChangesNothing) {
  monitors_[0].monitor = Handle(0x3001);
  DisplayChanged();
  EXPECT_FALSE(app_->runEnded());
  const std::vector<MonitorArea> before = monitors_;
  monitors_.clear();
  DisplayChanged();
  EXPECT_EQ(app_->screens().size(), 2u);
  EXPECT_FALSE(app_->runEnded());
  monitors_ = before;
  std::swap(monitors_[0].device, monitors_[1].device);
  DisplayChanged();
  EXPECT_TRUE(app_->runEnded());
}

// A display change while the session is locked or the displays are off is applied when the run is
// visible again, not before.
TEST_F(MonitorIdentityTest, ADisplayChangeWhileHiddenIsAppliedWhenVisibleAgain) {
  monitors_.pop_back();  // the second monitor goes while nothing can be seen
  SendMessageA(app_->mainWindow(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
  const int listingsBefore = listings_;
  DisplayChanged();
  EXPECT_EQ(listings_, listingsBefore) << "not listed while locked";
  EXPECT_EQ(app_->screens().size(), 2u);
  SendMessageA(app_->mainWindow(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
  clock_.Advance(20);
  app_->IdlePass();
  EXPECT_EQ(listings_, listingsBefore + 1);
  EXPECT_EQ(app_->screens().size(), 1u);
}

}  // namespace
}  // namespace lumar
