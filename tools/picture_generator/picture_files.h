// Picture files in the formats Windows' imaging component reads, for the loader's tests: PNG and GIF
// written the plainest valid way (PNG's deflate data in stored blocks, GIF's LZW codes kept at 9 bits),
// TIFF uncompressed, and a JPEG carrying an orientation tag. Not for size; for exact, known content.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image.h"

namespace lumar::tools {

// An 8-bit RGB PNG of `image` (alpha dropped), or one whose header declares width x height over the
// same data (a picture that lies about its size).
std::vector<uint8_t> EncodePng(const Image& image);
std::vector<uint8_t> EncodePngDeclaring(const Image& image, uint32_t width, uint32_t height);

// A GIF89a of `image`, whose colours (alpha dropped) must number 256 at most; empty when they do not.
std::vector<uint8_t> EncodeGif(const Image& image);

// An uncompressed RGB TIFF of `image` (alpha dropped) carrying orientation tag `orientation`.
std::vector<uint8_t> EncodeTiff(const Image& image, uint16_t orientation);

// `jpeg` with an Exif segment holding orientation tag `orientation` inserted after its start marker.
std::vector<uint8_t> AddOrientationTag(const std::vector<uint8_t>& jpeg, uint16_t orientation);

// Writes `bytes` to `path`, saying so on standard output; false (and a message) when it cannot.
bool WritePictureFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Writes the loader's test pictures into `dir` (normally tests/platform/pictures); false when one fails.
bool WriteTestPictures(const std::string& dir);

}  // namespace lumar::tools
