// A full-screen run over several monitors, in-process under Wine: the test's one display is split into
// made-up monitors (windows of their own over parts of it), each with a test-double device so that frames
// and device loss can be watched per monitor.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/saver_app_win32.h"
#include "platform/message_box_win32.h"
#include "render/render_rig_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

std::vector<std::string> shownMessages;
void CaptureMessage(const char* text, UINT) { shownMessages.push_back(text); }

constexpr uint32_t kClearColour = 0xFF0A0A32u;

// The primary (the whole display) and two others: 320 x 240 at (100, 100) and 400 x 300 at (500, 300).
std::vector<MonitorArea> ThreeMonitors() {
  std::vector<MonitorArea> monitors(3);
  monitors[0].area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  monitors[0].primary = true;
  monitors[1].area = RECT{100, 100, 420, 340};
  monitors[2].area = RECT{500, 300, 900, 600};
  return monitors;
}

class SaverMonitorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    shownMessages.clear();
    previousSink_ = SetMessageSink(CaptureMessage);
  }
  void TearDown() override {
    SetMessageSink(previousSink_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
  }

  // An app over `monitors` whose devices are test doubles, in creation order; `failFrom` makes every
  // device creation from that one on fail.
  std::unique_ptr<SaverApp> MakeApp(std::vector<MonitorArea> monitors, size_t failFrom = 99) {
    auto app = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
    app->SetMonitorSource([monitors] { return monitors; });
    app->SetDeviceFactory([this, failFrom](IDirect3D9* d3d, HWND window, DWORD flags,
                                           D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** created) {
      if (attempts_++ >= failFrom) return static_cast<HRESULT>(D3DERR_NOTAVAILABLE);
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      devices_.push_back(new test::TestDevice(real));
      *created = devices_.back();
      return hr;
    });
    return app;
  }

  static bool ShowsAPicture(const test::Frame& frame) {
    int cleared = 0;
    for (uint32_t pixel : frame.pixels) cleared += pixel == kClearColour;
    return !frame.pixels.empty() && cleared < static_cast<int>(frame.pixels.size()) / 2;
  }

  ManualClock clock_{5000};
  MessageSink previousSink_ = nullptr;
  std::vector<test::TestDevice*> devices_;
  size_t attempts_ = 0;
};

TEST_F(SaverMonitorsTest, EveryMonitorGetsAWindowAFieldAndADeviceOfItsSize) {
  auto app = MakeApp(ThreeMonitors());
  ASSERT_TRUE(app->StartUp("/s")) << (shownMessages.empty() ? "" : shownMessages[0]);
  const auto& screens = app->screens();
  ASSERT_EQ(screens.size(), 3u);
  ASSERT_EQ(devices_.size(), 3u);
  const RECT expected[] = {{100, 100, 420, 340}, {500, 300, 900, 600}};
  for (size_t i = 1; i < 3; ++i) {
    const SaverScreen& screen = *screens[i];
    RECT area;
    GetWindowRect(screen.window(), &area);
    EXPECT_TRUE(EqualRect(&area, &expected[i - 1])) << i;
    char name[16] = {};
    GetClassNameA(screen.window(), name, sizeof name);
    EXPECT_STREQ(name, kWindowClass);
    EXPECT_NE(GetWindowLongA(screen.window(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    const int width = area.right - area.left, height = area.bottom - area.top;
    EXPECT_EQ(screen.field().constants.gridCellsX, width / 10 + 1);
    EXPECT_EQ(screen.field().constants.gridCellsY, height / 10 + 1);
    EXPECT_EQ(screen.field().sourceSet.sourceCount, 1);  // its first ripple at once
  }
  // The primary keeps the record's full-screen mode; the others draw at their own size.
  clock_.Advance(40);
  app->FrameStep();
  EXPECT_EQ(devices_[0]->lastFrame.width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(devices_[1]->lastFrame.width, 320);
  EXPECT_EQ(devices_[1]->lastFrame.height, 240);
  EXPECT_EQ(devices_[2]->lastFrame.width, 400);
  for (test::TestDevice* device : devices_) {
    EXPECT_EQ(device->presents, 1);
    EXPECT_TRUE(ShowsAPicture(device->lastFrame));
  }
  app->EndRun();
  for (const auto& screen : screens) EXPECT_EQ(screen->renderer()->device(), nullptr);
  app->Close();
  EXPECT_EQ(app->screens().size(), 1u);
}

TEST_F(SaverMonitorsTest, ASecondaryDeviceRecoversFromLossWhileTheOthersGoOn) {
  auto app = MakeApp(ThreeMonitors());
  ASSERT_TRUE(app->StartUp("/s"));
  ASSERT_EQ(devices_.size(), 3u);
  test::TestDevice* lost = devices_[1];
  lost->cooperativeLevel = D3DERR_DEVICELOST;
  for (int frame = 0; frame < 3; ++frame) {
    clock_.Advance(40);
    app->FrameStep();
  }
  EXPECT_EQ(devices_[0]->presents, 3);
  EXPECT_EQ(lost->presents, 0);
  EXPECT_EQ(devices_[2]->presents, 3);
  // The lost monitor's ripples keep their schedule.
  EXPECT_GE(app->screens()[1]->field().sourceSet.sourceCount, 1);

  lost->cooperativeLevel = D3DERR_DEVICENOTRESET;
  clock_.Advance(40);
  app->FrameStep();
  EXPECT_EQ(lost->resets, 1);
  EXPECT_EQ(lost->presents, 1);
  EXPECT_TRUE(ShowsAPicture(lost->lastFrame));
  EXPECT_EQ(devices_[0]->resets + devices_[2]->resets, 0);
  EXPECT_EQ(devices_[0]->presents, 4);
  EXPECT_EQ(devices_[2]->presents, 4);
  app->EndRun();
  app->Close();
}

TEST_F(SaverMonitorsTest, AMonitorWithoutADeviceIsBlackAndTheRunGoesOn) {
  auto app = MakeApp(ThreeMonitors(), 1);  // only the primary's device can be made
  ASSERT_TRUE(app->StartUp("/s"));
  EXPECT_TRUE(shownMessages.empty());  // the other monitors fail quietly
  const auto& screens = app->screens();
  ASSERT_EQ(screens.size(), 3u);
  EXPECT_FALSE(screens[1]->drawing());
  EXPECT_FALSE(screens[2]->drawing());
  clock_.Advance(40);
  app->FrameStep();
  EXPECT_EQ(devices_.size(), 1u);
  EXPECT_EQ(devices_[0]->presents, 1);
  // Painted black, whatever lies under it.
  HWND window = screens[1]->window();
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  HDC dc = GetDC(window);
  EXPECT_EQ(GetPixel(dc, 50, 50), RGB(0, 0, 0));
  ReleaseDC(window, dc);
  app->EndRun();
  app->Close();
}

TEST_F(SaverMonitorsTest, MouseMovesCountOverAllWindowsAndInputOnAnyEndsTheRun) {
  auto app = MakeApp(ThreeMonitors());
  ASSERT_TRUE(app->StartUp("/s"));
  HWND primary = app->mainWindow();
  HWND second = app->screens()[1]->window();
  // The same window coordinates on two monitors are two places on the desktop.
  SendMessageA(primary, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  SendMessageA(second, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  SendMessageA(second, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));     // the same place again
  SendMessageA(primary, WM_MOUSEMOVE, 0, MAKELPARAM(110, 110));  // where (10, 10) of the second is
  SendMessageA(primary, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  SendMessageA(second, WM_MOUSEMOVE, 0, MAKELPARAM(30, 30));
  SendMessageA(second, WM_MOUSEMOVE, 0, MAKELPARAM(40, 40));
  app->HandleRecorded();
  EXPECT_EQ(app->input().mouseMoveCount(), 5u);
  EXPECT_FALSE(app->runEnded());
  // The swallowed commands do nothing there either.
  for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE, SC_KEYMENU})
    EXPECT_EQ(SendMessageA(second, WM_SYSCOMMAND, command, 0), 0);
  app->HandleRecorded();
  EXPECT_FALSE(app->runEnded());
  SendMessageA(second, WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
  app->HandleRecorded();
  EXPECT_TRUE(app->runEnded());
  app->Close();

  for (UINT message : {static_cast<UINT>(WM_KEYDOWN), static_cast<UINT>(WM_RBUTTONDOWN)}) {
    devices_.clear();
    auto again = MakeApp(ThreeMonitors());
    ASSERT_TRUE(again->StartUp("/s"));
    SendMessageA(again->screens()[2]->window(), message, 0, 0);
    again->HandleRecorded();
    EXPECT_TRUE(again->runEnded()) << message;
    again->Close();
  }
}

// Each monitor draws its ripples from a generator of its own; the primary's are those of a run on one
// monitor.
TEST_F(SaverMonitorsTest, ThePrimarysRipplesAreThoseOfOneMonitor) {
  auto FirstRipples = [this](std::vector<MonitorArea> monitors) {
    auto app = MakeApp(std::move(monitors));
    std::vector<std::vector<std::pair<int, int>>> nodes;
    if (!app->StartUp("/s")) return nodes;
    for (int step = 0; step < 300 && app->field().sourceSet.sourceCount < 3; ++step) {
      clock_.Advance(1000);
      app->FrameStep();
    }
    for (const auto& screen : app->screens()) {
      nodes.emplace_back();
      const SourceSet& set = screen->field().sourceSet;
      for (int i = 0; i < set.sourceCount && i < 3; ++i)
        nodes.back().emplace_back(set.sources[i].nodeX, set.sources[i].nodeY);
    }
    app->EndRun();
    app->Close();
    return nodes;
  };
  std::vector<MonitorArea> one = ThreeMonitors();
  one.resize(1);
  const auto alone = FirstRipples(one);
  std::vector<MonitorArea> twins = ThreeMonitors();
  twins[2].area = RECT{500, 300, 820, 540};  // two monitors alike but for their index and place
  const auto beside = FirstRipples(twins);
  ASSERT_EQ(alone.size(), 1u);
  ASSERT_EQ(beside.size(), 3u);
  ASSERT_EQ(alone[0].size(), 3u);
  EXPECT_EQ(beside[0], alone[0]);
  ASSERT_FALSE(beside[1].empty() || beside[2].empty());
  EXPECT_NE(beside[1].front(), beside[2].front());
}

}  // namespace
}  // namespace lumar
