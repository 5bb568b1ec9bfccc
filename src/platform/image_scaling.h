// Resampling of decoded pictures: textures get power-of-two edges (a 256 x 192 picture becomes 256 x 256)
// and mip levels of half size.
#pragma once

#include <cstdint>

#include "platform/image.h"

namespace lumar {

// The smallest power of two >= n (1 for n = 0; n must not exceed 2^31).
uint32_t PowerOfTwoAtLeast(uint32_t n);

// Resamples to width x height with a separable Mitchell-Netravali cubic (B = C = 1/3), widened when
// shrinking so every source pixel contributes; an unchanged edge is copied exactly. The four channels
// are filtered independently. An empty source or a zero size gives an empty picture.
Image ResizeImage(const Image& source, uint32_t width, uint32_t height);

// Both edges scaled up to the next power of two; a picture that has them already is returned unchanged.
Image ScaleToPowerOfTwo(const Image& source);

// The next mip level: each edge halved (rounded down, not below 1), every texel the mean of the 2 x 2
// (or 2 x 1) block it covers.
Image HalveImage(const Image& source);

}  // namespace lumar
