// Where the desktop snapshot's copies go in the square picture: the screen in the top-left corner, and
// the strips to its right and below (and the corner) repeating the screen's top-left part, so the square
// has no black margins.
#pragma once

#include <array>
#include <vector>

namespace lumar {

struct CopyRect {
  int x = 0;  // destination; every copy reads from the screen's origin
  int y = 0;
  int width = 0;
  int height = 0;
  int sourceWidth = 0;  // the screen area read; the destination's size unless the screen is scaled
  int sourceHeight = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  bool scaled() const { return sourceWidth != width || sourceHeight != height; }
};

// The four copies into an S x S square for a W x H screen. A screen larger than the square is cut to it,
// so no copy has a negative size; empty copies are to be skipped.
std::array<CopyRect, 4> SnapshotCopies(int squareSize, int screenWidth, int screenHeight);

// The same for a W x H screen scaled into the square as a picture of pictureWidth x pictureHeight: every
// copy reads its destination's size scaled back to screen pixels.
std::array<CopyRect, 4> SnapshotCopies(int squareSize, int screenWidth, int screenHeight, int pictureWidth,
                                       int pictureHeight);

// The square filled with whole or cut repeats of a W x H screen, row by row, none larger than the screen:
// what a monitor other than the primary uses, since a copy larger than its monitor would read another
// monitor's pixels or none. For screens at least half the square on each edge these are the four copies
// above.
std::vector<CopyRect> SnapshotTiles(int squareSize, int screenWidth, int screenHeight);
// The same tiles for a screen scaled into the square as a picture of pictureWidth x pictureHeight.
std::vector<CopyRect> SnapshotTiles(int squareSize, int screenWidth, int screenHeight, int pictureWidth,
                                    int pictureHeight);

}  // namespace lumar
