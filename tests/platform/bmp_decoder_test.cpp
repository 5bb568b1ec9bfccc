#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "platform/image.h"

namespace lumar {
namespace {

using test::BmpLayout;
using test::BuildBmp;
using test::Layout;
using test::WordRow;

Image DecodeOk(const std::vector<uint8_t>& file, ImageSourceInfo* info = nullptr) {
  Image image;
  EXPECT_EQ(DecodeImage(file.data(), file.size(), image, info), ImageStatus::kOk);
  return image;
}

std::vector<uint32_t> Opaque(std::vector<uint32_t> rgb) {
  for (uint32_t& p : rgb) p |= 0xFF000000u;
  return rgb;
}

TEST(BmpIndexed, OneBitRowsAreMostSignificantBitFirstAndBottomUp) {
  BmpLayout layout = Layout(10, 2, 1);
  layout.palette = {0x102030, 0xA0B0C0};
  // Bottom row: 1000000001, top row: 0101010101.
  const auto file = BuildBmp(layout, {{0x80, 0x40}, {0x55, 0x40}});
  ImageSourceInfo info;
  const Image image = DecodeOk(file, &info);
  ASSERT_EQ(image.width, 10u);
  ASSERT_EQ(image.height, 2u);
  const uint32_t k0 = 0xFF102030, k1 = 0xFFA0B0C0;
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{k0, k1, k0, k1, k0, k1, k0, k1, k0, k1,  //
                                                 k1, k0, k0, k0, k0, k0, k0, k0, k0, k1}));
  EXPECT_EQ(info.kind, ImageFileKind::kBmp);
  EXPECT_EQ(info.bitsPerPixel, 1);
  EXPECT_FALSE(info.grayscale);
}

TEST(BmpIndexed, FourBitOddWidthUsesHighNibbleFirst) {
  BmpLayout layout = Layout(3, 1, 4);
  for (uint32_t i = 0; i < 16; ++i) layout.palette.push_back(i * 0x111111u);
  const Image image = DecodeOk(BuildBmp(layout, {{0x2F, 0x70}}));
  EXPECT_EQ(image.pixels, Opaque({0x222222, 0xFFFFFF, 0x777777}));
}

TEST(BmpIndexed, EightBitShortPaletteMapsMissingEntriesToBlack) {
  BmpLayout layout = Layout(4, 1, 8);
  layout.palette = {0xFF0000, 0x00FF00, 0x0000FF};
  layout.colorsUsed = 3;
  const Image image = DecodeOk(BuildBmp(layout, {{2, 1, 0, 200}}));
  EXPECT_EQ(image.pixels, Opaque({0x0000FF, 0x00FF00, 0xFF0000, 0x000000}));
}

TEST(BmpIndexed, GrayPaletteIsReportedAsGrayscale) {
  BmpLayout layout = Layout(2, 1, 8);
  for (uint32_t i = 0; i < 256; ++i) layout.palette.push_back(i * 0x010101u);
  ImageSourceInfo info;
  const Image image = DecodeOk(BuildBmp(layout, {{7, 250}}), &info);
  EXPECT_EQ(image.pixels, Opaque({0x070707, 0xFAFAFA}));
  EXPECT_TRUE(info.grayscale);
}

TEST(BmpIndexed, CoreHeaderHasThreeBytePaletteEntries) {
  BmpLayout layout = Layout(2, 2, 8);
  layout.headerSize = 12;
  layout.palette = {0x123456, 0xABCDEF};
  const Image image = DecodeOk(BuildBmp(layout, {{0, 1}, {1, 1}}));
  EXPECT_EQ(image.pixels, Opaque({0xABCDEF, 0xABCDEF, 0x123456, 0xABCDEF}));
}

TEST(BmpTrueColour, TwentyFourBitRowsArePaddedAndStoredBlueGreenRed) {
  // Width 3: 9 bytes of pixels, 3 of padding per row.
  const std::vector<uint8_t> bottom = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  const std::vector<uint8_t> top = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF};
  const Image bottomUp = DecodeOk(BuildBmp(Layout(3, 2, 24), {bottom, top}));
  const Image topDown = DecodeOk(BuildBmp(Layout(3, -2, 24), {top, bottom}));
  const std::vector<uint32_t> expected = Opaque({0x0000FF, 0x00FF00, 0xFF0000, 0x030201, 0x060504, 0x090807});
  EXPECT_EQ(bottomUp.pixels, expected);
  EXPECT_EQ(topDown.pixels, expected);
}

TEST(BmpTrueColour, PlainThirtyTwoBitIgnoresTheFourthByte) {
  const Image image =
      DecodeOk(BuildBmp(Layout(2, 1, 32), {{0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0x7F}}));
  EXPECT_EQ(image.pixels, Opaque({0x302010, 0x605040}));
}

TEST(BmpTrueColour, PlainSixteenBitIsFiveFiveFive) {
  const Image image = DecodeOk(BuildBmp(Layout(3, 1, 16), {WordRow({0x7C00, 0x03E0, 0x0010}, 2)}));
  // 16 of 31 steps of blue widen to round(16 * 255 / 31) = 132.
  EXPECT_EQ(image.pixels, Opaque({0xFF0000, 0x00FF00, 0x000084}));
}

TEST(BmpBitFields, FiveSixFiveMasksAfterTheInfoHeader) {
  BmpLayout layout = Layout(4, 1, 16, 3);
  layout.masks = {0xF800, 0x07E0, 0x001F};
  const Image image = DecodeOk(BuildBmp(layout, {WordRow({0xF800, 0x07E0, 0x001F, 0x0400}, 2)}));
  // 0x0400 is 32 of 63 steps of green: round(32 * 255 / 63) = 130.
  EXPECT_EQ(image.pixels, Opaque({0xFF0000, 0x00FF00, 0x0000FF, 0x008200}));
}

TEST(BmpBitFields, V5HeaderWithAlphaMaskKeepsAlpha) {
  BmpLayout layout = Layout(2, -1, 32, 3, 124);
  layout.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  const Image image = DecodeOk(BuildBmp(layout, {WordRow({0x80112233, 0x00445566}, 4)}));
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0x80112233, 0x00445566}));
}

TEST(BmpBitFields, V4HeaderWithRgbaByteOrder) {
  BmpLayout layout = Layout(1, 1, 32, 3, 108);
  layout.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
  const Image image = DecodeOk(BuildBmp(layout, {WordRow({0x11223344}, 4)}));
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0x44112233}));
}

TEST(BmpBitFields, AlphaBitFieldsCompressionReadsFourMasksAfterTheInfoHeader) {
  BmpLayout layout = Layout(1, 1, 16, 6);
  layout.masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
  const Image image = DecodeOk(BuildBmp(layout, {WordRow({0x8F0A}, 2)}));
  // Four-bit channels widen by 17: alpha 8 -> 136, red 15 -> 255, green 0, blue 10 -> 170.
  EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0x88FF00AA}));
}

TEST(BmpBitFields, MasksOfAPlainLongHeaderAreIgnored) {
  BmpLayout layout = Layout(1, 1, 32, 0, 124);
  layout.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};  // only valid with bit-field compression
  const Image image = DecodeOk(BuildBmp(layout, {WordRow({0x00112233}, 4)}));
  EXPECT_EQ(image.pixels, Opaque({0x112233}));
}

}  // namespace
}  // namespace lumar
