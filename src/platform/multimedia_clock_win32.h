// The multimedia timer (timeGetTime) as the saver's millisecond clock, and the timer resolution request.
#pragma once

#include <cstdint>

#include "platform/millisecond_clock.h"

namespace lumar {

class MultimediaClock : public MillisecondClock {
 public:
  uint32_t Now() const override;
};

// Asks the multimedia timer for its finest period (raised to at least 1 ms, capped at the device's
// maximum) and returns the period requested, 0 when the device capabilities cannot be read.
uint32_t RequestFinestTimerPeriod();

}  // namespace lumar
