// A FrameTimer measures seconds on the millisecond clock. The global frame timer, the spawn clock and the
// clock of every ripple source are FrameTimers.
#pragma once

#include <cstdint>

#include "platform/millisecond_clock.h"

namespace lumar {

// The timer's command numbers.
enum class TimerCommand : int { Start = 1, Elapsed = 7, Shift = 10 };

class FrameTimer {
 public:
  // The one entry point: Start and Shift return 0, Elapsed the elapsed seconds. An unknown command
  // changes nothing and returns 0.
  float Command(const MillisecondClock& clock, TimerCommand command, float argument = 0.0f);

  // Back to the freshly cleared state. Owners clear a timer directly before starting it.
  void Clear() {
    startTicks_ = 0;
    shiftSeconds_ = 0.0;
  }
  // Starts a cleared timer: Elapsed counts from now.
  void Start(const MillisecondClock& clock) { startTicks_ += clock.Now(); }
  // Seconds since Start (plus every Shift). The millisecond difference is taken modulo 2^32, so the wrap
  // of the counter after 49.7 days does not make the reading negative.
  float Elapsed(const MillisecondClock& clock) const;
  // Moves the start back so that Elapsed grows by `seconds`.
  void Shift(float seconds) { shiftSeconds_ += seconds; }

 private:
  uint32_t startTicks_ = 0;  // millisecond reading at Start
  double shiftSeconds_ = 0.0;
};

}  // namespace lumar
