// The saver password on a running full-screen saver, in-process: the Windows 9x check through our
// PASSWORD.CPL stand-in (tests/host/doubles), the suspend broadcast, and the NT "secure" flag. The app is
// driven through its window procedure with the messages Windows would send.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/desktop_values_win32.h"
#include "host/saver_app_win32.h"
#include "host/stored_record_win32.h"
#include "platform/message_box_win32.h"
#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "settings/settings_registry_win32.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

using VerifyHook = void (*)(HWND window, void* context);
using SetUpProc = void (*)(BOOL answer, VerifyHook hook, void* context);
using CallsProc = int (*)();
using LastWindowProc = HWND (*)();

// The controls our PASSWORD.CPL exports besides VerifyScreenSavePwd; found in the copy the app loaded.
struct PasswordDouble {
  SetUpProc setUp = nullptr;
  CallsProc calls = nullptr;
  LastWindowProc lastWindow = nullptr;

  bool Find() {
    HMODULE module = GetModuleHandleA("PASSWORD.CPL");
    if (!module) return false;
    setUp =
        reinterpret_cast<SetUpProc>(reinterpret_cast<void*>(GetProcAddress(module, "PasswordDoubleSetUp")));
    calls =
        reinterpret_cast<CallsProc>(reinterpret_cast<void*>(GetProcAddress(module, "PasswordDoubleCalls")));
    lastWindow = reinterpret_cast<LastWindowProc>(
        reinterpret_cast<void*>(GetProcAddress(module, "PasswordDoubleLastWindow")));
    return setUp && calls && lastWindow;
  }
};

bool QuitPosted() {
  MSG msg{};
  return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

HCURSOR Arrow() { return LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); }  // IDC_ARROW

// The desktop picture as the run keeps it, to tell whether it was photographed again.
std::vector<unsigned char> SnapshotRows(const DesktopSnapshot& snapshot) {
  const int pitch = snapshot.squareSize() * snapshot.bitsPerPixel() / 8;
  std::vector<unsigned char> rows(static_cast<size_t>(pitch) * snapshot.squareSize());
  snapshot.CopyRows(rows.data(), pitch);
  return rows;
}

// A full-screen saver started with the default settings (the Desktop picture) and the desktop values the
// test sets; Windows 9x unless told otherwise.
class RunningSaver : public ::testing::Test {
 protected:
  // Messages the run would show are kept, so a start that fails says why instead of waiting on a box.
  void SetUp() override {
    shownMessages().clear();
    previousSink_ = SetMessageSink([](const char* text, UINT) { shownMessages().push_back(text); });
  }
  void TearDown() override {
    if (app_) app_->Close();
    QuitPosted();
    DeleteSettingsKey();
    SetMessageSink(previousSink_);
  }
  static std::vector<std::string>& shownMessages() {
    static std::vector<std::string> messages;
    return messages;
  }

  // The settings stored beforehand are kept when `storedSettings`; otherwise none (the defaults: the
  // Desktop picture).
  void Start(bool win9x = true, bool storedSettings = false) {
    if (!storedSettings) DeleteSettingsKey();
    bool started = Launch(win9x);
    // Wine now and then cannot make Direct3D 9 at a process's start (the message box fails with it): one
    // more start, listed in the reruns report that the test command prints. Only when Wine's
    // Direct3DCreate9 itself returned nothing: the same message after any other failure is ours.
    if (!started && Direct3DRefused()) {
      RecordRerun("Direct3D 9 could not be created");
      app_->Close();
      shownMessages().clear();
      started = Launch(win9x);
    }
    ASSERT_TRUE(started) << "messages shown: " << ::testing::PrintToString(shownMessages());
    window_ = app_->mainWindow();
  }
  // Whether the system's Direct3DCreate9 returned nothing in the last start.
  static bool& Direct3DRefused() {
    static bool refused = false;
    return refused;
  }
  static IDirect3D9* WINAPI WatchedDirect3DCreate9(UINT version) {
    IDirect3D9* direct3d = Direct3DCreate9(version);
    Direct3DRefused() = direct3d == nullptr;
    return direct3d;
  }
  bool Launch(bool win9x) {
    app_ = std::make_unique<SaverApp>(GetModuleHandleA(nullptr), clock_);
    Direct3DRefused() = false;
    app_->SetDirect3DCreator(WatchedDirect3DCreate9);
    PlatformProbe probe;
    probe.isWin9x = win9x ? [] { return true; } : [] { return false; };
    app_->SetPlatformProbe(probe);
    return app_->StartUp("/s");
  }
  // Appends to the reruns report in the build folder, the tests' working folder.
  static void RecordRerun(const char* why) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::ofstream("e2e-reruns.log", std::ios::app) << test->test_suite_name() << "." << test->name()
                                                   << ": started again after a Wine fault (" << why << ")\n";
  }

  // Starts with a 9x password in force, answered by our PASSWORD.CPL.
  void StartWithPassword(BOOL answer, VerifyHook hook = nullptr, void* context = nullptr) {
    desktop_.SetDword("ScreenSaveUsePassword", 1);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(double_.Find()) << "PASSWORD.CPL was not loaded from beside the test program";
    double_.setUp(answer, hook, context);
  }

  // Frames of the running animation, with time moving on so that ripples come and go.
  void RunFrames(int frames, uint32_t millisecondsApart) {
    for (int i = 0; i < frames; ++i) {
      clock_.Advance(millisecondsApart);
      app_->FrameStep();
    }
  }

  // Input as Windows sends it, then what the loop does with it between frames.
  void Send(UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageA(window_, message, wParam, lParam);
    app_->HandleRecorded();
  }
  void Key() { Send(WM_KEYDOWN, VK_SPACE, 0); }
  void Click(UINT message = WM_LBUTTONDOWN) { Send(message, MK_LBUTTON, 0); }
  void MoveTo(int x, int y) { Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
  void Suspend() { Send(WM_POWERBROADCAST, PBT_APMSUSPEND, 0); }
  HCURSOR CursorAfterSetCursor() {
    SendMessageA(window_, WM_SETCURSOR, reinterpret_cast<WPARAM>(window_),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  }
  const SourceSet& sources() { return app_->field().sourceSet; }

  MessageSink previousSink_ = nullptr;
  ManualClock clock_{5000};
  DesktopValues desktop_;
  std::unique_ptr<SaverApp> app_;
  HWND window_ = nullptr;
  PasswordDouble double_;
};

TEST_F(RunningSaver, WrongPasswordRestartsTheAnimationWithNewRipplesOverTheSamePicture) {
  ASSERT_NO_FATAL_FAILURE(StartWithPassword(FALSE));
  const SourceSet& set = sources();
  const RippleSource first = set.sources[0];
  // Some seconds into the run, with several ripples alive.
  RunFrames(10, 300);
  RandomGenerator extra;
  for (int i = 0; i < 3; ++i) SpawnSource(app_->field(), clock_, extra);
  RunFrames(2, 300);
  ASSERT_GT(set.sourceCount, 2);
  ASSERT_TRUE(app_->snapshot().taken());
  const HBITMAP picture = app_->snapshot().snapshotBitmap();
  const std::vector<unsigned char> pictureRows = SnapshotRows(app_->snapshot());
  const uint32_t framesBefore = app_->renderer()->framesDrawn();
  MoveTo(10, 10);
  MoveTo(20, 20);
  MoveTo(30, 30);
  ASSERT_EQ(app_->input().mouseMoveCount(), 3u);

  Key();

  EXPECT_EQ(double_.calls(), 1);
  EXPECT_EQ(double_.lastWindow(), window_);
  EXPECT_FALSE(app_->runEnded());
  EXPECT_FALSE(QuitPosted());
  EXPECT_FALSE(app_->passwordDialogActive());
  EXPECT_EQ(app_->input().mouseMoveCount(), 0u);
  EXPECT_EQ(GetCursor(), nullptr);
  // One new ripple, just born, at the next place of the random sequence (not a replay of the first).
  ASSERT_EQ(set.sourceCount, 1);
  EXPECT_EQ(set.sources[0].clock.Elapsed(clock_), 0.0f);
  EXPECT_FALSE(set.sources[0].nodeX == first.nodeX && set.sources[0].nodeY == first.nodeY);
  // The same picture: the snapshot was kept, not taken again, and the setting is unchanged.
  EXPECT_EQ(app_->snapshot().snapshotBitmap(), picture);
  EXPECT_EQ(SnapshotRows(app_->snapshot()), pictureRows);
  EXPECT_EQ(app_->settings().parameters.texture, kTextureDesktop);
  // The clock starts again and a new device draws.
  ASSERT_NE(app_->renderer()->device(), nullptr);
  app_->FrameStep();
  EXPECT_EQ(app_->frameTime(), 0.0f);
  clock_.Advance(1500);
  app_->FrameStep();
  EXPECT_FLOAT_EQ(app_->frameTime(), 1.5f);
  EXPECT_GT(app_->renderer()->framesDrawn(), framesBefore);
}

TEST_F(RunningSaver, AfterAWrongPasswordSixFreshMovesAKeyOrAButtonAskAgain) {
  ASSERT_NO_FATAL_FAILURE(StartWithPassword(FALSE));
  MoveTo(100, 100);
  Click();
  ASSERT_EQ(double_.calls(), 1);

  MoveTo(100, 100);  // where the mouse last was: not a move
  for (int i = 1; i <= 5; ++i) MoveTo(100 + i, 100);
  EXPECT_EQ(double_.calls(), 1) << "five fresh moves are tolerated";
  MoveTo(110, 100);
  EXPECT_EQ(double_.calls(), 2);

  Key();
  EXPECT_EQ(double_.calls(), 3);
  Click(WM_RBUTTONDOWN);
  EXPECT_EQ(double_.calls(), 4);
  Click(WM_MBUTTONDOWN);
  EXPECT_EQ(double_.calls(), 5);
  EXPECT_FALSE(app_->runEnded());
}

TEST_F(RunningSaver, RightPasswordEndsTheSaverAndLaterInputAsksNoMore) {
  ASSERT_NO_FATAL_FAILURE(StartWithPassword(TRUE));
  Key();
  EXPECT_EQ(double_.calls(), 1);
  EXPECT_TRUE(app_->runEnded());
  EXPECT_EQ(app_->renderer()->device(), nullptr);
  EXPECT_TRUE(QuitPosted());

  // Input that was queued behind the quit message.
  Key();
  for (int i = 0; i < 8; ++i) MoveTo(i * 7, i * 3);
  Click();
  EXPECT_EQ(double_.calls(), 1);
}

// What the password dialog's own message loop would let through while it is up.
struct DuringCheck {
  SaverApp* app = nullptr;
  ManualClock* clock = nullptr;
  bool active = false;
  HCURSOR cursor = nullptr;
  int32_t sourceCount = -1;
  float frameTime = -1.0f;
  bool closedDown = true;
};

void WhileTheDialogIsUp(HWND window, void* context) {
  DuringCheck& seen = *static_cast<DuringCheck*>(context);
  seen.active = seen.app->passwordDialogActive();
  SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  seen.cursor = GetCursor();
  SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  for (int i = 0; i < 8; ++i) SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(300 + i, 300));
  SendMessageA(window, WM_ACTIVATEAPP, FALSE, 0);
  // Long enough for a spawn and a visible frame time, were a frame step to run.
  seen.clock->Advance(4000);
  seen.app->IdlePass();
  seen.app->IdlePass();
  seen.sourceCount = seen.app->field().sourceSet.sourceCount;
  seen.frameTime = seen.app->frameTime();
  seen.closedDown = seen.app->runEnded();
}

TEST_F(RunningSaver, WhileTheCheckRunsNoFrameStepNoDismissalAndTheArrowCursor) {
  DuringCheck seen;
  ASSERT_NO_FATAL_FAILURE(StartWithPassword(FALSE, WhileTheDialogIsUp, &seen));
  seen.app = app_.get();
  seen.clock = &clock_;
  EXPECT_EQ(CursorAfterSetCursor(), nullptr) << "the running saver hides the cursor";
  RunFrames(3, 100);
  const float frameTimeBefore = app_->frameTime();

  Key();

  EXPECT_TRUE(seen.active);
  EXPECT_EQ(seen.cursor, Arrow());
  EXPECT_EQ(seen.sourceCount, 0) << "no frame step spawned a ripple";
  EXPECT_EQ(seen.frameTime, frameTimeBefore) << "no frame step read the clock";
  EXPECT_FALSE(seen.closedDown);
  EXPECT_EQ(double_.calls(), 1) << "input during the check asks nothing more";
  EXPECT_FALSE(app_->passwordDialogActive());
  EXPECT_EQ(CursorAfterSetCursor(), nullptr);
  // The dialog's moves were seen (the last position moved on) but the count started again after it.
  EXPECT_EQ(app_->input().mouseMoveCount(), 0u);
}

TEST_F(RunningSaver, SuspendIsIgnoredWhileA9xPasswordIsSet) {
  ASSERT_NO_FATAL_FAILURE(StartWithPassword(TRUE));
  Suspend();
  EXPECT_EQ(double_.calls(), 0);
  EXPECT_FALSE(app_->runEnded());
  EXPECT_FALSE(QuitPosted());
}

TEST_F(RunningSaver, Without9xPasswordSuspendEndsTheSaver) {
  desktop_.SetDword("ScreenSaveUsePassword", 0);
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  Suspend();
  EXPECT_TRUE(app_->runEnded());
  EXPECT_TRUE(QuitPosted());
}

TEST_F(RunningSaver, Without9xPasswordTheFirstDismissalEndsTheSaver) {
  desktop_.SetDword("ScreenSaveUsePassword", 0);
  ASSERT_NO_FATAL_FAILURE(Start());
  Key();
  EXPECT_TRUE(app_->runEnded());
  EXPECT_TRUE(QuitPosted());
}

TEST_F(RunningSaver, OnNtThe9xPasswordOptionLoadsNothingAndSuspendEnds) {
  desktop_.SetDword("ScreenSaveUsePassword", 1);
  ASSERT_NO_FATAL_FAILURE(Start(false));
  EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  EXPECT_EQ(app_->password().verifyPasswordProc, nullptr);
  Suspend();
  EXPECT_TRUE(app_->runEnded());
}

TEST_F(RunningSaver, ShutdownUnloadsPasswordCpl) {
  ASSERT_NO_FATAL_FAILURE(StartWithPassword(FALSE));
  app_->Close();
  EXPECT_EQ(GetModuleHandleA("PASSWORD.CPL"), nullptr);
  EXPECT_EQ(app_->password().verifyPasswordProc, nullptr);
  app_.reset();
}

// The NT secure flag: a secure saver never photographs the desktop and shows Sky instead.
struct SecureCase {
  const char* value;  // nullptr: no value
  bool secure;
};

class SecureSaver : public RunningSaver, public ::testing::WithParamInterface<SecureCase> {};

TEST_P(SecureSaver, SkyReplacesTheDesktopOnlyWhenSecure) {
  const SecureCase c = GetParam();
  if (c.value) desktop_.SetString("ScreenSaverIsSecure", c.value);
  ASSERT_NO_FATAL_FAILURE(Start(false));
  EXPECT_EQ(app_->password().ntSecure, c.secure ? 1 : 0);
  EXPECT_EQ(app_->field().constants.texture, c.secure ? kTextureSky : kTextureDesktop);
  EXPECT_EQ(app_->snapshot().taken(), !c.secure);
  RunFrames(2, 100);
  EXPECT_GT(app_->renderer()->framesDrawn(), 0u);
}

TEST_F(RunningSaver, ASecureSaverShowsSkyAlsoWhenTheDefaultsReplaceARefusedRecord) {
  desktop_.SetString("ScreenSaverIsSecure", "1");
  ParameterSet record = test::AcceptedRecord();
  record.texture = kTextureMetal;
  record.waveLength = 0;  // accepted by the loader, refused by the wave field: the defaults run instead
  ASSERT_TRUE(WriteSettings(record));
  ASSERT_NO_FATAL_FAILURE(Start(false, true));
  EXPECT_NE(app_->field().constants.waveLength, 0);
  EXPECT_EQ(app_->field().constants.texture, kTextureSky);
  EXPECT_FALSE(app_->snapshot().taken());
}

INSTANTIATE_TEST_SUITE_P(Values, SecureSaver,
                         ::testing::Values(SecureCase{"1", true}, SecureCase{"0", false},
                                           SecureCase{"yes", true}, SecureCase{"", true},
                                           SecureCase{"1000", false}, SecureCase{nullptr, false}),
                         [](const ::testing::TestParamInfo<SecureCase>& info) {
                           const SecureCase& c = info.param;
                           if (!c.value) return std::string("NoValue");
                           if (c.value[0] == '\0') return std::string("Empty");
                           if (std::string(c.value) == "1000") return std::string("TooLong");
                           return std::string("Value_") + c.value;
                         });

}  // namespace
}  // namespace lumar
