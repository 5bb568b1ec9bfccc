// The icon of lumar.scr: a round pool of water with rings spreading from its middle, at every size Windows
// asks for (16 to 256 pixels), each drawn at its own size rather than scaled down from the largest.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image.h"

namespace lumar::tools {

constexpr uint32_t kIconSizes[] = {16, 24, 32, 48, 64, 256};

// A square picture with alpha (0xAARRGGBB, straight alpha), transparent outside the pool.
Image MakeIcon(uint32_t size);

// An .ico file: one 32-bit entry per picture (BITMAPINFOHEADER, bottom-up BGRA rows, then the 1-bit mask
// that systems without alpha use).
std::vector<uint8_t> EncodeIco(const std::vector<Image>& pictures);

}  // namespace lumar::tools
