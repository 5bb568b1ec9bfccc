// What the message loop does when no message is waiting: a frame step, or a rest. The window procedure
// only records what it learns (displays off, session locked, power source); the loop asks Plan() on every
// pass. Resting means blocking on the message queue, so input still ends the run at once.
#pragma once

#include <cstdint>

namespace lumar {

// The console display state a power-setting notification carries.
enum class DisplayState : uint32_t { Off = 0, On = 1, Dimmed = 2 };

struct LoopPlan {
  static constexpr uint32_t kForever = 0xFFFFFFFFu;
  bool frameStep = false;
  // How long to wait for a message first (0: not at all; kForever: until one comes).
  uint32_t waitMilliseconds = 0;
  // The wait ends at the next frame due by the pacing timer rather than after a plain time-out.
  bool paced = false;
};

class LoopState {
 public:
  // The most a pass waits between device tests while every device is lost.
  static constexpr uint32_t kLostDeviceWaitMs = 100;

  // A raw display-state value: 0 off, 1 on, 2 dimmed; anything else is ignored (returns false).
  bool RecordDisplayState(uint32_t value);
  // A session-change notification code (WTS_*): lock/unlock, connect/disconnect of the console or a
  // remote session. Other codes are ignored (returns false).
  bool RecordSessionChange(uint32_t code);
  // Frames at most one per refresh interval of `refreshHz` (the fastest monitor's rate); 0 for unpaced.
  // The frames are due on a schedule kept to the microsecond, so that over a second the loop draws as
  // many frames as the monitor shows, although each wait is whole milliseconds.
  void SetPacing(uint32_t refreshHz);
  // At the start of every frame step (`now`), whether the previous step found every device lost (a pass
  // in which nothing could be drawn). The next frame is due one interval after this one was due, or after
  // `now` where this one came a whole interval late (after a rest): a frame whose present waited for the
  // retrace is never made to wait again for the same interval.
  void RecordFrameStep(uint32_t now, bool everyDeviceLost);

  LoopPlan Plan(uint32_t now) const;

  bool displaysOff() const { return displays_ == DisplayState::Off; }
  bool sessionHidden() const { return locked_ || disconnected_; }
  bool everyDeviceLost() const { return everyDeviceLost_; }
  // The pacing interval rounded up to whole milliseconds; 0 unpaced.
  uint32_t frameIntervalMs() const { return (frameIntervalUs_ + 999) / 1000; }

 private:
  DisplayState displays_ = DisplayState::On;
  bool locked_ = false;
  bool disconnected_ = false;
  bool everyDeviceLost_ = false;
  bool stepped_ = false;
  uint32_t lastStep_ = 0;
  uint32_t frameIntervalUs_ = 0;
  // The next paced frame is due at dueMs_ milliseconds plus dueFractionUs_ (0 to 999) microseconds.
  uint32_t dueMs_ = 0;
  uint32_t dueFractionUs_ = 0;
};

}  // namespace lumar
