#include "platform/picture_orientation.h"

#include <algorithm>
#include <utility>

namespace lumar {

namespace {

constexpr uint16_t kOrientationTag = 274;
constexpr uint16_t kTypeShort = 3;

// Reads of a TIFF structure in its own byte order ("II" little-endian, "MM" big-endian), bounded by
// the structure's size: a read past the end gives 0 and marks the reader failed.
class TiffReader {
 public:
  TiffReader(const uint8_t* data, size_t size, bool bigEndian)
      : data_(data), size_(size), bigEndian_(bigEndian) {}

  uint32_t Read(size_t offset, size_t count) {
    if (offset > size_ || count > size_ - offset) {
      ok_ = false;
      return 0;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t byte = data_[offset + i];
      value |= bigEndian_ ? byte << (8 * (count - 1 - i)) : byte << (8 * i);
    }
    return value;
  }
  bool ok() const { return ok_; }

 private:
  const uint8_t* data_;
  size_t size_;
  bool bigEndian_;
  bool ok_ = true;
};

bool IsTiffHeader(const uint8_t* data, size_t size) {
  if (size < 8) return false;
  return (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
         (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42);
}

// The orientation of the first directory of a TIFF structure (a TIFF file, or a JPEG's Exif block).
int TiffOrientation(const uint8_t* data, size_t size) {
  if (!IsTiffHeader(data, size)) return kOrientationUpright;
  TiffReader tiff(data, size, data[0] == 'M');
  const uint32_t directory = tiff.Read(4, 4);
  const uint32_t entries = tiff.Read(directory, 2);
  for (uint32_t i = 0; i < entries && tiff.ok(); ++i) {
    const size_t entry = static_cast<size_t>(directory) + 2 + 12 * static_cast<size_t>(i);
    if (tiff.Read(entry, 2) != kOrientationTag) continue;
    if (tiff.Read(entry + 2, 2) != kTypeShort || tiff.Read(entry + 4, 4) != 1) break;
    const uint32_t value = tiff.Read(entry + 8, 2);
    if (tiff.ok() && value >= 1 && value <= 8) return static_cast<int>(value);
    break;
  }
  return kOrientationUpright;
}

// The Exif block of a JPEG: an APP1 segment before the first scan that starts "Exif\0\0".
int JpegOrientation(const uint8_t* data, size_t size) {
  size_t offset = 2;  // after the start-of-image marker
  while (offset + 4 <= size && data[offset] == 0xFF) {
    const uint8_t marker = data[offset + 1];
    if (marker == 0xDA || marker == 0xD9) break;  // start of scan, end of image
    const size_t length = (static_cast<size_t>(data[offset + 2]) << 8) | data[offset + 3];
    if (length < 2 || length > size - offset - 2) break;
    const uint8_t* body = data + offset + 4;
    const size_t bodySize = length - 2;
    static constexpr uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (marker == 0xE1 && bodySize >= sizeof kExif && std::equal(kExif, kExif + sizeof kExif, body))
      return TiffOrientation(body + sizeof kExif, bodySize - sizeof kExif);
    offset += 2 + length;
  }
  return kOrientationUpright;
}

}  // namespace

int ReadOrientationTag(const uint8_t* data, size_t size) {
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return JpegOrientation(data, size);
  return TiffOrientation(data, size);
}

void ApplyOrientation(int orientation, Image& picture) {
  if (orientation < 2 || orientation > 8 || picture.pixels.empty()) return;
  // For each value, the stored pixel shown at (x, y): (x, y) or (y, x) when the edges swap, then mirrored
  // across the stored picture's width and height as marked.
  static constexpr struct {
    bool swap, mirrorX, mirrorY;
  } kTurns[9] = {{},
                 {false, false, false},
                 {false, true, false},
                 {false, true, true},
                 {false, false, true},
                 {true, false, false},
                 {true, false, true},
                 {true, true, true},
                 {true, true, false}};
  const auto& turn = kTurns[orientation];
  const uint32_t w = picture.width, h = picture.height;
  Image viewed;
  viewed.width = turn.swap ? h : w;
  viewed.height = turn.swap ? w : h;
  viewed.pixels.resize(picture.pixels.size());
  for (uint32_t y = 0; y < viewed.height; ++y) {
    for (uint32_t x = 0; x < viewed.width; ++x) {
      uint32_t sx = turn.swap ? y : x, sy = turn.swap ? x : y;
      if (turn.mirrorX) sx = w - 1 - sx;
      if (turn.mirrorY) sy = h - 1 - sy;
      viewed.pixels[static_cast<size_t>(y) * viewed.width + x] = picture.At(sx, sy);
    }
  }
  picture = std::move(viewed);
}

}  // namespace lumar
