// The pictures compiled into the program: the three JPEGs are RCDATA resources our decoder reads, and
// the link button is a 40 x 40 bitmap with 16 colours.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "platform/image.h"
#include "resource_ids.h"

namespace lumar {
namespace {

// The bytes of RCDATA resource `id` of this program, decoded.
ImageStatus DecodeOwnResource(int id, Image& image, ImageSourceInfo& info) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (found == nullptr) return ImageStatus::kFileUnreadable;
  const void* bytes = LockResource(LoadResource(module, found));
  return DecodeImage(static_cast<const uint8_t*>(bytes), SizeofResource(module, found), image, &info);
}

struct EmbeddedCase {
  int id;
  uint32_t width, height;
  bool grayscale;
};

TEST(BuiltinResources, EachJpegResourceDecodesToItsSize) {
  const EmbeddedCase cases[] = {{IDR_PICTURE_SKY, 640, 480, false},
                                {IDR_PICTURE_METAL, 800, 600, false},
                                {IDR_PICTURE_BAR, 256, 192, true}};
  for (const EmbeddedCase& c : cases) {
    Image image;
    ImageSourceInfo info;
    ASSERT_EQ(DecodeOwnResource(c.id, image, info), ImageStatus::kOk) << c.id;
    EXPECT_EQ(info.kind, ImageFileKind::kJpeg);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(info.grayscale, c.grayscale);
  }
}

TEST(BuiltinResources, LinkButtonBitmapIsFortyPixelsWithSixteenColours) {
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
