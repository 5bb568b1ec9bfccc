// The loop's rest decisions.
#include "host/loop_state.h"

namespace lumar {

namespace {

// The session-change codes of WM_WTSSESSION_CHANGE that matter here.
constexpr uint32_t kConsoleConnect = 1, kConsoleDisconnect = 2, kRemoteConnect = 3, kRemoteDisconnect = 4;
constexpr uint32_t kSessionLock = 7, kSessionUnlock = 8;

}  // namespace

bool LoopState::RecordDisplayState(uint32_t value) {
  if (value > static_cast<uint32_t>(DisplayState::Dimmed)) return false;
  displays_ = static_cast<DisplayState>(value);
  return true;
}

bool LoopState::RecordSessionChange(uint32_t code) {
  switch (code) {
    case kSessionLock:
      locked_ = true;
      return true;
    case kSessionUnlock:
      locked_ = false;
      return true;
    case kConsoleDisconnect:
    case kRemoteDisconnect:
      disconnected_ = true;
      return true;
    case kConsoleConnect:
    case kRemoteConnect:
      disconnected_ = false;
      return true;
    default:
      return false;
  }
}

void LoopState::SetPacing(uint32_t refreshHz) {
  // Rounded up: never more than one frame per refresh interval.
  frameIntervalUs_ = refreshHz == 0 ? 0 : (1000000 + refreshHz - 1) / refreshHz;
}

void LoopState::RecordFrameStep(uint32_t now, bool everyDeviceLost) {
  if (frameIntervalUs_ > 0) {
    // Differences modulo 2^32, as everywhere on the millisecond counter.
    const int64_t lateUs = static_cast<int64_t>(static_cast<int32_t>(now - dueMs_)) * 1000 - dueFractionUs_;
    const bool onSchedule = stepped_ && lateUs < static_cast<int64_t>(frameIntervalUs_);
    uint64_t dueUs = frameIntervalUs_ + (onSchedule ? dueFractionUs_ : 0);
    dueMs_ = (onSchedule ? dueMs_ : now) + static_cast<uint32_t>(dueUs / 1000);
    dueFractionUs_ = static_cast<uint32_t>(dueUs % 1000);
  }
  stepped_ = true;
  lastStep_ = now;
  everyDeviceLost_ = everyDeviceLost;
}

LoopPlan LoopState::Plan(uint32_t now) const {
  LoopPlan plan;
  if (displaysOff() || sessionHidden()) {
    plan.waitMilliseconds = LoopPlan::kForever;
    return plan;
  }
  if (!stepped_) {
    plan.frameStep = true;
    return plan;
  }
  // Differences modulo 2^32: the millisecond counter's wrap does not stall the loop.
  if (everyDeviceLost_) {
    const uint32_t since = now - lastStep_;
    if (since < kLostDeviceWaitMs) {
      plan.waitMilliseconds = kLostDeviceWaitMs - since;
      return plan;
    }
  } else if (frameIntervalUs_ > 0) {
    const int64_t earlyUs = static_cast<int64_t>(static_cast<int32_t>(dueMs_ - now)) * 1000 + dueFractionUs_;
    if (earlyUs > 0) {
      plan.waitMilliseconds = static_cast<uint32_t>((earlyUs + 999) / 1000);
      plan.paced = true;
      return plan;
    }
  }
  plan.frameStep = true;
  return plan;
}

}  // namespace lumar
