#include "platform/image_scaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <string>

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

// A picture of noise: every pixel's four channels differ, so any change of the arithmetic shows.
Image Noise(uint32_t width, uint32_t height, uint32_t seed) {
  Image image = test::FilledImage(width, height, 0);
  for (uint32_t& pixel : image.pixels) {
    seed = seed * 1664525u + 1013904223u;
    pixel = seed ^ (seed >> 13);
  }
  return image;
}

uint64_t Fnv1a(const Image& image) {
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      hash ^= (v >> (8 * i)) & 0xFFu;
      hash *= 1099511628211ull;
    }
  };
  mix(image.width);
  mix(image.height);
  for (uint32_t pixel : image.pixels) mix(pixel);
  return hash;
}

// The resampling keeps only the filtered rows it is reading; its results must be bit for bit those of
// the earlier version, which filtered every source row first. The hashes were taken from that version.
TEST(ResizeImage, ResultsAreThoseOfTheWholePictureTwoPassVersion) {
  struct Case {
    uint32_t width, height, toWidth, toHeight;
    uint64_t hash;
  };
  const Case cases[] = {
      {37, 23, 64, 32, 0x8c870e85e782c203ull},      {300, 200, 512, 256, 0x54e07f491d3b758bull},
      {1, 192, 1, 256, 0x867b436232f1ac58ull},      {64, 64, 16, 16, 0x85992a8f725f97fdull},
      {100, 7, 128, 8, 0x596fd2ef60add1ebull},      {5, 300, 8, 512, 0xe1907834f83fa031ull},
      {640, 480, 1024, 512, 0x050c7b379d3a33feull}, {129, 65, 64, 200, 0x96b015db20cf93ebull},
      {3, 1, 1, 1, 0xa25ea08e709dc7e5ull},          {257, 3, 256, 3, 0xb9a29267ed81368full},
  };
  for (const Case& c : cases) {
    const Image scaled =
        ResizeImage(Noise(c.width, c.height, c.width * 31 + c.height), c.toWidth, c.toHeight);
    EXPECT_EQ(Fnv1a(scaled), c.hash) << c.width << "x" << c.height << " to " << c.toWidth << "x"
                                     << c.toHeight;
  }
}

// Working memory: the rows held at once, each of the destination's width in four floats. Enlarging an
// 8192 x 8191 picture to 8192 x 8192 once took a float copy of all of it (1 GiB); now 4 rows (512 KiB).
TEST(ResizeImage, HoldsOnlyTheRowsOneDestinationRowReads) {
  EXPECT_LE(ResizeRowsHeld(8191, 8192), 4u);
  EXPECT_LE(ResizeRowsHeld(192, 256), 4u);
  EXPECT_EQ(ResizeRowsHeld(600, 600), 1u);    // an unchanged height reads one row per row
  EXPECT_LE(ResizeRowsHeld(8192, 4096), 9u);  // halving: the filter is twice as wide
  EXPECT_GE(ResizeRowsHeld(8192, 4096), 7u);
  EXPECT_EQ(ResizeRowsHeld(0, 4), 0u);
}

TEST(ScaleForTexture, PowerOfTwoEdgesWithinTheDevicesLimit) {
  const Image picture = Noise(300, 70, 7);
  const Image within = ScaleForTexture(picture, 4096, 4096);
  EXPECT_EQ(within.width, 512u);
  EXPECT_EQ(within.height, 128u);
  EXPECT_EQ(within.pixels, ResizeImage(picture, 512, 128).pixels);
  const Image capped = ScaleForTexture(picture, 256, 64);
  EXPECT_EQ(capped.width, 256u);
  EXPECT_EQ(capped.height, 64u);
  const Image square = Noise(64, 32, 3);
  EXPECT_EQ(ScaleForTexture(square, 4096, 4096).pixels, square.pixels);
}

TEST(LoadTexturePicture, DecodesAndScalesForTheTexture) {
  const std::string metal = std::string(LUMAR_SOURCE_DIR) + "/resources/metal.jpg";  // 800 x 600
  Image decoded;
  ASSERT_EQ(LoadImageFile(metal, decoded), ImageStatus::kOk);
  Image picture;
  ASSERT_EQ(LoadTexturePicture(metal, 16384, picture), ImageStatus::kOk);
  EXPECT_EQ(picture.width, 1024u);
  EXPECT_EQ(picture.height, 1024u);
  EXPECT_EQ(picture.pixels, ResizeImage(decoded, 1024, 1024).pixels);
  ASSERT_EQ(LoadTexturePicture(metal, 512, picture), ImageStatus::kOk);
  EXPECT_EQ(picture.width, 512u);
  EXPECT_EQ(LoadTexturePicture("/nonexistent/picture.jpg", 512, picture), ImageStatus::kFileUnreadable);
}

TEST(CatchOutOfMemory, AnAllocationFailureRefusesThePictureInsteadOfEndingTheProcess) {
  Image picture = Noise(4, 4, 1);
  const ImageStatus status = CatchOutOfMemory(picture, [&]() -> ImageStatus {
    picture.pixels.resize(8);  // half done when memory runs out
    throw std::bad_alloc();
  });
  EXPECT_EQ(status, ImageStatus::kOutOfMemory);
  EXPECT_TRUE(picture.pixels.empty());
  EXPECT_EQ(picture.width, 0u);
  EXPECT_STREQ(ImageStatusName(status), "out of memory");
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
