#include "platform/multimedia_clock_win32.h"

#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include "host/frame_timer.h"

namespace lumar {

uint32_t MultimediaClock::Now() const { return timeGetTime(); }

uint32_t RequestFinestTimerPeriod() {
  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return 0;
  const uint32_t period = ChooseTimerPeriod(caps.wPeriodMin, caps.wPeriodMax);
  timeBeginPeriod(period);
  return period;
}

}  // namespace lumar
