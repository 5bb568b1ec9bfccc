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

std::vector<CopyRect> SnapshotTiles(int s, int screenWidth, int screenHeight) {
  std::vector<CopyRect> tiles;
  const int w = std::clamp(screenWidth, 0, std::max(s, 0));
  const int h = std::clamp(screenHeight, 0, std::max(s, 0));
  if (w == 0 || h == 0) return tiles;
  for (int y = 0; y < s; y += h) {
    for (int x = 0; x < s; x += w) tiles.push_back(CopyRect{x, y, std::min(w, s - x), std::min(h, s - y)});
  }
  return tiles;
}

}  // namespace lumar
