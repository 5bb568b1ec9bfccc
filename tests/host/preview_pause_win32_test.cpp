// The preview's pause while a full-screen instance runs, in-process: this test plays the full-screen
// instance (its event "LumarEvent" and, when alive, its window of class "Lumar" titled "Lumar"). A
// watchdog signals the event after 10 s, so a preview that would wait for good fails instead of hanging.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "host/preview_parent_win32.h"
#include "host/saver_app_win32.h"
#include "platform/millisecond_clock.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

// Signals `event` after 10 s unless stopped first; remembers whether it had to.
class Watchdog {
 public:
  explicit Watchdog(HANDLE event)
      : thread_([this, event] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!stop_.wait_for(lock, std::chrono::seconds(10), [this] { return stopped_; })) {
            fired_ = true;
            SetEvent(event);
          }
        }) {}
  ~Watchdog() { Stop(); }
  bool Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    stop_.notify_all();
    if (thread_.joinable()) thread_.join();
    return fired_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopped_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

HANDLE fullScreenEvent = nullptr;
bool timerServed = false;
void CALLBACK EndFullScreenRun(HWND, UINT, UINT_PTR, DWORD) {
  timerServed = true;
  SetEvent(fullScreenEvent);
}

class PreviewPauseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    ASSERT_TRUE(app_.StartUp(parent_.Arguments()));
    fullScreenEvent = CreateEventA(nullptr, TRUE, FALSE, kSaverEventName);
    ASSERT_NE(fullScreenEvent, nullptr);
    timerServed = false;
  }
  void TearDown() override {
    CloseHandle(fullScreenEvent);
    fullScreenEvent = nullptr;
    app_.Close();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  test::PreviewParent parent_;
  ManualClock clock_{5000};
  SaverApp app_{GetModuleHandleA(nullptr), clock_};
};

// The full-screen instance died without signalling: its window is gone, the event is kept alive only by
// handles like the preview's own. The preview stops waiting and draws.
TEST_F(PreviewPauseTest, AnEventWithoutALiveInstanceEndsThePause) {
  Watchdog watchdog(fullScreenEvent);
  app_.IdlePass();
  EXPECT_FALSE(watchdog.Stop()) << "the preview waited until the watchdog signalled";
  EXPECT_EQ(app_.renderer()->framesDrawn(), 1u);
}

// A live instance: the preview waits for its signal, serving its own messages meanwhile (the timer that
// ends the run is one of them), and draws again afterwards.
TEST_F(PreviewPauseTest, WhileALiveInstanceRunsThePreviewWaitsAndServesItsMessages) {
  HWND fullScreen = CreateWindowExA(0, kWindowClass, "Lumar", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(fullScreen, nullptr);
  const UINT_PTR timer = SetTimer(nullptr, 0, 500, EndFullScreenRun);
  Watchdog watchdog(fullScreenEvent);
  app_.IdlePass();
  EXPECT_FALSE(watchdog.Stop()) << "the preview did not serve its messages while it waited";
  EXPECT_TRUE(timerServed);
  EXPECT_EQ(app_.renderer()->framesDrawn(), 1u);
  KillTimer(nullptr, timer);
  DestroyWindow(fullScreen);
}

}  // namespace
}  // namespace lumar
