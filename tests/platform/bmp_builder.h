// Builds BMP files byte by byte as the format lays them out, so the decoder is tested against the file
// format rather than against itself. Rows are given in file order (bottom row first unless top-down)
// without padding; the builder pads each to a multiple of 4 bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace lumar::test {

struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;  // negative: top-down rows
  uint16_t bitsPerPixel = 24;
  uint32_t compression = 0;       // 0 plain, 3 bit fields, 6 bit fields with alpha
  uint32_t headerSize = 40;       // 12 (core), 40, 52, 56, 108 (V4), 124 (V5)
  std::vector<uint32_t> masks;    // red, green, blue[, alpha]: inside a long header or after a 40-byte one
  std::vector<uint32_t> palette;  // 0x00RRGGBB entries
  uint32_t colorsUsed = 0;
};

inline BmpLayout Layout(int32_t width, int32_t height, uint16_t bitsPerPixel, uint32_t compression = 0,
                        uint32_t headerSize = 40) {
  BmpLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bitsPerPixel = bitsPerPixel;
  layout.compression = compression;
  layout.headerSize = headerSize;
  return layout;
}

inline void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> BuildBmp(const BmpLayout& layout, const std::vector<std::vector<uint8_t>>& rows) {
  std::vector<uint8_t> header;
  const bool core = layout.headerSize == 12;
  if (core) {
    PutLe(header, static_cast<uint32_t>(layout.width), 2);
    PutLe(header, static_cast<uint32_t>(layout.height), 2);
    PutLe(header, 1, 2);
    PutLe(header, layout.bitsPerPixel, 2);
  } else {
    PutLe(header, static_cast<uint32_t>(layout.width), 4);
    PutLe(header, static_cast<uint32_t>(layout.height), 4);
    PutLe(header, 1, 2);
    PutLe(header, layout.bitsPerPixel, 2);
    PutLe(header, layout.compression, 4);
    PutLe(header, 0, 4);     // image size
    PutLe(header, 2835, 4);  // 72 dpi
    PutLe(header, 2835, 4);
    PutLe(header, layout.colorsUsed, 4);
    PutLe(header, 0, 4);
  }
  std::vector<uint8_t> masks;
  for (uint32_t m : layout.masks) PutLe(masks, m, 4);
  if (layout.headerSize > 40) {
    header.insert(header.end(), masks.begin(), masks.end());
    masks.clear();
  }
  header.resize(layout.headerSize - 4, 0);  // rest of a V4/V5 header: colour space data, zero
  for (uint32_t entry : layout.palette) {
    PutLe(masks, entry, core ? 3 : 4);  // after the masks, if any
  }
  std::vector<uint8_t> pixels;
  for (const auto& row : rows) {
    pixels.insert(pixels.end(), row.begin(), row.end());
    while (pixels.size() % 4 != 0) pixels.push_back(0xEE);  // padding the decoder must skip
  }
  std::vector<uint8_t> file;
  const uint32_t offset = static_cast<uint32_t>(14 + 4 + header.size() + masks.size());
  file.push_back('B');
  file.push_back('M');
  PutLe(file, offset + pixels.size(), 4);
  PutLe(file, 0, 4);
  PutLe(file, offset, 4);
  PutLe(file, layout.headerSize, 4);
  file.insert(file.end(), header.begin(), header.end());
  file.insert(file.end(), masks.begin(), masks.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

// Little-endian pixel words as row bytes: 2 bytes each for 16-bit pixels, 4 for 32-bit ones.
inline std::vector<uint8_t> WordRow(const std::vector<uint32_t>& words, int bytesEach) {
  std::vector<uint8_t> row;
  for (uint32_t w : words) PutLe(row, w, bytesEach);
  return row;
}

}  // namespace lumar::test
