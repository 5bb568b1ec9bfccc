// The message loop, what it does between messages, and the frame step.
#include "host/preview_pause_win32.h"
#include "host/saver_app_win32.h"

namespace lumar {

void SaverApp::MessageLoop() {
  MSG msg{};
  for (;;) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    ++counts_.loopPasses;
    IdlePass();
  }
}

void SaverApp::IdlePass() {
  if (mode_ == ScreenSaverMode::Preview) {
    // A full-screen instance holds the event unsignalled while it runs: the preview waits for it, serving
    // its messages, and stops waiting when that instance is gone without signalling.
    HANDLE running = OpenEventA(EVENT_ALL_ACCESS, FALSE, kSaverEventName);
    if (running) {
      WaitWhileFullScreenRuns(running);
      CloseHandle(running);
    }
  }
  HandleRecorded();
  if (passwordDialogActive_ || runEnded_) return;
  const LoopPlan plan = loopState_.Plan(clock_.Now());
  if (plan.frameStep) {
    timer_.Raise(true);
    FrameStep();
  } else {
    Rest(plan);
  }
}

void SaverApp::HandleRecorded() {
  // While the password dialog is up nothing is acted on; what it let through is forgotten afterwards.
  if (passwordDialogActive_ || runEnded_) return;
  if (recorded_.windowEnded) {
    recorded_.windowEnded = false;
    EndRun();
    return;
  }
  if (recorded_.dismiss) {
    recorded_.dismiss = false;
    RequestDismiss();
    if (runEnded_) return;
  }
  // A display change while nothing can be seen (displays off, the session hidden: the snapshot of a
  // desktop that is not the input desktop is black) waits until the run is visible again.
  if (recorded_.displayChange && !loopState_.displaysOff() && !loopState_.sessionHidden()) {
    ApplyDisplayChange();
    UpdatePowerPacing();  // the fastest monitor may have changed
  }
  if (recorded_.powerStatus) UpdatePowerPacing();
}

void SaverApp::Rest(const LoopPlan& plan) {
  // Fine waits only between paced frames: displays off, a hidden session or every device lost cost the
  // system nothing.
  timer_.Raise(plan.paced);
  DWORD milliseconds = plan.waitMilliseconds == LoopPlan::kForever ? INFINITE : plan.waitMilliseconds;
  HANDLE handles[1] = {};
  DWORD count = 0;
  HANDLE paceTimer = watch_.paceTimer();
  if (plan.paced && paceTimer) {
    // The next frame is due when the timer fires, at the timer's finer resolution; the time-out, the
    // same, is only a backstop.
    LARGE_INTEGER due{};
    due.QuadPart = -10000LL * static_cast<LONGLONG>(milliseconds);
    if (SetWaitableTimer(paceTimer, &due, 0, nullptr, nullptr, FALSE)) handles[count++] = paceTimer;
  }
  if (seams_.loopWait) {
    seams_.loopWait(count, handles, milliseconds);
  } else {
    MsgWaitForMultipleObjects(count, count ? handles : nullptr, FALSE, milliseconds, QS_ALLINPUT);
  }
}

void SaverApp::FrameStep() {
  const uint32_t started = clock_.Now();
  ++counts_.frameSteps;
  for (auto& screen : screens_) screen->DecideSpawn();
  frameTime_ = frameTimer_.Elapsed(clock_);
  bool drawn = false;
  for (auto& screen : screens_) drawn = screen->UpdateAndDraw(frameTime_) || drawn;
  RenewDevices();
  // Nothing drawn anywhere (every device lost, or none to draw with): the loop waits before testing the
  // devices again instead of spinning.
  loopState_.RecordFrameStep(started, !drawn);
}

}  // namespace lumar
