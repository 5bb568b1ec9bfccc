#include "platform/image_scaling.h"

#include <gtest/gtest.h>

#include <cmath>

#include "test_pictures.h"

namespace lumar {
namespace {

uint32_t Gray(uint32_t v) { return 0xFF000000u | v * 0x010101u; }

TEST(PowerOfTwo, RoundsEdgesUp) {
  EXPECT_EQ(PowerOfTwoAtLeast(0), 1u);
  EXPECT_EQ(PowerOfTwoAtLeast(1), 1u);
  EXPECT_EQ(PowerOfTwoAtLeast(192), 256u);
  EXPECT_EQ(PowerOfTwoAtLeast(256), 256u);
  EXPECT_EQ(PowerOfTwoAtLeast(257), 512u);
  EXPECT_EQ(PowerOfTwoAtLeast(600), 1024u);
  EXPECT_EQ(PowerOfTwoAtLeast(16384), 16384u);
}

TEST(ScaleToPowerOfTwo, BarPictureBecomesSquareAndKeepsItsColumnsExactly) {
  // Every column a different gray, constant down the column: only the vertical edge is resampled.
  Image bar = test::FilledImage(256, 192, 0);
  for (uint32_t y = 0; y < 192; ++y) {
    for (uint32_t x = 0; x < 256; ++x) bar.pixels[y * 256 + x] = Gray((x * 37) & 0xFF);
  }
  const Image scaled = ScaleToPowerOfTwo(bar);
  ASSERT_EQ(scaled.width, 256u);
  ASSERT_EQ(scaled.height, 256u);
  for (uint32_t y = 0; y < 256; y += 5) {
    for (uint32_t x = 0; x < 256; ++x) ASSERT_EQ(scaled.At(x, y), Gray((x * 37) & 0xFF)) << x << "," << y;
  }
}

TEST(ScaleToPowerOfTwo, PowerOfTwoPictureIsUnchanged) {
  const Image square = test::Quadrants(64, 32);
  EXPECT_EQ(ScaleToPowerOfTwo(square).pixels, square.pixels);
}

TEST(ResizeImage, EnlargingFollowsALinearRamp) {
  // The filter reproduces straight lines: a ramp stays a ramp, sampled at the new pixel centres.
  Image ramp = test::FilledImage(1, 192, 0);
  for (uint32_t y = 0; y < 192; ++y) ramp.pixels[y] = Gray(y);
  const Image scaled = ResizeImage(ramp, 1, 256);
  for (uint32_t y = 4; y < 252; ++y) {
    const double expected = (y + 0.5) * 192.0 / 256.0 - 0.5;
    EXPECT_NEAR(static_cast<double>(scaled.At(0, y) & 0xFF), expected, 0.51) << y;
  }
  // Near the ends the edge pixel is repeated, so the values stay within the source's range.
  EXPECT_LE(scaled.At(0, 0) & 0xFF, 1u);
  EXPECT_GE(scaled.At(0, 255) & 0xFF, 190u);
}

TEST(ResizeImage, ShrinkingAveragesInsteadOfAliasing) {
  // A one-pixel checkerboard shrunk by 4 must become an even gray (point sampling would give black or
  // white); the cubic's small negative lobes leave a few levels of ripple.
  Image checker = test::FilledImage(64, 64, 0);
  for (uint32_t y = 0; y < 64; ++y) {
    for (uint32_t x = 0; x < 64; ++x) checker.pixels[y * 64 + x] = Gray(((x + y) & 1) ? 255 : 0);
  }
  const Image small = ResizeImage(checker, 16, 16);
  for (uint32_t p : small.pixels) EXPECT_NEAR(static_cast<double>(p & 0xFF), 127.5, 8.0);
}

TEST(ResizeImage, FlatPictureStaysFlatInEveryChannel) {
  const Image flat = test::FilledImage(30, 20, 0x80402010u);
  for (const Image& scaled : {ResizeImage(flat, 64, 32), ResizeImage(flat, 7, 3), ResizeImage(flat, 1, 1)}) {
    for (uint32_t p : scaled.pixels) ASSERT_EQ(p, 0x80402010u);
  }
  EXPECT_TRUE(ResizeImage(Image{}, 4, 4).pixels.empty());
  EXPECT_TRUE(ResizeImage(flat, 0, 4).pixels.empty());
}

TEST(HalveImage, AveragesBlocksAndStopsAtOne) {
  Image image = test::FilledImage(5, 3, 0);
  for (uint32_t i = 0; i < 15; ++i) image.pixels[i] = Gray(i * 10);
  const Image half = HalveImage(image);
  ASSERT_EQ(half.width, 2u);
  ASSERT_EQ(half.height, 1u);
  // (0 + 10 + 50 + 60) / 4 = 30 and (20 + 30 + 70 + 80) / 4 = 50; the odd last column and row drop out.
  EXPECT_EQ(half.pixels, (std::vector<uint32_t>{Gray(30), Gray(50)}));

  Image column = test::FilledImage(1, 4, 0);
  column.pixels = {Gray(0), Gray(100), Gray(200), Gray(201)};
  const Image halfColumn = HalveImage(column);
  ASSERT_EQ(halfColumn.width, 1u);
  EXPECT_EQ(halfColumn.pixels, (std::vector<uint32_t>{Gray(50), Gray(201)}));  // 200.5 rounds up
}

}  // namespace
}  // namespace lumar
