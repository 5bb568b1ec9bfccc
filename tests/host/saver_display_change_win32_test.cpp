// Monitors that come, go and change size while a full-screen run goes on, in-process under Wine: the
// monitor source is changed and WM_DISPLAYCHANGE sent, as Windows does, and the next loop pass must make
// the screens match the new list, releasing everything a gone monitor's screen held.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "host/saver_app_win32.h"
#include "platform/message_box_win32.h"
#include "render/render_rig_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

void IgnoreMessage(const char*, UINT) {}

MonitorArea Monitor(RECT area, bool primary = false) {
  MonitorArea monitor;
  monitor.area = area;
  monitor.primary = primary;
  return monitor;
}

std::vector<MonitorArea> TwoMonitors() {
  return {Monitor(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, true),
          Monitor(RECT{100, 100, 420, 340})};
}

// One pool where the machine has several cores, none where it has one, with as many threads as cores up to
// the engine's most.
testing::AssertionResult PoolFitsTheMachine(const WorkerPool* pool, int processors) {
  if (processors < 1) return testing::AssertionFailure() << "the system reported " << processors << " cores";
  const int expected = std::min(processors, kMaxEngineThreads);
  if ((pool != nullptr) != (expected > 1))
    return testing::AssertionFailure() << (pool ? "a pool" : "no pool") << " on " << processors << " cores";
  if (pool && pool->threads() != expected)
    return testing::AssertionFailure()
           << pool->threads() << " threads on " << processors << " cores, not " << expected;
  return testing::AssertionSuccess();
}

// What a device creation made: the test double and the real device under it, held once more by the test so
// that its reference count tells whether the renderer let go of everything.
struct Made {
  test::TestDevice* device;
  IDirect3DDevice9* real;
  HWND window;
  D3DPRESENT_PARAMETERS parameters;
};

class DisplayChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    previousSink_ = SetMessageSink(IgnoreMessage);
    monitors_ = TwoMonitors();
    app_ = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
    app_->SetMonitorSource([this] {
      ++listings_;
      return monitors_;
    });
    app_->SetDeviceFactory([this](IDirect3D9* d3d, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS& parameters,
                                  IDirect3DDevice9** created) {
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focus, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      real->AddRef();
      made_.push_back(Made{new test::TestDevice(real), real, parameters.hDeviceWindow, parameters});
      made_.back().device->captureFrames = false;
      *created = made_.back().device;
      return hr;
    });
    ASSERT_TRUE(app_->StartUp("/s"));
    ASSERT_EQ(app_->screens().size(), 2u);
  }
  void TearDown() override {
    app_->EndRun();
    app_->Close();
    for (Made& made : made_) {
      if (made.real) made.real->Release();
    }
    SetMessageSink(previousSink_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // The message Windows sends, then one loop pass, a frame's time after the last.
  void DisplayChanged() {
    SendMessageA(app_->mainWindow(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    clock_.Advance(20);
    app_->IdlePass();
  }

  // The real device the test double of `window` wraps: released completely, with every resource.
  ULONG ReleaseRealDeviceOf(HWND window) {
    for (Made& made : made_) {
      if (made.window == window && made.real) {
        IDirect3DDevice9* real = made.real;
        made.real = nullptr;
        return real->Release();
      }
    }
    return 99;
  }

  std::vector<RECT> ScreenAreas() const {
    std::vector<RECT> areas;
    for (const auto& screen : app_->screens()) {
      RECT area{};
      GetWindowRect(screen->window(), &area);
      areas.push_back(area);
    }
    return areas;
  }

  ManualClock clock_{5000};
  MessageSink previousSink_ = nullptr;
  std::unique_ptr<SaverApp> app_;
  std::vector<MonitorArea> monitors_;
  std::vector<Made> made_;
  int listings_ = 0;
};

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

TEST_F(DisplayChangeTest, ANewMonitorGetsAScreenThatDrawsAtOnce) {
  monitors_.push_back(Monitor(RECT{500, 300, 900, 600}));
  DisplayChanged();
  const auto& screens = app_->screens();
  ASSERT_EQ(screens.size(), 3u);
  const SaverScreen& added = *screens[2];
  EXPECT_TRUE(Same(ScreenAreas()[2], RECT{500, 300, 900, 600}));
  EXPECT_TRUE(IsWindowVisible(added.window()));
  EXPECT_NE(GetWindowLongA(added.window(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(added.field().constants.gridCellsX, 400 / 10 + 1);
  EXPECT_EQ(added.field().sourceSet.sourceCount, 1);
  ASSERT_TRUE(added.drawing());
  // The pass that took the change also drew on every screen, the new one included.
  ASSERT_EQ(made_.size(), 3u);
  for (const Made& made : made_) EXPECT_EQ(made.device->presents, 1) << made.window;
  // Ripples of its own, not a copy of another monitor's.
  EXPECT_NE(screens[2]->random().Rand(), screens[1]->random().Rand());
}

TEST_F(DisplayChangeTest, EveryScreenSumsItsFieldOnTheRunsOneSetOfWorkerThreads) {
  monitors_.push_back(Monitor(RECT{500, 300, 900, 600}));
  DisplayChanged();
  monitors_.pop_back();
  DisplayChanged();
  monitors_.push_back(Monitor(RECT{500, 300, 900, 600}));
  DisplayChanged();
  const auto& screens = app_->screens();
  ASSERT_EQ(screens.size(), 3u);
  const WorkerPool* pool = screens[0]->field().engine.pool();
  // The cores as the system counts them, not as the code under test does.
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  EXPECT_TRUE(PoolFitsTheMachine(pool, static_cast<int>(system.dwNumberOfProcessors)));
  for (const auto& screen : screens) EXPECT_EQ(screen->field().engine.pool(), pool);
}

// The check above, given pools that do not fit the machine: each fails, naming what is wrong.
TEST(PoolFitsTheMachineCheck, FailsForAPoolThatDoesNotFitTheCores) {
  WorkerPool two(2);
  WorkerPool three(3);
  WorkerPool most(kMaxEngineThreads);
  struct Case {
    const char* what;
    const WorkerPool* pool;
    int processors;
    bool fits;
  } const cases[] = {{"two threads on two cores", &two, 2, true},
                     {"no pool on one core", nullptr, 1, true},
                     {"the most threads on many cores", &most, kMaxEngineThreads + 8, true},
                     {"no pool on two cores", nullptr, 2, false},
                     {"a pool on one core", &two, 1, false},
                     {"three threads on two cores", &three, 2, false},
                     {"two threads on three cores", &two, 3, false},
                     {"a count the system cannot give", &two, 0, false}};
  for (const Case& c : cases) {
    const testing::AssertionResult result = PoolFitsTheMachine(c.pool, c.processors);
    EXPECT_EQ(static_cast<bool>(result), c.fits) << c.what << ": " << result.message();
  }
}

TEST_F(DisplayChangeTest, AGoneMonitorsScreenIsReleasedWithNothingLeft) {
  const SaverScreen& gone = *app_->screens()[1];
  const HWND window = gone.window();
  monitors_.pop_back();
  DisplayChanged();
  EXPECT_EQ(app_->screens().size(), 1u);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(app_->runEnded()) << "the run goes on";
  EXPECT_EQ(ReleaseRealDeviceOf(window), 0u) << "the device and its resources were all released";
  clock_.Advance(40);
  app_->FrameStep();
  EXPECT_EQ(made_[0].device->presents, 2);
}

TEST_F(DisplayChangeTest, AResizedMonitorGetsItsScreenRebuiltAtTheNewSize) {
  const HWND before = app_->screens()[1]->window();
  // Its snapshot's bitmap: a GDI object that must be gone with the old screen.
  HBITMAP oldBitmap = app_->screens()[1]->snapshot().snapshotBitmap();
  ASSERT_NE(oldBitmap, nullptr) << "the default record shows the desktop";
  monitors_[1].area = RECT{100, 100, 740, 580};
  DisplayChanged();
  ASSERT_EQ(app_->screens().size(), 2u);
  const SaverScreen& rebuilt = *app_->screens()[1];
  EXPECT_TRUE(Same(ScreenAreas()[1], RECT{100, 100, 740, 580}));
  EXPECT_EQ(rebuilt.field().constants.gridCellsX, 640 / 10 + 1);
  EXPECT_EQ(rebuilt.field().constants.gridCellsY, 480 / 10 + 1);
  EXPECT_FALSE(IsWindow(before));
  EXPECT_EQ(ReleaseRealDeviceOf(before), 0u);
  EXPECT_EQ(GetObjectType(oldBitmap), 0u);
  ASSERT_EQ(made_.size(), 3u);
  EXPECT_EQ(made_[2].device->presents, 1);
}

// A list that fails or comes back empty changes nothing; the same list again changes nothing either.
TEST_F(DisplayChangeTest, AnEmptyOrUnchangedListKeepsTheScreens) {
  const std::vector<RECT> before = ScreenAreas();
  const HWND other = app_->screens()[1]->window();
  for (bool empty : {true, false}) {
    if (empty) monitors_.clear();
    const int listings = listings_;
    DisplayChanged();
    EXPECT_EQ(listings_, listings + 1) << "taken again";
    ASSERT_EQ(app_->screens().size(), 2u) << empty;
    EXPECT_EQ(app_->screens()[1]->window(), other) << empty;
    EXPECT_EQ(made_.size(), 2u) << "no device made again";
    monitors_ = TwoMonitors();
  }
  EXPECT_EQ(ScreenAreas().size(), before.size());
}

// Another monitor became the primary: the run ends cleanly, as after input.
TEST_F(DisplayChangeTest, ANewPrimaryEndsTheRun) {
  // The run started with a primary the list named; now another handle is primary.
  monitors_[0].monitor = reinterpret_cast<HMONITOR>(0x1001);
  app_->EndRun();
  app_->Close();
  made_.clear();
  app_ = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
  app_->SetMonitorSource([this] { return monitors_; });
  ASSERT_TRUE(app_->StartUp("/s"));
  monitors_[0].monitor = reinterpret_cast<HMONITOR>(0x1002);
  BOOL running = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  EXPECT_TRUE(running);
  DisplayChanged();
  EXPECT_TRUE(app_->runEnded());
  SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  EXPECT_FALSE(running);
}

// A monitor of the primary's size that no adapter claims: the default adapter stands in, and the primary
// holds it full screen, so the monitor's device must be windowed, and present without waiting for the
// refresh, so that it never holds up the primary.
TEST_F(DisplayChangeTest, AMonitorNoAdapterClaimsGetsAWindowedDeviceThatNeverWaits) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  monitors_.push_back(Monitor(RECT{1, 0, width + 1, height}));
  DisplayChanged();
  ASSERT_EQ(app_->screens().size(), 3u);
  ASSERT_EQ(made_.size(), 3u);
  EXPECT_FALSE(made_[0].parameters.Windowed) << "the primary is full screen";
  for (size_t i = 1; i < made_.size(); ++i) {
    EXPECT_TRUE(made_[i].parameters.Windowed) << i;
    EXPECT_EQ(made_[i].parameters.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE))
        << i;
  }
  EXPECT_EQ(made_[2].device->presents, 1);
}

// Releasing a full-screen device restores the screen mode, which sends messages; one of them (input, here)
// leads back into close-down while it releases. The device is released once.
int deviceReleases = 0;
class ModeRestoringDevice : public test::TestDevice {
 public:
  using test::TestDevice::TestDevice;
  HWND window = nullptr;
  ULONG STDMETHODCALLTYPE Release() override {
    if (++deviceReleases == 1) SendMessageA(window, WM_KEYDOWN, 'A', 0);
    return test::TestDevice::Release();
  }
};

TEST(SaverCloseDown, InputWhileTheDeviceIsReleasedDoesNotReleaseItAgain) {
  ManualClock clock(5000);
  deviceReleases = 0;
  {
    SaverApp app(GetModuleHandleA(nullptr), clock);
    app.SetMonitorSource([] { return std::vector<MonitorArea>{}; });
    app.SetDeviceFactory([](IDirect3D9* d3d, HWND window, DWORD flags, D3DPRESENT_PARAMETERS& parameters,
                            IDirect3DDevice9** created) {
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      auto* device = new ModeRestoringDevice(real);
      device->window = window;
      device->captureFrames = false;
      *created = device;
      return hr;
    });
    ASSERT_TRUE(app.StartUp("/s"));
    app.EndRun();
    EXPECT_EQ(deviceReleases, 1);
    EXPECT_TRUE(app.runEnded());
    EXPECT_EQ(app.renderer()->device(), nullptr);
    app.Close();
  }
  EXPECT_EQ(deviceReleases, 1);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

// A run that starts while an ending one still holds a signalled "LumarEvent" starts it afresh, so that a
// preview waits for this run.
TEST(SaverEvent, AnEventLeftSignalledIsResetByTheNextRun) {
  HANDLE ending = CreateEventA(nullptr, TRUE, TRUE, kSaverEventName);
  ASSERT_NE(ending, nullptr);
  ManualClock clock(5000);
  {
    SaverApp app(GetModuleHandleA(nullptr), clock);
    app.SetMonitorSource([] { return std::vector<MonitorArea>{}; });
    ASSERT_TRUE(app.StartUp("/s"));
    EXPECT_EQ(WaitForSingleObject(ending, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    app.EndRun();
    app.Close();
  }
  EXPECT_EQ(WaitForSingleObject(ending, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(ending);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace
}  // namespace lumar
