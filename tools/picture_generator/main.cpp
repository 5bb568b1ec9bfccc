// Writes the built-in pictures into a directory (normally resources/):
//   metal.jpg 800 x 600 colour, sky.jpg 640 x 480 colour, orange_bar.jpg 256 x 192 gray,
//   link_button.bmp 40 x 40 with 16 colours, lumar.ico (the icon of lumar.scr, 16 to 256 pixels).
// With --desktop FILE WIDTH HEIGHT it writes the desktop picture that scripts/gallery photographs instead;
// with --test-pictures DIR the picture loader's test files (PNG, GIF, a JPEG with an orientation tag...).
#include <cstdio>
#include <fstream>
#include <string>

#include "icon.h"
#include "picture_files.h"
#include "pictures.h"
#include "platform/jpeg_encoder.h"

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  return lumar::tools::WritePictureFile(path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--desktop") {
    const auto width = static_cast<uint32_t>(std::stoul(argv[3])),
               height = static_cast<uint32_t>(std::stoul(argv[4]));
    const lumar::Image desktop = lumar::tools::MakeDesktop(width, height);
    return WriteFile(argv[2], lumar::EncodeJpeg(desktop, {90, lumar::JpegColor::kColor, false})) ? 0 : 1;
  }
  if (argc == 3 && std::string(argv[1]) == "--test-pictures")
    return lumar::tools::WriteTestPictures(argv[2]) ? 0 : 1;
  if (argc != 2) {
    std::fprintf(
        stderr,
        "usage: %s <output directory> | --desktop <file> <width> <height> | --test-pictures <directory>\n",
        argv[0]);
    return 2;
  }
  using namespace lumar;
  const std::string dir = std::string(argv[1]) + "/";
  bool ok =
      WriteFile(dir + "metal.jpg", EncodeJpeg(tools::MakeMetal(800, 600), {92, JpegColor::kColor, false}));
  ok = WriteFile(dir + "sky.jpg", EncodeJpeg(tools::MakeSky(640, 480), {92, JpegColor::kColor, false})) && ok;
  ok = WriteFile(dir + "orange_bar.jpg",
                 EncodeJpeg(tools::MakeBarPlate(256, 192), {92, JpegColor::kGrayscale, false})) &&
       ok;
  ok = WriteFile(dir + "link_button.bmp", tools::EncodeBmp4(tools::MakeLinkButton(40))) && ok;
  std::vector<Image> icons;
  for (uint32_t size : tools::kIconSizes) icons.push_back(tools::MakeIcon(size));
  ok = WriteFile(dir + "lumar.ico", tools::EncodeIco(icons)) && ok;
  return ok ? 0 : 1;
}
