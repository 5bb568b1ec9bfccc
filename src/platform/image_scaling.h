// Resampling of decoded pictures: textures get power-of-two edges (a 256 x 192 picture becomes 256 x 256)
// and mip levels of half size.
#pragma once

#include <cstdint>
#include <string>

#include "platform/image.h"

namespace lumar {

// The smallest power of two >= n (1 for n = 0; n must not exceed 2^31).
uint32_t PowerOfTwoAtLeast(uint32_t n);

// Resamples to width x height with a separable Mitchell-Netravali cubic (B = C = 1/3), widened when
// shrinking so every source pixel contributes; an unchanged edge is copied exactly. The four channels
// are filtered independently. An empty source or a zero size gives an empty picture. Besides the result,
// the working memory is ResizeRowsHeld(source.height, height) rows of `width` float pixels (16 bytes
// each): 4 rows when enlarging, about 4 x the factor when shrinking.
Image ResizeImage(const Image& source, uint32_t width, uint32_t height);

// The horizontally filtered rows ResizeImage keeps at once for a change of height (0 for an empty size).
uint32_t ResizeRowsHeld(uint32_t sourceHeight, uint32_t height);

// Both edges scaled up to the next power of two; a picture that has them already is returned unchanged.
Image ScaleToPowerOfTwo(const Image& source);

// A texture edge for a picture edge: the next power of two, but not beyond `maxEdge` (a power of two).
uint32_t TextureEdge(uint32_t edge, uint32_t maxEdge);

// The top level of a picture's texture: each edge scaled up to the next power of two, but not beyond
// `maxWidth` x `maxHeight` (powers of two, the device's largest texture). A picture that needs no change
// is handed back as it is.
Image ScaleForTexture(Image source, uint32_t maxWidth, uint32_t maxHeight);

// A picture file decoded and scaled by ScaleForTexture to at most maxEdge x maxEdge, as its texture will
// take it; `other` decodes the formats besides BMP and JPEG. Any allocation failure gives kOutOfMemory and
// an empty picture.
ImageStatus LoadTexturePicture(const std::string& path, uint32_t maxEdge, Image& picture,
                               OtherFormatDecoder other = nullptr);

// The next mip level: each edge halved (rounded down, not below 1), every texel the mean of the 2 x 2
// (or 2 x 1) block it covers.
Image HalveImage(const Image& source);

}  // namespace lumar
