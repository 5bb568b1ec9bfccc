// Layout of the desktop snapshot's copies.
#include "render/snapshot_layout.h"

#include <algorithm>

namespace lumar {

std::array<CopyRect, 4> SnapshotCopies(int s, int screenWidth, int screenHeight) {
  s = std::max(s, 0);
  const int w = std::clamp(screenWidth, 0, s);
  const int h = std::clamp(screenHeight, 0, s);
  return {CopyRect{0, 0, w, h}, CopyRect{w, 0, s - w, h}, CopyRect{0, h, w, s - h},
          CopyRect{w, h, s - w, s - h}};
}

}  // namespace lumar
