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

// The timer resolution a run holds: raised for fine waits between frames, given back while the loop
// rests and at the end; only a change calls the system.
class TimerResolutionHold {
 public:
  TimerResolutionHold() = default;
  TimerResolutionHold(const TimerResolutionHold&) = delete;
  TimerResolutionHold& operator=(const TimerResolutionHold&) = delete;
  ~TimerResolutionHold() { Close(); }
  // Raises `period` on `resolution` (nullptr: the system's); a period of 0 raises nothing ever.
  void Open(TimerResolution* resolution, uint32_t period);
  void Raise(bool raised);
  // Given back for good.
  void Close();
  bool raised() const { return raised_; }
  uint32_t period() const { return period_; }

 private:
  MultimediaTimerResolution system_;
  TimerResolution* resolution_ = nullptr;
  uint32_t period_ = 0;
  bool raised_ = false;
};

}  // namespace lumar
