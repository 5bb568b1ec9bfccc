// The millisecond clock every timer of the saver reads. The Windows build reads the multimedia timer;
// tests and benchmarks drive a ManualClock so that ages and spawn times are exact.
#pragma once

#include <cstdint>

namespace lumar {

class MillisecondClock {
 public:
  virtual ~MillisecondClock() = default;
  // A free-running 32-bit millisecond count; it wraps to 0 after about 49.7 days.
  virtual uint32_t Now() const = 0;
};

// A clock that only moves when told to.
class ManualClock : public MillisecondClock {
 public:
  explicit ManualClock(uint32_t start = 0) : now_(start) {}
  uint32_t Now() const override { return now_; }
  void Set(uint32_t milliseconds) { now_ = milliseconds; }
  // Wraps like the real counter.
  void Advance(uint32_t milliseconds) { now_ += milliseconds; }

 private:
  uint32_t now_;
};

// The multimedia timer period to request: the device's minimum raised to at least 1 ms and capped at its
// maximum.
inline uint32_t ChooseTimerPeriod(uint32_t minimumPeriod, uint32_t maximumPeriod) {
  const uint32_t atLeastOne = minimumPeriod < 1u ? 1u : minimumPeriod;
  return atLeastOne < maximumPeriod ? atLeastOne : maximumPeriod;
}

}  // namespace lumar
