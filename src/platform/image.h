// Decoded pictures: BMP and JPEG files (from disk or from an embedded resource) become 32-bit pixels with
// the top row first; any other format goes to a decoder the caller hands in (on Windows the system's
// imaging component). The file's content decides, never its name. Input is untrusted (the user picks the
// file), so every decoder checks sizes before it reads or allocates and fails with a status instead of
// crashing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace lumar {

// Largest picture the loader accepts: no edge above 16384 pixels and no more than 64 Mi pixels in all
// (256 MiB of decoded pixels), whatever the file claims.
constexpr uint32_t kMaxImageEdge = 16384;
constexpr uint64_t kMaxImagePixels = 64ull * 1024 * 1024;
// Largest picture file read from disk; a picture within the pixel cap needs far less.
constexpr uint64_t kMaxImageFileBytes = 512ull * 1024 * 1024;
// Longest picture path: Windows' ANSI file calls take no more, and the stored record holds no more.
constexpr size_t kMaxImagePathLength = 259;

enum class ImageStatus {
  kOk,
  kFileUnreadable,  // missing, unreadable or larger than kMaxImageFileBytes
  kUnknownFormat,   // neither a BMP nor a JPEG signature, and no other decoder that reads it
  kTruncated,       // the data ends before the picture does
  kTooLarge,        // beyond kMaxImageEdge or kMaxImagePixels
  kInvalid,         // zero or overflowing sizes, inconsistent headers, corrupt compressed data
  kUnsupported,     // a well-formed variant the loader does not decode (RLE, embedded PNG, arithmetic...)
  kOutOfMemory,     // the picture or its working memory could not be allocated
};

const char* ImageStatusName(ImageStatus status);

// kOther: decoded by the other-format decoder handed to DecodeImage.
enum class ImageFileKind { kNone, kBmp, kJpeg, kOther };

// What the file itself held, for callers that care (the texture format) and for checks.
struct ImageSourceInfo {
  ImageFileKind kind = ImageFileKind::kNone;
  int bitsPerPixel = 0;    // BMP: bits per stored pixel; JPEG: 8 x components
  bool grayscale = false;  // JPEG with one component, or a BMP palette of grays only
};

// Pixels are 0xAARRGGBB words (in memory B, G, R, A on a little-endian machine, as A8R8G8B8 texels),
// row after row with no padding, the top row of the picture first. Pictures without alpha get A = 255.
struct Image {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(uint32_t x, uint32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A decoder of the formats besides BMP and JPEG; it checks the picture's size with ImageSizeAllowed before
// it allocates, and fills `image` only on success.
using OtherFormatDecoder = ImageStatus (*)(const uint8_t* data, size_t size, Image& image);

// Decodes a BMP or JPEG held in memory (recognised by its signature), and anything else with `other` when
// given. A JPEG's or TIFF's orientation tag is applied, so the picture comes out as it is to be viewed.
// On failure `image` is left empty.
ImageStatus DecodeImage(const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info = nullptr,
                        OtherFormatDecoder other = nullptr);

// Reads a file by its ANSI path and decodes it. A folder, an unreadable file, one larger than
// kMaxImageFileBytes or a path longer than kMaxImagePathLength is kFileUnreadable; an empty file kTruncated.
ImageStatus LoadImageFile(const std::string& path, Image& image, ImageSourceInfo* info = nullptr,
                          OtherFormatDecoder other = nullptr);

// Format-specific entry points, used by DecodeImage.
ImageStatus DecodeBmp(const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info = nullptr);
ImageStatus DecodeJpeg(const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info = nullptr);

// True when width x height is within the loader's caps (both edges at least 1).
bool ImageSizeAllowed(uint64_t width, uint64_t height);

// Runs `work` (returning an ImageStatus) on `picture`; an allocation failure inside it becomes
// kOutOfMemory with `picture` left empty, so a picture too large for the memory at hand is refused like
// an undecodable one instead of ending the process.
template <typename Work>
ImageStatus CatchOutOfMemory(Image& picture, Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    picture = Image{};
    return ImageStatus::kOutOfMemory;
  }
}

}  // namespace lumar
