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
  frameIntervalMs_ = refreshHz == 0 ? 0 : (1000 + refreshHz - 1) / refreshHz;
}

void LoopState::RecordFrameStep(uint32_t now, bool everyDeviceLost) {
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
  // Differences modulo 2^32: the millisecond counter's wrap does not stall the loop.
  const uint32_t since = now - lastStep_;
  uint32_t gap = 0;
  if (stepped_ && everyDeviceLost_) gap = kLostDeviceWaitMs;
  if (stepped_ && frameIntervalMs_ > gap) gap = frameIntervalMs_;
  if (gap > 0 && since < gap) {
    plan.waitMilliseconds = gap - since;
    plan.paced = !everyDeviceLost_;
    return plan;
  }
  plan.frameStep = true;
  return plan;
}

}  // namespace lumar
