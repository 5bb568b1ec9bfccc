// The frame-rate counter of the "Show FPS" option: frames counted over at least 300 ms of the
// millisecond clock, refreshed at most that often.
#pragma once

#include <cstdint>
#include <string>

namespace lumar {

class FrameRateCounter {
 public:
  // Takes the clock reading and the frames drawn so far. When more than 300 ms have passed since the last
  // refresh, the value becomes the frames since then per second (truncated) and true is returned.
  bool Update(uint32_t now, uint32_t framesDrawn);
  uint32_t value() const { return fpsValue_; }

 private:
  uint32_t lastFpsTime_ = 0;
  uint32_t framesAtLastFps_ = 0;
  uint32_t fpsValue_ = 0;
};

// The text shown: "FPS " and the rate with at least two digits.
std::string FormatFrameRate(uint32_t framesPerSecond);

}  // namespace lumar
