// The loader decides a file's format by its content: BMP and JPEG by their own decoders (a JPEG turned
// upright by its orientation tag), anything else by the decoder handed in, and without one an
// unknown format. The pictures come from the picture generator (--test-pictures).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/image.h"

namespace lumar {
namespace {

const std::string kPictures = std::string(LUMAR_SOURCE_DIR) + "/tests/platform/pictures/";

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > 24 || d < -24) return false;
  }
  return true;
}

// The colours at the middles of the four quarters: top left, top right, bottom left, bottom right.
void ExpectQuarters(const Image& image, uint32_t tl, uint32_t tr, uint32_t bl, uint32_t br) {
  ASSERT_FALSE(image.pixels.empty());
  const uint32_t x0 = image.width / 4, x1 = 3 * image.width / 4, y0 = image.height / 4,
                 y1 = 3 * image.height / 4;
  EXPECT_TRUE(Near(image.At(x0, y0), tl)) << std::hex << image.At(x0, y0);
  EXPECT_TRUE(Near(image.At(x1, y0), tr)) << std::hex << image.At(x1, y0);
  EXPECT_TRUE(Near(image.At(x0, y1), bl)) << std::hex << image.At(x0, y1);
  EXPECT_TRUE(Near(image.At(x1, y1), br)) << std::hex << image.At(x1, y1);
}

TEST(PictureFormats, JpegWithOrientationSixComesOutUpright) {
  Image image;
  ImageSourceInfo info;
  ASSERT_EQ(LoadImageFile(kPictures + "quarters_orientation6.jpg", image, &info), ImageStatus::kOk);
  EXPECT_EQ(info.kind, ImageFileKind::kJpeg);
  // Stored 96 x 64 on its side; viewed 64 x 96, the stored left column now the top row.
  EXPECT_EQ(image.width, 64u);
  EXPECT_EQ(image.height, 96u);
  ExpectQuarters(image, kBlue, kRed, kWhite, kGreen);
}

TEST(PictureFormats, ContentDecidesNotTheName) {
  Image image;
  ImageSourceInfo info;
  ASSERT_EQ(LoadImageFile(kPictures + "jpeg_named.png", image, &info), ImageStatus::kOk);
  EXPECT_EQ(info.kind, ImageFileKind::kJpeg);
  ExpectQuarters(image, kRed, kGreen, kBlue, kWhite);
}

// A stand-in for the system's decoder: records what it saw and gives a 2 x 1 picture.
int otherCalls = 0;
ImageStatus TwoPixels(const uint8_t*, size_t, Image& image) {
  ++otherCalls;
  image.width = 2;
  image.height = 1;
  image.pixels = {kRed, kGreen};
  return ImageStatus::kOk;
}
ImageStatus Refuses(const uint8_t*, size_t, Image& image) {
  ++otherCalls;
  image.width = 1;  // a half-filled picture the loader must not hand on
  return ImageStatus::kInvalid;
}

struct OtherCase {
  const char* file;
  OtherFormatDecoder other;
  ImageStatus expected;
  int calls;
};

TEST(PictureFormats, OtherFormatsGoToTheDecoderHandedIn) {
  const OtherCase cases[] = {
      {"quarters.png", nullptr, ImageStatus::kUnknownFormat, 0},
      {"quarters.gif", nullptr, ImageStatus::kUnknownFormat, 0},
      {"quarters.png", TwoPixels, ImageStatus::kOk, 1},
      {"quarters.gif", Refuses, ImageStatus::kInvalid, 1},
      {"jpeg_named.png", Refuses, ImageStatus::kOk, 0},  // our JPEG decoder, not the other
      // Refused on the declared size: the other decoder never sees it.
      {"declares_30000x30000.png", TwoPixels, ImageStatus::kTooLarge, 0},
  };
  for (const OtherCase& c : cases) {
    otherCalls = 0;
    Image image;
    ImageSourceInfo info;
    EXPECT_EQ(LoadImageFile(kPictures + c.file, image, &info, c.other), c.expected) << c.file;
    EXPECT_EQ(otherCalls, c.calls) << c.file;
    if (c.expected == ImageStatus::kOk) {
      EXPECT_FALSE(image.pixels.empty()) << c.file;
    } else {
      EXPECT_TRUE(image.pixels.empty() && image.width == 0 && image.height == 0) << c.file;
    }
    if (c.other == TwoPixels && c.expected == ImageStatus::kOk) {
      EXPECT_EQ(info.kind, ImageFileKind::kOther);
    }
  }
}

TEST(PictureFormats, AGifDeclaringTooMuchIsRefusedUnread) {
  std::ifstream file(kPictures + "quarters.gif", std::ios::binary);
  std::vector<uint8_t> gif((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(gif.size(), 10u);
  const struct {
    uint16_t width, height;
    ImageStatus expected;
    int calls;
  } cases[] = {{16384, 4096, ImageStatus::kOk, 1},
               {16385, 1, ImageStatus::kTooLarge, 0},
               {16384, 4097, ImageStatus::kTooLarge, 0},
               {0, 64, ImageStatus::kTooLarge, 0}};
  for (const auto& c : cases) {
    gif[6] = static_cast<uint8_t>(c.width), gif[7] = static_cast<uint8_t>(c.width >> 8);
    gif[8] = static_cast<uint8_t>(c.height), gif[9] = static_cast<uint8_t>(c.height >> 8);
    otherCalls = 0;
    Image image;
    EXPECT_EQ(DecodeImage(gif.data(), gif.size(), image, nullptr, TwoPixels), c.expected) << c.width;
    EXPECT_EQ(otherCalls, c.calls) << c.width;
  }
}

TEST(PictureFormats, FolderEmptyFileAndOverlongPathFallBack) {
  const std::string empty = testing::TempDir() + "lumar_empty.png";
  { std::ofstream create(empty, std::ios::binary); }
  Image image;
  EXPECT_EQ(LoadImageFile(kPictures, image, nullptr, TwoPixels), ImageStatus::kFileUnreadable);
  EXPECT_EQ(LoadImageFile(kPictures.substr(0, kPictures.size() - 1), image, nullptr, TwoPixels),
            ImageStatus::kFileUnreadable);
  otherCalls = 0;
  EXPECT_EQ(LoadImageFile(empty, image, nullptr, TwoPixels), ImageStatus::kTruncated);
  EXPECT_EQ(otherCalls, 0);
  EXPECT_TRUE(image.pixels.empty());
  // A path Windows' ANSI calls refuse is refused here too, whatever this system allows.
  std::string longPath = kPictures + "quarters.gif";
  longPath.insert(kPictures.size() - 1, std::string(kMaxImagePathLength + 1 - longPath.size(), '/'));
  ASSERT_EQ(longPath.size(), kMaxImagePathLength + 1);
  EXPECT_EQ(LoadImageFile(longPath, image, nullptr, TwoPixels), ImageStatus::kFileUnreadable);
  longPath.erase(kPictures.size() - 1, 1);
  EXPECT_EQ(LoadImageFile(longPath, image, nullptr, TwoPixels), ImageStatus::kOk);
  std::remove(empty.c_str());
}

}  // namespace
}  // namespace lumar
