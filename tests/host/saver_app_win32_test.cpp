// The program's start-up, window procedure and shutdown, run in-process under Wine with the real
// registry, Direct3D device and window manager; the clock is a manual one so runs are exact.
#include "host/saver_app_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/stored_record_win32.h"
#include "platform/message_box_win32.h"
#include "render/render_rig_win32.h"
#include "settings/settings_registry_win32.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

std::vector<std::string> shownMessages;
void CaptureMessage(const char* text, UINT) { shownMessages.push_back(text); }

class SaverAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);  // a first run: no settings
    shownMessages.clear();
    previousSink_ = SetMessageSink(CaptureMessage);
  }
  void TearDown() override {
    SetMessageSink(previousSink_);
    DrainMessages();
    DeleteSettingsKey();
  }

  // Removes what a run left in this thread's queue (the quit message of CloseDown among them); returns
  // whether a quit message was among them.
  static bool DrainMessages() {
    bool quit = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT)
        quit = true;
      else
        DispatchMessageA(&msg);
    }
    return quit;
  }

  static bool ClassRegistered() {
    WNDCLASSA wc;
    return GetClassInfoA(GetModuleHandleA(nullptr), kWindowClass, &wc) != 0;
  }

  static BOOL SaverRunningSetting() {
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running;
  }

  ManualClock clock_{5000};
  MessageSink previousSink_ = nullptr;
};

TEST_F(SaverAppTest, FirstFullScreenRunTakesTheDesktopModeAndShutsDownCleanly) {
  {
    SaverApp app(GetModuleHandleA(nullptr), clock_);
    ASSERT_TRUE(app.StartUp("/s")) << (shownMessages.empty() ? "" : shownMessages[0]);
    EXPECT_EQ(app.mode(), ScreenSaverMode::Saver);
    const ParameterSet& record = app.settings().parameters;
    EXPECT_EQ(app.settings().settingsWereReset, 1);
    EXPECT_EQ(record.screenWidth, static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_EQ(record.screenHeight, static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN)));
    EXPECT_EQ(record.screenFormat, kFormatX8R8G8B8);
    EXPECT_NE(record.deviceBehaviorFlags, 0u);
    EXPECT_TRUE(ClassRegistered());
    EXPECT_EQ(SaverRunningSetting(), TRUE);
    // The event a preview waits on exists while the run lasts.
    HANDLE held = OpenEventA(EVENT_ALL_ACCESS, FALSE, kSaverEventName);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(WaitForSingleObject(held, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // One ripple at once; the frame step draws.
    EXPECT_EQ(app.field().sourceSet.sourceCount, 1);
    clock_.Advance(40);
    app.FrameStep();
    EXPECT_EQ(app.renderer()->framesDrawn(), 1u);
    EXPECT_FLOAT_EQ(app.frameTime(), 0.04f);

    // A key ends the run: the setting is back to 0 and the loop gets its quit message.
    SendMessageA(app.mainWindow(), WM_KEYDOWN, 'A', 0);
    EXPECT_NE(app.renderer()->device(), nullptr) << "the window procedure only records";
    app.HandleRecorded();
    EXPECT_EQ(SaverRunningSetting(), FALSE);
    EXPECT_EQ(app.renderer()->device(), nullptr);
    EXPECT_TRUE(DrainMessages());
    app.Close();
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(WaitForSingleObject(held, 0), static_cast<DWORD>(WAIT_OBJECT_0));  // signalled at shutdown
    CloseHandle(held);
  }
  // No settings were written by the run.
  SettingsState after;
  EXPECT_FALSE(ReadSettings(after.parameters));
  HANDLE gone = OpenEventA(EVENT_ALL_ACCESS, FALSE, kSaverEventName);
  EXPECT_EQ(gone, nullptr);
  if (gone) CloseHandle(gone);
}

// The grid nodes of the first `count` ripples of a run, with "Random Start" off.
std::vector<std::pair<int, int>> FirstRipples(ManualClock& clock, int count) {
  SaverApp app(GetModuleHandleA(nullptr), clock);
  std::vector<std::pair<int, int>> nodes;
  if (!app.StartUp("/s")) return nodes;
  // Whole seconds per frame: the schedule follows the clock, and few frames keep the test quick.
  for (int step = 0; step < 300 && app.field().sourceSet.sourceCount < count; ++step) {
    clock.Advance(1000);
    app.FrameStep();
  }
  const SourceSet& set = app.field().sourceSet;
  for (int i = 0; i < set.sourceCount && i < count; ++i)
    nodes.emplace_back(set.sources[i].nodeX, set.sources[i].nodeY);
  app.EndRun();
  app.Close();
  return nodes;
}

UINT askedDirect3DVersion = 0;
IDirect3D9* WINAPI RecordingDirect3DCreate(UINT version) {
  askedDirect3DVersion = version;
  return Direct3DCreate9(version);
}
IDirect3D9* WINAPI MissingDirect3D(UINT) { return nullptr; }

TEST_F(SaverAppTest, AsksForDirect3DVersion31AndEndsWithAMessageWithoutIt) {
  {
    SaverApp app(GetModuleHandleA(nullptr), clock_);
    app.SetDirect3DCreator(RecordingDirect3DCreate);
    EXPECT_TRUE(app.StartUp("/s"));
    EXPECT_EQ(askedDirect3DVersion, 31u);
    app.Close();
  }
  DrainMessages();
  SaverApp app(GetModuleHandleA(nullptr), clock_);
  app.SetDirect3DCreator(MissingDirect3D);
  EXPECT_FALSE(app.StartUp("/s"));
  EXPECT_EQ(shownMessages, std::vector<std::string>{"Application requred DirectX 9.0b or higher"});
  app.Close();
}

TEST_F(SaverAppTest, WithoutRandomStartTwoRunsSpawnAtTheSamePlaces) {
  ManualClock first(1000);
  ManualClock second(777777);  // a different start time changes nothing
  const auto a = FirstRipples(first, 3);
  DrainMessages();
  const auto b = FirstRipples(second, 3);
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a, b);
  EXPECT_NE(a[0], a[1]);
}

TEST_F(SaverAppTest, FailedDeviceCreationEndsTheRunWithoutLeaks) {
  SaverApp app(GetModuleHandleA(nullptr), clock_);
  app.SetDeviceFactory([](IDirect3D9*, HWND, DWORD, D3DPRESENT_PARAMETERS&, IDirect3DDevice9** device) {
    *device = nullptr;
    return static_cast<HRESULT>(D3DERR_NOTAVAILABLE);
  });
  EXPECT_FALSE(app.StartUp("/s"));
  ASSERT_EQ(shownMessages.size(), 1u);
  EXPECT_EQ(shownMessages[0], "Unable to create render device!");
  app.Close();
  EXPECT_FALSE(ClassRegistered());
  EXPECT_EQ(SaverRunningSetting(), FALSE);
  HANDLE event = OpenEventA(EVENT_ALL_ACCESS, FALSE, kSaverEventName);
  EXPECT_EQ(event, nullptr);
  if (event) CloseHandle(event);
}

TEST_F(SaverAppTest, GarbagePreviewCommandLinesFailQuietly) {
  for (const char* arguments : {"/p", "/p abc", "/p 99999999999999999999", "-P -1", "/a"}) {
    SaverApp app(GetModuleHandleA(nullptr), clock_);
    if (std::string(arguments) == "/a") continue;  // the password change has its own tests
    EXPECT_FALSE(app.StartUp(arguments)) << arguments;
    app.Close();
    EXPECT_FALSE(ClassRegistered()) << arguments;
  }
  EXPECT_TRUE(shownMessages.empty());
}

TEST_F(SaverAppTest, FullScreenSwallowsSwitchingCommandsAndToleratesFiveMoves) {
  SaverApp app(GetModuleHandleA(nullptr), clock_);
  ASSERT_TRUE(app.StartUp("/s"));
  HWND window = app.mainWindow();
  for (WPARAM command : {SC_NEXTWINDOW, SC_PREVWINDOW, SC_SCREENSAVE, SC_KEYMENU}) {
    EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, command, 0), 0);
  }
  app.HandleRecorded();
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(app.runEnded());
  for (int i = 0; i < 5; ++i) SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(10 * i, 7));
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(40, 7));  // the same place again
  app.HandleRecorded();
  EXPECT_EQ(app.input().mouseMoveCount(), 5u);
  EXPECT_NE(app.renderer()->device(), nullptr);               // still running
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(-3, -3));  // a sixth place, negative coordinates
  app.HandleRecorded();
  EXPECT_EQ(app.renderer()->device(), nullptr);
  EXPECT_TRUE(DrainMessages());
  app.Close();
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SaverAppTest, PreviewDrawsIntoAChildOfItsParentAndEndsWithIt) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "LumarTestPanel";
  RegisterClassA(&wc);
  HWND panel = CreateWindowExA(0, wc.lpszClassName, "panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200,
                               150, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(panel, nullptr);
  const auto handle = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(panel));
  {
    SaverApp app(GetModuleHandleA(nullptr), clock_);
    // The preview's frames do not reach the screen under Wine: read them back before Present instead.
    test::TestDevice* device = nullptr;
    app.SetDeviceFactory([&device](IDirect3D9* d3d, HWND window, DWORD flags,
                                   D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** created) {
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      device = new test::TestDevice(real);
      *created = device;
      return hr;
    });
    // "Show FPS" stored as a user's settings would be: start-up reads the record from the registry.
    ParameterSet stored = test::AcceptedRecord();
    stored.showFps = 1;
    ASSERT_TRUE(WriteSettings(stored));
    ASSERT_TRUE(app.StartUp("/p " + std::to_string(handle)));
    ASSERT_EQ(app.settings().settingsWereReset, 0) << "the stored record was not accepted";
    EXPECT_EQ(app.mode(), ScreenSaverMode::Preview);
    HWND child = app.mainWindow();
    EXPECT_EQ(GetParent(child), panel);
    RECT panelRect, childRect;
    GetWindowRect(panel, &panelRect);
    GetClientRect(child, &childRect);
    EXPECT_EQ(childRect.right, panelRect.right - panelRect.left);
    EXPECT_EQ(childRect.bottom, panelRect.bottom - panelRect.top);
    EXPECT_EQ(app.settings().parameters.showFps, 0);  // never in the preview
    ParameterSet after{};
    ASSERT_TRUE(ReadSettings(after));
    EXPECT_EQ(after.showFps, 1);  // and the stored value is left as it was
    clock_.Advance(30);
    app.FrameStep();
    EXPECT_EQ(app.renderer()->framesDrawn(), 1u);
    // The frame is the child's size and shows a picture (the desktop), not just the clear colour.
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->presents, 1);
    const test::Frame& frame = device->lastFrame;
    EXPECT_EQ(frame.width, childRect.right);
    EXPECT_EQ(frame.height, childRect.bottom);
    int cleared = 0;
    for (uint32_t pixel : frame.pixels) cleared += pixel == 0xFF0A0A32u;
    EXPECT_LT(cleared, static_cast<int>(frame.pixels.size()) / 2);
    // Input does not end a preview; the parent destroying the window does.
    SendMessageA(child, WM_KEYDOWN, 'A', 0);
    SendMessageA(child, WM_LBUTTONDOWN, 0, 0);
    app.HandleRecorded();
    EXPECT_NE(app.renderer()->device(), nullptr);
    DestroyWindow(panel);
    app.HandleRecorded();
    EXPECT_EQ(app.renderer()->device(), nullptr);
    EXPECT_TRUE(DrainMessages());
    app.Close();
  }
  UnregisterClassA("LumarTestPanel", GetModuleHandleA(nullptr));
}

}  // namespace
}  // namespace lumar
