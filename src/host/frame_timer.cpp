#include "host/frame_timer.h"

namespace lumar {

float FrameTimer::Command(const MillisecondClock& clock, TimerCommand command, float argument) {
  switch (command) {
    case TimerCommand::Start:
      Start(clock);
      return 0.0f;
    case TimerCommand::Elapsed:
      return Elapsed(clock);
    case TimerCommand::Shift:
      Shift(argument);
      return 0.0f;
  }
  return 0.0f;
}

float FrameTimer::Elapsed(const MillisecondClock& clock) const {
  const uint32_t ticks = clock.Now() - startTicks_;  // modulo 2^32
  return static_cast<float>(ticks * 0.001 + shiftSeconds_);
}

}  // namespace lumar
