// Pictures come from files the user picks: every malformed input must end in an error status, with no
// crash, no read outside the data (the sanitizers watch) and no allocation beyond the size caps.
#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "platform/image.h"
#include "platform/jpeg_encoder.h"
#include "test_pictures.h"

namespace lumar {
namespace {

using test::BuildBmp;
using test::Layout;

ImageStatus Decode(const std::vector<uint8_t>& file) {
  Image image;
  const ImageStatus status = DecodeImage(file.data(), file.size(), image);
  if (status != ImageStatus::kOk) {
    EXPECT_TRUE(image.pixels.empty() && image.width == 0 && image.height == 0);
  }
  return status;
}

void Put32(std::vector<uint8_t>& file, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Offsets in a BMP with a 40-byte header.
constexpr size_t kDataOffsetField = 10;
constexpr size_t kWidthField = 18;
constexpr size_t kHeightField = 22;
constexpr size_t kBitsField = 28;
constexpr size_t kCompressionField = 30;

std::vector<uint8_t> SmallBmp() {
  return BuildBmp(Layout(3, 2, 24), {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}});
}

std::vector<uint8_t> SmallJpeg(bool progressive = false) {
  return EncodeJpeg(test::Quadrants(32, 16), {80, JpegColor::kColor, progressive});
}

// Offset of the height field of the JPEG's frame header (SOF0 or SOF2): marker, length, precision, height.
size_t JpegHeightField(const std::vector<uint8_t>& file) {
  for (size_t i = 2; i + 1 < file.size(); ++i) {
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) return i + 5;
  }
  ADD_FAILURE() << "no frame header";
  return 0;
}

void PutJpegSize(std::vector<uint8_t>& file, uint16_t width, uint16_t height) {
  const size_t at = JpegHeightField(file);
  file[at] = static_cast<uint8_t>(height >> 8);
  file[at + 1] = static_cast<uint8_t>(height);
  file[at + 2] = static_cast<uint8_t>(width >> 8);
  file[at + 3] = static_cast<uint8_t>(width);
}

TEST(BadInput, EveryTruncationOfABmpFails) {
  const std::vector<uint8_t> file = SmallBmp();
  ASSERT_EQ(Decode(file), ImageStatus::kOk);
  for (size_t length = 0; length < file.size(); ++length) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + length);
    EXPECT_NE(Decode(cut), ImageStatus::kOk) << length;
  }
}

TEST(BadInput, EveryTruncationOfAJpegFails) {
  for (bool progressive : {false, true}) {
    const std::vector<uint8_t> file = SmallJpeg(progressive);
    ASSERT_EQ(Decode(file), ImageStatus::kOk);
    // The last two bytes are the end-of-image marker, which libjpeg does not need to finish.
    for (size_t length = 0; length + 2 < file.size(); ++length) {
      const std::vector<uint8_t> cut(file.begin(), file.begin() + length);
      EXPECT_NE(Decode(cut), ImageStatus::kOk) << length << (progressive ? " progressive" : "");
    }
  }
}

TEST(BadInput, BmpSizesOutsideTheCapsAreRejectedBeforeAllocation) {
  std::vector<uint8_t> file = SmallBmp();
  Put32(file, kWidthField, 100000);
  Put32(file, kHeightField, 100000);
  EXPECT_EQ(Decode(file), ImageStatus::kTooLarge);
  Put32(file, kWidthField, kMaxImageEdge + 1);
  Put32(file, kHeightField, 1);
  EXPECT_EQ(Decode(file), ImageStatus::kTooLarge);
  Put32(file, kWidthField, kMaxImageEdge);  // each edge allowed, the area is not
  Put32(file, kHeightField,
        static_cast<uint32_t>(-static_cast<int32_t>(kMaxImagePixels / kMaxImageEdge + 1)));
  EXPECT_EQ(Decode(file), ImageStatus::kTooLarge);
  Put32(file, kHeightField, static_cast<uint32_t>(kMaxImagePixels / kMaxImageEdge));  // allowed, but no data
  EXPECT_EQ(Decode(file), ImageStatus::kTruncated);
}

TEST(BadInput, BmpZeroNegativeAndOverflowingSizesAreInvalid) {
  std::vector<uint8_t> file = SmallBmp();
  for (uint32_t width : {0u, 0xFFFFFFFFu, 0x80000000u}) {
    Put32(file, kWidthField, width);
    EXPECT_EQ(Decode(file), ImageStatus::kInvalid) << width;
  }
  Put32(file, kWidthField, 3);
  // Zero rows, and the one negative height whose magnitude does not fit in 32 bits.
  for (uint32_t height : {0u, 0x80000000u}) {
    Put32(file, kHeightField, height);
    EXPECT_EQ(Decode(file), ImageStatus::kInvalid) << height;
  }
}

TEST(BadInput, BmpHeadersThatContradictThemselves) {
  std::vector<uint8_t> file = SmallBmp();
  Put32(file, kDataOffsetField, static_cast<uint32_t>(file.size()) + 100);
  EXPECT_EQ(Decode(file), ImageStatus::kTruncated);
  Put32(file, kDataOffsetField, 20);  // pixels inside the header
  EXPECT_EQ(Decode(file), ImageStatus::kInvalid);
  Put32(file, kDataOffsetField, 0xFFFFFFFFu);
  EXPECT_EQ(Decode(file), ImageStatus::kTruncated);

  file = SmallBmp();
  file[kBitsField] = 7;
  EXPECT_EQ(Decode(file), ImageStatus::kInvalid);
  file[kBitsField] = 24;
  Put32(file, kCompressionField, 3);  // bit fields need 16 or 32 bits per pixel
  EXPECT_EQ(Decode(file), ImageStatus::kInvalid);
  Put32(file, kCompressionField, 1);  // run-length encoded
  EXPECT_EQ(Decode(file), ImageStatus::kUnsupported);
  Put32(file, kCompressionField, 99);
  EXPECT_EQ(Decode(file), ImageStatus::kInvalid);

  file = SmallBmp();
  Put32(file, 14, 2000000);  // header size
  EXPECT_EQ(Decode(file), ImageStatus::kUnsupported);
}

TEST(BadInput, JpegSizesOutsideTheCapsAreRejected) {
  std::vector<uint8_t> file = SmallJpeg();
  PutJpegSize(file, 60000, 60000);
  EXPECT_NE(Decode(file), ImageStatus::kOk);
  PutJpegSize(file, kMaxImageEdge + 16, 16);
  EXPECT_EQ(Decode(file), ImageStatus::kTooLarge);
  PutJpegSize(file, 32, 0);
  EXPECT_EQ(Decode(file), ImageStatus::kInvalid);
  // Within the caps but far more picture than data: the data runs out.
  PutJpegSize(file, 4096, 4096);
  EXPECT_EQ(Decode(file), ImageStatus::kTruncated);
}

TEST(BadInput, GarbageIsRejected) {
  EXPECT_EQ(Decode({}), ImageStatus::kTruncated);
  EXPECT_EQ(Decode({'G', 'I', 'F', '8', '9', 'a'}), ImageStatus::kUnknownFormat);
  EXPECT_EQ(Decode({'B', 'M'}), ImageStatus::kTruncated);
  std::vector<uint8_t> noise(4096);
  uint32_t state = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  noise[0] = 0xFF;
  noise[1] = 0xD8;
  noise[2] = 0xFF;
  EXPECT_NE(Decode(noise), ImageStatus::kOk);
  noise[0] = 'B';
  noise[1] = 'M';
  EXPECT_NE(Decode(noise), ImageStatus::kOk);
}

TEST(BadInput, MissingFileIsUnreadable) {
  Image image;
  EXPECT_EQ(LoadImageFile("/nonexistent/picture.jpg", image), ImageStatus::kFileUnreadable);
}

}  // namespace
}  // namespace lumar
