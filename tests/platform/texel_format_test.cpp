#include "platform/texel_format.h"

#include <gtest/gtest.h>

#include "test_pictures.h"

namespace lumar {
namespace {

TEST(TexelFormat, RequestedFormatsMapToThirtyTwoBitTexels) {
  EXPECT_EQ(LoaderTexelFormat(21), TexelFormat::kA8R8G8B8);  // A8R8G8B8
  EXPECT_EQ(LoaderTexelFormat(22), TexelFormat::kX8R8G8B8);  // X8R8G8B8
  EXPECT_EQ(LoaderTexelFormat(20), TexelFormat::kX8R8G8B8);  // R8G8B8, as the orange bar asks
  EXPECT_EQ(LoaderTexelFormat(0), TexelFormat::kX8R8G8B8);   // unknown: the loader's choice
}

TEST(WriteTexels, HonoursThePitchAndStoresBlueGreenRedAlpha) {
  Image image = test::FilledImage(2, 2, 0);
  image.pixels = {0x11223344u, 0x55667788u, 0x99AABBCCu, 0x00DDEEFFu};
  constexpr size_t kPitch = 12;  // 8 bytes of texels, 4 the driver keeps for itself
  std::vector<uint8_t> surface(2 * kPitch, 0xAB);
  WriteTexels(image, TexelFormat::kA8R8G8B8, surface.data(), kPitch);
  EXPECT_EQ(surface,
            (std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0xAB, 0xAB, 0xAB, 0xAB,
                                  0xCC, 0xBB, 0xAA, 0x99, 0xFF, 0xEE, 0xDD, 0x00, 0xAB, 0xAB, 0xAB, 0xAB}));
  WriteTexels(image, TexelFormat::kX8R8G8B8, surface.data(), kPitch);
  EXPECT_EQ(surface[3], 0xFF);
  EXPECT_EQ(surface[19], 0xFF);  // alpha 0 becomes the opaque filler
  EXPECT_EQ(surface[16], 0xFF);
  EXPECT_EQ(surface[20], 0xAB);
}

}  // namespace
}  // namespace lumar
