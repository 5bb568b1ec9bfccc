#include "platform/multimedia_clock_win32.h"

#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

namespace lumar {

uint32_t MultimediaClock::Now() const { return timeGetTime(); }

uint32_t FinestTimerPeriod() {
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return 0;
  return ChooseTimerPeriod(caps.wPeriodMin, caps.wPeriodMax);
}

uint32_t RequestFinestTimerPeriod() {
  const uint32_t period = FinestTimerPeriod();
  if (period != 0) timeBeginPeriod(period);
  return period;
}

void MultimediaTimerResolution::Begin(uint32_t period) { timeBeginPeriod(period); }

void MultimediaTimerResolution::End(uint32_t period) { timeEndPeriod(period); }

void TimerResolutionHold::Open(TimerResolution* resolution, uint32_t period) {
  resolution_ = resolution ? resolution : &system_;
  period_ = period;
  Raise(true);
}

void TimerResolutionHold::Raise(bool raised) {
  if (raised == raised_ || period_ == 0 || !resolution_) return;
  raised_ = raised;
  if (raised) {
    resolution_->Begin(period_);
  } else {
    resolution_->End(period_);
  }
}

void TimerResolutionHold::Close() {
  Raise(false);
  period_ = 0;
}

}  // namespace lumar
