#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/image.h"
#include "platform/jpeg_encoder.h"
#include "test_pictures.h"

namespace lumar {
namespace {

// Largest difference of any channel between two pictures of equal size, leaving out a band of `margin`
// pixels around the midlines (where the quadrants meet, subsampled colour is smoothed across the edge).
int MaxChannelError(const Image& a, const Image& b, uint32_t margin = 0) {
  int worst = 0;
  for (uint32_t y = 0; y < a.height; ++y) {
    for (uint32_t x = 0; x < a.width; ++x) {
      if (margin > 0 && (x + margin > a.width / 2 && x < a.width / 2 + margin)) continue;
      if (margin > 0 && (y + margin > a.height / 2 && y < a.height / 2 + margin)) continue;
      for (int shift = 0; shift < 32; shift += 8) {
        const int d = std::abs(static_cast<int>((a.At(x, y) >> shift) & 0xFF) -
                               static_cast<int>((b.At(x, y) >> shift) & 0xFF));
        worst = std::max(worst, d);
      }
    }
  }
  return worst;
}

Image RoundTrip(const Image& source, const JpegOptions& options, ImageSourceInfo* info = nullptr) {
  const std::vector<uint8_t> file = EncodeJpeg(source, options);
  EXPECT_FALSE(file.empty());
  Image decoded;
  EXPECT_EQ(DecodeImage(file.data(), file.size(), decoded, info), ImageStatus::kOk);
  return decoded;
}

TEST(JpegDecode, ColourPictureKeepsItsTopRowFirst) {
  const Image source = test::Quadrants(64, 48);
  ImageSourceInfo info;
  const Image decoded = RoundTrip(source, {100, JpegColor::kColor, false}, &info);
  ASSERT_EQ(decoded.width, 64u);
  ASSERT_EQ(decoded.height, 48u);
  // Flat areas survive quality 100 within a few levels.
  EXPECT_LE(MaxChannelError(decoded, source, 4), 4);
  EXPECT_EQ(decoded.At(0, 0) >> 24, 0xFFu);
  EXPECT_EQ(info.kind, ImageFileKind::kJpeg);
  EXPECT_EQ(info.bitsPerPixel, 24);
  EXPECT_FALSE(info.grayscale);
}

TEST(JpegDecode, GrayscaleGivesEqualChannels) {
  Image ramp = test::FilledImage(32, 16, 0);
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x = 0; x < 32; ++x) ramp.pixels[y * 32 + x] = 0xFF000000u | (x * 8) * 0x010101u;
  }
  ImageSourceInfo info;
  const Image decoded = RoundTrip(ramp, {95, JpegColor::kGrayscale, false}, &info);
  EXPECT_TRUE(info.grayscale);
  EXPECT_EQ(info.bitsPerPixel, 8);
  for (uint32_t p : decoded.pixels) {
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_EQ((p >> 16) & 0xFF, p & 0xFF);
    EXPECT_EQ((p >> 8) & 0xFF, p & 0xFF);
  }
  EXPECT_LE(MaxChannelError(decoded, ramp), 6);
}

TEST(JpegDecode, ProgressiveAndCmykFilesDecodeToTheSamePicture) {
  const Image source = test::Quadrants(48, 32);
  EXPECT_LE(MaxChannelError(RoundTrip(source, {100, JpegColor::kColor, true}), source, 4), 4);
  ImageSourceInfo info;
  EXPECT_LE(MaxChannelError(RoundTrip(source, {100, JpegColor::kCmyk, false}, &info), source, 4), 4);
  EXPECT_EQ(info.bitsPerPixel, 32);
}

TEST(JpegDecode, OddSizesAreKeptExactly) {
  const Image decoded = RoundTrip(test::FilledImage(17, 5, 0xFF808080u), {90, JpegColor::kColor, false});
  EXPECT_EQ(decoded.width, 17u);
  EXPECT_EQ(decoded.height, 5u);
  EXPECT_EQ(decoded.pixels.size(), 85u);
}

TEST(JpegEncode, SameInputGivesSameBytes) {
  const Image source = test::Quadrants(32, 32);
  EXPECT_EQ(EncodeJpeg(source, {}), EncodeJpeg(source, {}));
  EXPECT_TRUE(EncodeJpeg(Image{}, {}).empty());
}

}  // namespace
}  // namespace lumar
