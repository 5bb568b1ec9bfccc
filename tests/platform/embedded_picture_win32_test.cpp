// The pictures compiled into the program: the three JPEGs decode from the resources, and the link button
// is a 40 x 40 bitmap with 16 colours.
#include "platform/embedded_picture_win32.h"

#include <gtest/gtest.h>

#include <memory>

#include "resource_ids.h"

namespace lumar {
namespace {

struct EmbeddedCase {
  int id;
  uint32_t width, height;
  bool grayscale;
};

TEST(EmbeddedPicture, EachJpegResourceDecodesToItsSize) {
  const EmbeddedCase cases[] = {{IDR_PICTURE_SKY, 640, 480, false},
                                {IDR_PICTURE_METAL, 800, 600, false},
                                {IDR_PICTURE_BAR, 256, 192, true}};
  for (const EmbeddedCase& c : cases) {
    Image image;
    ImageSourceInfo info;
    ASSERT_EQ(LoadEmbeddedPicture(GetModuleHandleA(nullptr), c.id, image, &info), ImageStatus::kOk) << c.id;
    EXPECT_EQ(info.kind, ImageFileKind::kJpeg);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(info.grayscale, c.grayscale);
  }
}

TEST(EmbeddedPicture, MissingResourceIsAnError) {
  Image image;
  EXPECT_EQ(LoadEmbeddedPicture(GetModuleHandleA(nullptr), 4321, image), ImageStatus::kFileUnreadable);
  EXPECT_TRUE(image.pixels.empty());
}

TEST(EmbeddedPicture, LinkButtonBitmapIsFortyPixelsWithSixteenColours) {
  struct DeleteBitmap {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
  };
  std::unique_ptr<std::remove_pointer_t<HBITMAP>, DeleteBitmap> bitmap(
      static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_LINK_BUTTON),
                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  ASSERT_NE(GetObjectA(bitmap.get(), sizeof(info), &info), 0);
  EXPECT_EQ(info.bmWidth, 40);
  EXPECT_EQ(info.bmHeight, 40);
  EXPECT_EQ(info.bmBitsPixel, 4);
}

}  // namespace
}  // namespace lumar
