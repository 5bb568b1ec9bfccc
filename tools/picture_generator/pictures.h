// The built-in pictures, drawn procedurally: brushed metal plates, a sky with clouds, the orange bar's
// embossed plate and the dialog's link button; and the desktop of the documentation's pictures. The same code
// gives the same pixels on every run.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image.h"

namespace lumar::tools {

Image MakeMetal(uint32_t width, uint32_t height);
Image MakeSky(uint32_t width, uint32_t height);
Image MakeBarPlate(uint32_t width, uint32_t height);  // gray (R = G = B)
// A desktop to photograph: the sky over hills, two windows with text, icons and a task bar.
Image MakeDesktop(uint32_t width, uint32_t height);

// A palette picture: indices into up to 16 colours (0x00RRGGBB), top row first.
struct IndexedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> indices;
  std::vector<uint32_t> palette;
};

IndexedImage MakeLinkButton(uint32_t size);

// A 4-bit BMP file (40-byte header, 16-entry palette, bottom-up rows).
std::vector<uint8_t> EncodeBmp4(const IndexedImage& image);

}  // namespace lumar::tools
