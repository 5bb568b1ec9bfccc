#include "platform/texel_format.h"

namespace lumar {

TexelFormat LoaderTexelFormat(int32_t requestedFormat) {
  return requestedFormat == static_cast<int32_t>(TexelFormat::kA8R8G8B8) ? TexelFormat::kA8R8G8B8
                                                                         : TexelFormat::kX8R8G8B8;
}

void WriteTexels(const Image& image, TexelFormat format, uint8_t* destination, size_t pitch) {
  const uint32_t forcedAlpha = format == TexelFormat::kX8R8G8B8 ? 0xFF000000u : 0u;
  for (uint32_t y = 0; y < image.height; ++y) {
    uint8_t* out = destination + y * pitch;
    for (uint32_t x = 0; x < image.width; ++x, out += 4) {
      const uint32_t pixel = image.At(x, y) | forcedAlpha;
      out[0] = static_cast<uint8_t>(pixel);
      out[1] = static_cast<uint8_t>(pixel >> 8);
      out[2] = static_cast<uint8_t>(pixel >> 16);
      out[3] = static_cast<uint8_t>(pixel >> 24);
    }
  }
}

}  // namespace lumar
