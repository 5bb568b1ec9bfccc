// The user's picture in the other formats on the surface: a PNG and a GIF of the picture generator
// show their quarters where they belong, and a JPEG and a TIFF stored on their sides show upright.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "render/frame_compare.h"
#include "render/render_rig_win32.h"

namespace lumar {
namespace {

const std::string kPictures = "Z:" LUMAR_SOURCE_DIR "/tests/platform/pictures/";

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;

struct SurfaceCase {
  const char* file;
  uint32_t topLeft, topRight, bottomLeft, bottomRight;  // as the picture is to be viewed
};

TEST(PictureFormatsOnTheSurface, ShowTheirQuartersUpright) {
  const SurfaceCase cases[] = {
      {"quarters.png", kRed, kGreen, kBlue, kWhite},
      {"quarters.gif", kRed, kGreen, kBlue, kWhite},
      {"jpeg_named.png", kRed, kGreen, kBlue, kWhite},
      // Stored with red and green on top, to be turned a quarter clockwise.
      {"quarters_orientation6.jpg", kBlue, kRed, kWhite, kGreen},
      // The same quarters stored to be turned a quarter anticlockwise.
      {"quarters_orientation8.tif", kGreen, kWhite, kRed, kBlue},
  };
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  for (const SurfaceCase& c : cases) {
    test::RenderRig rig;
    rig.record().texture = kTextureFile;
    std::snprintf(rig.record().textureFile, sizeof rig.record().textureFile, "%s",
                  (kPictures + c.file).c_str());
    ASSERT_EQ(rig.Start(), S_OK) << c.file;
    const test::Frame frame = rig.DrawFrame();
    ASSERT_EQ(frame.width, w) << c.file;
    ASSERT_EQ(frame.height, h) << c.file;
    const struct {
      int x, y;
      uint32_t colour;
    } regions[] = {{w / 4, h / 4, c.topLeft},
                   {3 * w / 4, h / 4, c.topRight},
                   {w / 4, 3 * h / 4, c.bottomLeft},
                   {3 * w / 4, 3 * h / 4, c.bottomRight}};
    for (const auto& r : regions) {
      EXPECT_LE(test::ChannelDifference(frame.At(r.x, r.y), r.colour), 12)
          << c.file << " at " << r.x << ", " << r.y << ": " << std::hex << frame.At(r.x, r.y);
    }
  }
}

}  // namespace
}  // namespace lumar
