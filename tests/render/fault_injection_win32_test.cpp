// Every Direct3D and GDI call of a scripted full-screen run fails once, in turn: the run is counted first,
// then made again once for each call and each error that call can really return. Each time start-up
// either succeeds or ends with a message of its failure table (none only where the table says so: the
// device's resources and the desktop's picture), a run that started draws again on every monitor once the
// fault has passed or shows black there, and at the end every COM object is released, every GDI object
// deleted, every window gone and the screen-saver-running setting back to 0.
#include "render/fault_injection_win32.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/saver_app_win32.h"
#include "platform/message_box_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

using test::FaultKind;
using test::Faults;
using test::FaultyDevice;
using test::Live;

std::vector<std::string> shownMessages;
void CaptureMessage(const char* text, UINT) { shownMessages.push_back(text); }

// The Direct3D object of the run under test, and the real one behind it.
IDirect3D9* realDirect3D = nullptr;
test::FaultyDirect3D* faultyDirect3D = nullptr;

IDirect3D9* WINAPI CreateFaultyDirect3D(UINT version) {
  if (Faults().Fails("Direct3DCreate9", test::kNullHandleOnly, __builtin_return_address(0))) return nullptr;
  realDirect3D = Direct3DCreate9(version);
  if (!realDirect3D) return nullptr;
  faultyDirect3D = new test::FaultyDirect3D(realDirect3D);
  return faultyDirect3D;
}

// Every message start-up, the adapter checks and device creation may show.
const std::set<std::string>& StartUpMessages() {
  static const std::set<std::string> messages = {
      "Application requred DirectX 9.0b or higher",
      "Not enought memory for enumeration modes",
      "Current mode not supported by DirectX",
      "Not enough memory for the wave field",
      "Screen size not supported",
      "In your system not found DirectX-compatible adapters",
      "Unable to detect current mode",
      "Unable to get HAL features",
      "Window mode not supported by HAL",
      "Not supported DepthFormat = D3DFMT_D16 (1)",
      "Not supported DepthFormat = D3DFMT_D16 (2)",
      "Unable to create render device!",
  };
  return messages;
}

// Whether a start-up that failed at `site` may end with no message: the failure table gives none for the
// calls that make the device's objects and fill them (resource creation, left to its caller) or take the
// desktop's picture, but every failure of Direct3D itself or of the adapter checks and device creation
// (IDirect3D9) has its message.
bool MayFailSilently(const std::string& site) {
  return site != "Direct3DCreate9" && site.rfind("IDirect3D9::", 0) != 0 && !site.empty();
}

// A start-up that failed at `site` told the user why: one message, of its table (none only where the
// table says so).
void ExpectStartUpMessage(const std::vector<std::string>& shown, const std::string& site) {
  if (shown.empty()) {
    EXPECT_TRUE(MayFailSilently(site))
        << "the start-up failed at " << (site.empty() ? "no injected fault" : site) << " showing no message";
    return;
  }
  EXPECT_EQ(shown.size(), 1u) << "the start-up failed at " << site << " showing several messages";
  for (const std::string& message : shown)
    EXPECT_TRUE(StartUpMessages().count(message)) << "not a start-up message: " << message;
  if (site == "Direct3DCreate9") {
    EXPECT_EQ(shown[0], "Application requred DirectX 9.0b or higher");
  }
}

// Each error kind is injected at least once: a kind given no call would pass with no fault injected.
void ExpectCallsChosen(const std::vector<long>& chosen, FaultKind kind) {
  EXPECT_FALSE(chosen.empty()) << "no call chosen to return " << test::FaultName(kind)
                               << ": no fault would be injected";
}

int WindowsOfClass(const char* name) {
  struct Search {
    const char* name;
    int found;
  } search{name, 0};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        char text[32] = {};
        GetClassNameA(window, text, sizeof text);
        if (std::string(text) == s->name) ++s->found;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL SaverRunningSetting() {
  BOOL running = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
  return running;
}

// The phases of the scripted run: a fault in each place of each is tried.
enum Phase { kStartingUp, kRunning, kClosingDown };

// What one run came to.
struct RunOutcome {
  bool started = false;
  std::string failedSite;  // where the fault went; empty when the run had fewer calls
};

class FaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath);
    previousSink_ = SetMessageSink(CaptureMessage);
  }
  void TearDown() override {
    SetMessageSink(previousSink_);
    Faults().Arm(FaultKind::kOutOfMemory, 0);
  }

  // The primary (the whole display) and a second monitor of 320 x 240 inside it.
  static std::vector<MonitorArea> TwoMonitors() {
    std::vector<MonitorArea> monitors(2);
    monitors[0].area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    monitors[0].primary = true;
    monitors[1].area = RECT{100, 100, 420, 340};
    return monitors;
  }

  void Frames(SaverApp& app, int count) {
    for (int i = 0; i < count; ++i) {
      clock_.Advance(40);
      app.FrameStep();
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
  }

  static void DisplayChanged(SaverApp& app) {
    SendMessageA(app.mainWindow(), WM_DISPLAYCHANGE, 32,
                 MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    app.IdlePass();
  }

  // The scripted run with the `failAt`-th call of `kind` failing (0: none): start-up on two monitors, a
  // few frames, a device-loss cycle on each device, the second monitor removed and added, then with the fault
  // past a few frames in which every monitor must draw or stay black, close-down and shutdown. Checks
  // everything it can on the way.
  RunOutcome ScriptedRun(FaultKind kind, long failAt) {
    MSG stale;
    while (PeekMessageA(&stale, nullptr, 0, 0, PM_REMOVE)) {
      if (stale.message != WM_QUIT) DispatchMessageA(&stale);
    }
    shownMessages.clear();
    Live() = test::LiveObjects{};
    Faults().Arm(kind, failAt);
    RunOutcome outcome;
    {
      test::FaultyGdi gdi;
      SaverApp app(GetModuleHandleA(nullptr), clock_);
      std::vector<MonitorArea> monitors = TwoMonitors();
      app.SetMonitorSource([&monitors] { return monitors; });
      app.SetDirect3DCreator(CreateFaultyDirect3D);
      outcome.started = app.StartUp("/s");
      Faults().phase = kRunning;
      if (outcome.started) {
        for (const auto& screen : app.screens()) ShowWindow(screen->window(), SW_SHOWNOACTIVATE);
        Frames(app, 1);
        // A device loss on each device, one after the other.
        for (const auto& screen : app.screens()) {
          if (!screen->drawing()) continue;
          static_cast<FaultyDevice*>(screen->renderer()->device())->Lose();
          Frames(app, 2);  // lost, then reset and drawn
        }
        // The second monitor removed, then added again, as Windows reports it: one loop pass each.
        monitors.pop_back();
        DisplayChanged(app);
        monitors = TwoMonitors();
        DisplayChanged(app);
        EXPECT_EQ(app.screens().size(), 2u) << "the monitor added again has no screen";
        Frames(app, 3);
        // Frames outside the count, to see the run after a fault that has passed (one still to come
        // falls in the close-down): every monitor with a device draws again (a lost one within a few
        // steps), and one without keeps its black window.
        Faults().paused = true;
        std::vector<int> before;
        for (const auto& screen : app.screens())
          before.push_back(
              screen->drawing() ? static_cast<FaultyDevice*>(screen->renderer()->device())->presented : -1);
        Frames(app, 3);
        for (size_t i = 0; i < app.screens().size(); ++i) {
          const SaverScreen& screen = *app.screens()[i];
          if (screen.drawing()) {
            EXPECT_GT(static_cast<FaultyDevice*>(screen.renderer()->device())->presented, before[i])
                << "monitor " << i << " draws no more";
          } else {
            EXPECT_NE(i, 0u) << "the primary lost its device for good";
            EXPECT_TRUE(IsWindowVisible(screen.window()))
                << "monitor " << i << " shows neither saver nor black";
          }
        }
        EXPECT_TRUE(shownMessages.empty()) << shownMessages[0];
        Faults().paused = false;
        Faults().phase = kClosingDown;
        app.EndRun();
      } else {
        // Start-up failed: a message of its table.
        ExpectStartUpMessage(shownMessages, Faults().failedSite);
      }
      app.Close();
    }
    outcome.failedSite = Faults().failedSite;
    Faults().Disarm();
    EXPECT_EQ(Live().com, 0) << "COM objects of ours still referenced";
    EXPECT_EQ(Live().realLeftOver, 0) << "real objects that outlived their last release";
    EXPECT_EQ(Live().gdi, 0) << "GDI objects not deleted";
    EXPECT_EQ(WindowsOfClass(kWindowClass), 0) << "saver windows left";
    EXPECT_EQ(SaverRunningSetting(), FALSE);
    delete faultyDirect3D;
    faultyDirect3D = nullptr;
    if (realDirect3D) {
      EXPECT_EQ(realDirect3D->Release(), 0u) << "the Direct3D object outlived the run";
    }
    realDirect3D = nullptr;
    UnregisterClassA(kWindowClass, GetModuleHandleA(nullptr));
    return outcome;
  }

  ManualClock clock_{5000};
  MessageSink previousSink_ = nullptr;
};

TEST_F(FaultInjectionTest, TheScriptedRunWithoutFaultsDrawsOnBothMonitorsAndLeavesNothing) {
  const RunOutcome outcome = ScriptedRun(FaultKind::kOutOfMemory, 0);
  EXPECT_TRUE(outcome.started) << (shownMessages.empty() ? "" : shownMessages[0]);
  EXPECT_TRUE(outcome.failedSite.empty());
  // Both devices and their resources were made through the doubles.
  EXPECT_GE(Faults().sites["IDirect3D9::CreateDevice"], 2);
  EXPECT_GE(Faults().sites["IDirect3DDevice9::Reset"], 2);
  for (FaultKind kind : {FaultKind::kOutOfMemory, FaultKind::kOutOfVideoMemory, FaultKind::kInvalidCall,
                         FaultKind::kDeviceLost, FaultKind::kNullHandle})
    std::printf("fault injection: %ld calls can return %s\n", Faults().count(kind), test::FaultName(kind));
  for (const auto& site : Faults().sites) std::printf("  %s: %ld calls\n", site.first.c_str(), site.second);
}

// Each error kind in turn: count the calls that can return it, then fail each one once.
class EveryCallFailsOnce : public FaultInjectionTest, public ::testing::WithParamInterface<FaultKind> {};

// Which calls of `kind` to fail. In the test command: the first call of each call site of our code, with
// the error kinds taken in turn from site to site. With LUMAR_FAULT_SWEEP in the environment, longer runs
// (not for the test command): "places", the first call of each place (call site, phase and device) with
// every error it can return; "every", every call with every error.
std::vector<long> CallsToFail(FaultKind kind) {
  char sweep[16] = {};
  GetEnvironmentVariableA("LUMAR_FAULT_SWEEP", sweep, sizeof sweep);
  if (std::string(sweep) == "every") {
    std::vector<long> every;
    for (long n = 1; n <= Faults().count(kind); ++n) every.push_back(n);
    return every;
  }
  if (std::string(sweep) == "places") return Faults().FirstCalls(kind);
  return Faults().FirstCallOfEachSite(kind);
}

TEST_P(EveryCallFailsOnce, AndTheRunStaysSound) {
  const FaultKind kind = GetParam();
  ScriptedRun(kind, 0);
  const long calls = Faults().count(kind);
  const size_t callSites = Faults().callSites();
  const std::vector<long> chosen = CallsToFail(kind);
  ASSERT_GT(calls, 0) << test::FaultName(kind);
  ExpectCallsChosen(chosen, kind);
  int started = 0;
  std::set<std::string> failedSites;
  for (long n : chosen) {
    std::printf("fault injection: %s at call %ld of %ld\n", test::FaultName(kind), n, calls);
    std::fflush(stdout);
    SCOPED_TRACE(std::string(test::FaultName(kind)) + " at call " + std::to_string(n));
    const RunOutcome outcome = ScriptedRun(kind, n);
    SCOPED_TRACE("in " + outcome.failedSite);
    EXPECT_FALSE(outcome.failedSite.empty()) << "the run did not reach call " << n;
    started += outcome.started;
    failedSites.insert(outcome.failedSite);
    if (HasFailure()) break;  // the first unsound run is enough to mend
  }
  std::printf(
      "fault injection: %s: %zu runs of %ld calls from %zu places in our code, %zu methods; %d started\n",
      test::FaultName(kind), chosen.size(), calls, callSites, failedSites.size(), started);
}

// The checks above fail without what they look for: no call chosen, no message shown.
TEST(FaultInjectionChecks, FailWhenNoFaultIsInjectedOrAFailedStartUpShowsNoMessage) {
  EXPECT_NONFATAL_FAILURE(ExpectCallsChosen({}, FaultKind::kDeviceLost), "no fault would be injected");
  EXPECT_NONFATAL_FAILURE(ExpectStartUpMessage({}, "IDirect3D9::CreateDevice"), "showing no message");
  EXPECT_NONFATAL_FAILURE(ExpectStartUpMessage({"Bad timer"}, "IDirect3D9::CreateDevice"),
                          "not a start-up message");
  EXPECT_NONFATAL_FAILURE(ExpectStartUpMessage({"Screen size not supported"}, "Direct3DCreate9"),
                          "Application requred DirectX");
  EXPECT_NONFATAL_FAILURE(ExpectStartUpMessage({}, "IDirect3D9::GetDeviceCaps"), "showing no message");
  EXPECT_NONFATAL_FAILURE(ExpectStartUpMessage({}, ""), "failed at no injected fault showing no message");
  ExpectStartUpMessage({"Unable to create render device!"}, "IDirect3D9::CreateDevice");
  ExpectStartUpMessage({}, "IDirect3DDevice9::CreateTexture");  // resource creation: no message of its own
  ExpectCallsChosen({3}, FaultKind::kDeviceLost);
}

std::string KindName(const ::testing::TestParamInfo<FaultKind>& info) {
  static const char* const names[] = {"OutOfMemory", "OutOfVideoMemory", "InvalidCall", "DeviceLost",
                                      "NullHandle"};
  return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(ErrorKinds, EveryCallFailsOnce,
                         ::testing::Values(FaultKind::kOutOfMemory, FaultKind::kOutOfVideoMemory,
                                           FaultKind::kInvalidCall, FaultKind::kDeviceLost,
                                           FaultKind::kNullHandle),
                         KindName);

}  // namespace
}  // namespace lumar
