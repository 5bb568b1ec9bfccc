// The committed pictures of resources/ are what the saver embeds: check each has the size and kind the
// saver expects, decoded by our own loader, and that none of them is flat.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "platform/image.h"
#include "platform/image_scaling.h"
#include "platform/texel_format.h"

namespace lumar {
namespace {

struct Expected {
  const char* file;
  ImageFileKind kind;
  uint32_t width, height;
  int bitsPerPixel;
  bool grayscale;
};

class BuiltinPicture : public ::testing::TestWithParam<Expected> {};

TEST_P(BuiltinPicture, HasItsSizeAndKindAndRealDetail) {
  const Expected& e = GetParam();
  Image image;
  ImageSourceInfo info;
  ASSERT_EQ(LoadImageFile(std::string(LUMAR_SOURCE_DIR) + "/resources/" + e.file, image, &info),
            ImageStatus::kOk);
  EXPECT_EQ(info.kind, e.kind);
  EXPECT_EQ(image.width, e.width);
  EXPECT_EQ(image.height, e.height);
  EXPECT_EQ(info.bitsPerPixel, e.bitsPerPixel);
  EXPECT_EQ(info.grayscale, e.grayscale);
  // No flat areas: every 16 x 16 tile holds several different values.
  for (uint32_t ty = 0; ty + 16 <= image.height; ty += 16) {
    for (uint32_t tx = 0; tx + 16 <= image.width; tx += 16) {
      std::set<uint32_t> values;
      for (uint32_t y = ty; y < ty + 16; ++y) {
        for (uint32_t x = tx; x < tx + 16; ++x) values.insert(image.At(x, y));
      }
      ASSERT_GE(values.size(), 2u) << e.file << " tile " << tx << "," << ty;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Resources, BuiltinPicture,
    ::testing::Values(Expected{"metal.jpg", ImageFileKind::kJpeg, 800, 600, 24, false},
                      Expected{"sky.jpg", ImageFileKind::kJpeg, 640, 480, 24, false},
                      Expected{"orange_bar.jpg", ImageFileKind::kJpeg, 256, 192, 8, true},
                      Expected{"link_button.bmp", ImageFileKind::kBmp, 40, 40, 4, false}));

TEST(BuiltinPicture, BarPictureBecomesSquareTexelsWithItsGrayInTheLowestByte) {
  Image bar;
  ASSERT_EQ(LoadImageFile(std::string(LUMAR_SOURCE_DIR) + "/resources/orange_bar.jpg", bar),
            ImageStatus::kOk);
  const Image texture = ScaleToPowerOfTwo(bar);
  ASSERT_EQ(texture.width, 256u);
  ASSERT_EQ(texture.height, 256u);
  std::vector<uint8_t> texels(256 * 256 * 4);
  WriteTexels(texture, LoaderTexelFormat(20), texels.data(), 256 * 4);  // the bar asks for R8G8B8
  int distinct[256] = {};
  for (size_t i = 0; i < texels.size(); i += 4) {
    ASSERT_EQ(texels[i], texels[i + 1]);
    ASSERT_EQ(texels[i], texels[i + 2]);
    distinct[texels[i]] = 1;
  }
  int levels = 0;
  for (int d : distinct) levels += d;
  EXPECT_GT(levels, 64);  // a real relief, not a few flat grays
}

}  // namespace
}  // namespace lumar
