// JPEG encoding of a picture: used to make our built-in pictures and test files, not by the saver.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image.h"

namespace lumar {

// kGrayscale stores one component, the mean of R, G and B; kCmyk four, inverted as Adobe writes them
// (with no black ink), for pictures from print workflows.
enum class JpegColor { kColor, kGrayscale, kCmyk };

struct JpegOptions {
  int quality = 90;
  JpegColor color = JpegColor::kColor;
  bool progressive = false;
};

// Encodes with libjpeg's accurate integer DCT and optimised Huffman tables, so the output is the same on
// every run. Returns no bytes for an empty picture or when libjpeg fails.
std::vector<uint8_t> EncodeJpeg(const Image& image, const JpegOptions& options);

}  // namespace lumar
