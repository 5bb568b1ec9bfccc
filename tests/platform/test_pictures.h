// Small pictures for the loader tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image.h"

namespace lumar::test {

inline Image FilledImage(uint32_t width, uint32_t height, uint32_t pixel) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.assign(static_cast<size_t>(width) * height, pixel);
  return image;
}

// Four flat quadrants (red, green / blue, white), edges on 16-pixel boundaries so JPEG blocks stay flat.
inline Image Quadrants(uint32_t width, uint32_t height) {
  Image image = FilledImage(width, height, 0);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      image.pixels[y * width + x] =
          bottom ? (right ? 0xFFFFFFFFu : 0xFF0000FFu) : (right ? 0xFF00FF00u : 0xFFFF0000u);
    }
  }
  return image;
}

}  // namespace lumar::test
