// Which input ends the full-screen saver: any key or mouse button at once, the mouse only after it has
// been seen at six new positions (so a little jitter does not end the run).
#pragma once

#include <cstdint>

namespace lumar {

class SaverInput {
 public:
  static constexpr uint32_t kMovesTolerated = 5;

  // A mouse message at (x, y), the signed 16-bit halves of its lParam. Returns true when the saver
  // should be dismissed.
  bool MouseMovedTo(int16_t x, int16_t y) {
    if (x == lastX_ && y == lastY_) return false;
    lastX_ = x;
    lastY_ = y;
    ++mouseMoveCount_;
    return mouseMoveCount_ > kMovesTolerated;
  }

  // After a wrong password the count starts again; the last position is kept.
  void ResetMoveCount() { mouseMoveCount_ = 0; }

  uint32_t mouseMoveCount() const { return mouseMoveCount_; }

 private:
  uint32_t mouseMoveCount_ = 0;
  int16_t lastX_ = -1;
  int16_t lastY_ = -1;
};

}  // namespace lumar
