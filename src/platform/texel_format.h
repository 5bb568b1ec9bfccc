// The 32-bit texel formats the picture loader produces, and the copy of a decoded picture into a locked
// texture level (which has its own row pitch).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image.h"

namespace lumar {

// D3DFORMAT values.
enum class TexelFormat : int32_t {
  kA8R8G8B8 = 21,
  kX8R8G8B8 = 22,
};

// The format the loader makes for a requested D3DFORMAT: A8R8G8B8 when alpha was asked for, X8R8G8B8 for
// anything else (including R8G8B8, whose 24-bit texels are widened to 32 bits, and "unknown").
TexelFormat LoaderTexelFormat(int32_t requestedFormat);

// Writes the picture's rows, top row first, `pitch` bytes apart: each texel as the bytes B, G, R, A.
// X8R8G8B8 stores 255 in the unused byte. The destination must hold height rows of pitch >= 4 x width.
void WriteTexels(const Image& image, TexelFormat format, uint8_t* destination, size_t pitch);

}  // namespace lumar
