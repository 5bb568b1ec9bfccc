// The multimedia timer (timeGetTime) as the saver's millisecond clock, and the timer resolution request.
#pragma once

#include <cstdint>

#include "platform/millisecond_clock.h"

namespace lumar {

class MultimediaClock : public MillisecondClock {
 public:
  uint32_t Now() const override;
};

// The multimedia timer's finest period (raised to at least 1 ms, capped at the device's maximum), 0 when
// the device capabilities cannot be read.
uint32_t FinestTimerPeriod();

// Asks the multimedia timer for its finest period and returns the period requested, 0 when the device
// capabilities cannot be read.
uint32_t RequestFinestTimerPeriod();

// The system-wide timer resolution a process raises while it needs fine waits (timeBeginPeriod) and gives
// back when it does not (timeEndPeriod); every Begin is matched by one End of the same period. Tests pass
// one that counts.
class TimerResolution {
 public:
  virtual ~TimerResolution() = default;
  virtual void Begin(uint32_t period) = 0;
  virtual void End(uint32_t period) = 0;
};

class MultimediaTimerResolution : public TimerResolution {
 public:
  void Begin(uint32_t period) override;
  void End(uint32_t period) override;
};

}  // namespace lumar
