#include "render/snapshot_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace lumar {
namespace {

// Paints each copy into an S x S coverage grid: every pixel must be covered exactly once.
void ExpectTiles(int s, int w, int h) {
  std::vector<int> cover(static_cast<std::size_t>(s) * s, 0);
  for (const CopyRect& r : SnapshotCopies(s, w, h)) {
    if (r.empty()) continue;
    ASSERT_GE(r.x, 0);
    ASSERT_GE(r.y, 0);
    ASSERT_LE(r.x + r.width, s);
    ASSERT_LE(r.y + r.height, s);
    for (int y = r.y; y < r.y + r.height; ++y)
      for (int x = r.x; x < r.x + r.width; ++x) ++cover[static_cast<std::size_t>(y) * s + x];
  }
  for (int c : cover) ASSERT_EQ(c, 1) << s << " " << w << "x" << h;
}

TEST(SnapshotLayout, XgaScreenInA1024Square) {
  const auto copies = SnapshotCopies(1024, 1024, 768);
  EXPECT_EQ(copies[0].width, 1024);
  EXPECT_EQ(copies[0].height, 768);
  EXPECT_TRUE(copies[1].empty());  // the right strip is 0 pixels wide
  EXPECT_EQ(copies[2].y, 768);
  EXPECT_EQ(copies[2].height, 256);  // below: the screen's top 256 lines again
  EXPECT_EQ(copies[2].width, 1024);
  EXPECT_TRUE(copies[3].empty());
  ExpectTiles(1024, 1024, 768);
}

TEST(SnapshotLayout, SxgaScreenMakesAllFourCopies) {
  const auto copies = SnapshotCopies(2048, 1280, 1024);
  for (const CopyRect& r : copies) EXPECT_FALSE(r.empty());
  EXPECT_EQ(copies[1].x, 1280);
  EXPECT_EQ(copies[1].width, 768);
  EXPECT_EQ(copies[3].height, 1024);
  ExpectTiles(2048, 1280, 1024);
}

TEST(SnapshotLayout, ScreensLargerThanTheSquareAreCutToIt) {
  ExpectTiles(64, 100, 30);
  ExpectTiles(64, 30, 100);
  ExpectTiles(64, 200, 200);
  const auto copies = SnapshotCopies(64, 200, 200);
  EXPECT_EQ(copies[0].width, 64);
  EXPECT_TRUE(copies[1].empty());
  EXPECT_TRUE(copies[2].empty());
  EXPECT_TRUE(copies[3].empty());
  for (const CopyRect& r : SnapshotCopies(64, 100, 30)) EXPECT_FALSE(r.scaled());  // cut, read 1:1
}

// A 5120 x 2880 screen scaled into a 4096 square as 4096 x 2304: the picture reads the whole screen, the
// strip below repeats the screen's top part at the same scale.
TEST(SnapshotLayout, AScaledScreenIsReadWholeAndItsStripsAtTheSameScale) {
  const auto copies = SnapshotCopies(4096, 5120, 2880, 4096, 2304);
  EXPECT_EQ(copies[0].width, 4096);
  EXPECT_EQ(copies[0].height, 2304);
  EXPECT_EQ(copies[0].sourceWidth, 5120);
  EXPECT_EQ(copies[0].sourceHeight, 2880);
  EXPECT_TRUE(copies[0].scaled());
  EXPECT_TRUE(copies[1].empty());
  EXPECT_EQ(copies[2].y, 2304);
  EXPECT_EQ(copies[2].height, 1792);
  EXPECT_EQ(copies[2].sourceHeight, 2240);  // 1792 x 5 / 4
  EXPECT_EQ(copies[2].sourceWidth, 5120);
  // Tiling is the same as for a screen of the picture's size.
  const auto plain = SnapshotCopies(4096, 4096, 2304);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(copies[i].x, plain[i].x);
    EXPECT_EQ(copies[i].y, plain[i].y);
    EXPECT_EQ(copies[i].width, plain[i].width);
    EXPECT_EQ(copies[i].height, plain[i].height);
    EXPECT_FALSE(plain[i].scaled());
  }
}

TEST(SnapshotLayout, DegenerateSizesGiveNoNegativeCopies) {
  for (const CopyRect& r : SnapshotCopies(0, 1024, 768)) EXPECT_TRUE(r.empty());
  for (const CopyRect& r : SnapshotCopies(16, -5, 0)) {
    EXPECT_GE(r.width, 0);
    EXPECT_GE(r.height, 0);
  }
}

// Tiles cover the square exactly once, each within the screen's size, and match the four copies where
// the screen is at least half the square.
TEST(SnapshotLayout, TilesCoverTheSquareWithinTheScreensSize) {
  struct Case {
    int s, w, h;
    size_t tiles;
  };
  for (const Case& c : {Case{1024, 320, 240, 20}, Case{1024, 800, 600, 4}, Case{1024, 1024, 768, 2},
                        Case{2048, 1280, 1024, 4}, Case{512, 1024, 768, 1}}) {
    const auto tiles = SnapshotTiles(c.s, c.w, c.h);
    EXPECT_EQ(tiles.size(), c.tiles) << c.w << "x" << c.h;
    std::vector<int> cover(static_cast<std::size_t>(c.s) * c.s, 0);
    for (const CopyRect& r : tiles) {
      ASSERT_FALSE(r.empty());
      ASSERT_LE(r.width, c.w);
      ASSERT_LE(r.height, c.h);
      ASSERT_LE(r.x + r.width, c.s);
      ASSERT_LE(r.y + r.height, c.s);
      for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) ++cover[static_cast<std::size_t>(y) * c.s + x];
    }
    for (int n : cover) ASSERT_EQ(n, 1) << c.w << "x" << c.h;
  }
  // Half the square or more on each edge: the same rectangles as the four copies, empty ones left out.
  const auto copies = SnapshotCopies(1024, 800, 600);
  const auto tiles = SnapshotTiles(1024, 800, 600);
  ASSERT_EQ(tiles.size(), 4u);
  EXPECT_EQ(tiles[1].x, copies[1].x);
  EXPECT_EQ(tiles[1].width, copies[1].width);
  EXPECT_EQ(tiles[2].y, copies[2].y);
  EXPECT_EQ(tiles[3].height, copies[3].height);
  EXPECT_TRUE(SnapshotTiles(1024, 0, 768).empty());
  for (const CopyRect& r : tiles) EXPECT_FALSE(r.scaled());
}

// A monitor scaled into the square: the tiles are the picture's size, each reading its part of the
// monitor at screen size.
TEST(SnapshotLayout, ScaledTilesReadTheirPartOfTheScreenAtScreenSize) {
  const auto tiles = SnapshotTiles(1024, 2048, 1536, 1024, 768);
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(tiles[0].width, 1024);
  EXPECT_EQ(tiles[0].height, 768);
  EXPECT_EQ(tiles[0].sourceWidth, 2048);
  EXPECT_EQ(tiles[0].sourceHeight, 1536);
  EXPECT_EQ(tiles[1].y, 768);
  EXPECT_EQ(tiles[1].height, 256);
  EXPECT_EQ(tiles[1].sourceHeight, 512);
  EXPECT_TRUE(tiles[1].scaled());
}

}  // namespace
}  // namespace lumar
