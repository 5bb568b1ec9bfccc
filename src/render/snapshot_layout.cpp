// Layout of the desktop snapshot's copies.
#include "render/snapshot_layout.h"

#include <algorithm>
#include <cstdint>

namespace lumar {

namespace {

// `length` picture pixels in screen pixels, rounded to the nearest.
int ToScreen(int length, int screen, int picture) {
  if (picture <= 0 || screen == picture) return length;
  return static_cast<int>((int64_t{length} * screen + picture / 2) / picture);
}

}  // namespace

std::array<CopyRect, 4> SnapshotCopies(int s, int screenWidth, int screenHeight) {
  s = std::max(s, 0);
  const int w = std::clamp(screenWidth, 0, s);
  const int h = std::clamp(screenHeight, 0, s);
  return SnapshotCopies(s, w, h, w, h);
}

std::array<CopyRect, 4> SnapshotCopies(int s, int screenWidth, int screenHeight, int pictureWidth,
                                       int pictureHeight) {
  s = std::max(s, 0);
  const int w = std::clamp(pictureWidth, 0, s);
  const int h = std::clamp(pictureHeight, 0, s);
  std::array<CopyRect, 4> copies{CopyRect{0, 0, w, h}, CopyRect{w, 0, s - w, h}, CopyRect{0, h, w, s - h},
                                 CopyRect{w, h, s - w, s - h}};
  for (CopyRect& r : copies) {
    r.sourceWidth = ToScreen(r.width, screenWidth, w);
    r.sourceHeight = ToScreen(r.height, screenHeight, h);
  }
  return copies;
}

std::vector<CopyRect> SnapshotTiles(int s, int screenWidth, int screenHeight) {
  const int w = std::clamp(screenWidth, 0, std::max(s, 0));
  const int h = std::clamp(screenHeight, 0, std::max(s, 0));
  return SnapshotTiles(s, w, h, w, h);
}

std::vector<CopyRect> SnapshotTiles(int s, int screenWidth, int screenHeight, int pictureWidth,
                                    int pictureHeight) {
  std::vector<CopyRect> tiles;
  const int w = std::clamp(pictureWidth, 0, std::max(s, 0));
  const int h = std::clamp(pictureHeight, 0, std::max(s, 0));
  if (w == 0 || h == 0) return tiles;
  for (int y = 0; y < s; y += h) {
    for (int x = 0; x < s; x += w) {
      CopyRect r{x, y, std::min(w, s - x), std::min(h, s - y)};
      r.sourceWidth = ToScreen(r.width, screenWidth, w);
      r.sourceHeight = ToScreen(r.height, screenHeight, h);
      tiles.push_back(r);
    }
  }
  return tiles;
}

}  // namespace lumar
