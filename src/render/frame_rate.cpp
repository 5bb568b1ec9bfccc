#include "render/frame_rate.h"

#include <cstdio>

namespace lumar {

constexpr uint32_t kRefreshMilliseconds = 300;

bool FrameRateCounter::Update(uint32_t now, uint32_t framesDrawn) {
  const uint32_t elapsed = now - lastFpsTime_;  // wraps with the clock
  if (elapsed <= kRefreshMilliseconds) return false;
  // 64 bits: the frames of a long gap times 1000 may leave 32 bits.
  const uint64_t frames = framesDrawn - framesAtLastFps_;
  fpsValue_ = static_cast<uint32_t>(frames * 1000 / elapsed);
  lastFpsTime_ = now;
  framesAtLastFps_ = framesDrawn;
  return true;
}

std::string FormatFrameRate(uint32_t framesPerSecond) {
  char text[16];
  std::snprintf(text, sizeof text, "FPS %02u", framesPerSecond);
  return text;
}

}  // namespace lumar
