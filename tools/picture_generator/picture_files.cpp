#include "picture_files.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>

#include "platform/jpeg_encoder.h"
// The quartered picture of the loader's tests, the same pixels the tests expect.
#include "../../tests/platform/test_pictures.h"

namespace lumar::tools {
namespace {

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutLittleEndian16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutChunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& body) {
  PutBigEndian32(png, static_cast<uint32_t>(body.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), body.begin(), body.end());
  PutBigEndian32(png, Crc32(png.data() + start, png.size() - start));
}

// A zlib stream of `raw` in stored (uncompressed) deflate blocks.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t offset = 0;
  do {
    const size_t length = std::min<size_t>(raw.size() - offset, 65535);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);
    PutLittleEndian16(out, static_cast<uint32_t>(length));
    PutLittleEndian16(out, static_cast<uint32_t>(length ^ 0xFFFF));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
               raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
  } while (offset < raw.size());
  uint32_t a = 1, b = 0;  // Adler-32
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian32(out, (b << 16) | a);
  return out;
}

uint8_t Red(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 16); }
uint8_t Green(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 8); }
uint8_t Blue(uint32_t pixel) { return static_cast<uint8_t>(pixel); }

// GIF's LZW data of `indices` with 8-bit minimum code size, in 9-bit codes: a clear code every 250
// literals keeps the decoder's table below 512 entries, so the width never grows.
std::vector<uint8_t> GifCodes(const std::vector<uint8_t>& indices) {
  constexpr uint32_t kClear = 256, kEnd = 257, kWidth = 9;
  std::vector<uint8_t> packed;
  uint32_t bits = 0, count = 0;
  auto put = [&](uint32_t code) {
    bits |= code << count;
    count += kWidth;
    while (count >= 8) {
      packed.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  };
  for (size_t i = 0; i < indices.size(); ++i) {
    if (i % 250 == 0) put(kClear);
    put(indices[i]);
  }
  put(kEnd);
  if (count > 0) packed.push_back(static_cast<uint8_t>(bits));
  // Sub-blocks of at most 255 bytes, then the block terminator.
  std::vector<uint8_t> out = {8};
  for (size_t offset = 0; offset < packed.size(); offset += 255) {
    const size_t length = std::min<size_t>(255, packed.size() - offset);
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(offset),
               packed.begin() + static_cast<std::ptrdiff_t>(offset + length));
  }
  out.push_back(0);
  return out;
}

}  // namespace

std::vector<uint8_t> EncodePngDeclaring(const Image& image, uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian32(header, width);
  PutBigEndian32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
  PutChunk(png, "IHDR", header);
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(image.height) * (1 + 3 * static_cast<size_t>(image.width)));
  for (uint32_t y = 0; y < image.height; ++y) {
    raw.push_back(0);  // filter: none
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint32_t pixel = image.At(x, y);
      raw.insert(raw.end(), {Red(pixel), Green(pixel), Blue(pixel)});
    }
  }
  PutChunk(png, "IDAT", StoredZlib(raw));
  PutChunk(png, "IEND", {});
  return png;
}

std::vector<uint8_t> EncodePng(const Image& image) {
  return EncodePngDeclaring(image, image.width, image.height);
}

std::vector<uint8_t> EncodeGif(const Image& image) {
  std::map<uint32_t, uint8_t> palette;
  std::vector<uint8_t> indices;
  indices.reserve(image.pixels.size());
  for (uint32_t pixel : image.pixels) {
    const uint32_t colour = pixel & 0xFFFFFF;
    auto found = palette.find(colour);
    if (found == palette.end()) {
      if (palette.size() == 256) return {};
      found = palette.emplace(colour, static_cast<uint8_t>(palette.size())).first;
    }
    indices.push_back(found->second);
  }
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
  PutLittleEndian16(gif, image.width);
  PutLittleEndian16(gif, image.height);
  gif.insert(gif.end(), {0xF7, 0, 0});  // a global table of 256 colours, 8 bits each
  std::vector<uint8_t> table(3 * 256, 0);
  for (const auto& [colour, index] : palette) {
    table[3 * index] = Red(colour);
    table[3 * index + 1] = Green(colour);
    table[3 * index + 2] = Blue(colour);
  }
  gif.insert(gif.end(), table.begin(), table.end());
  gif.push_back(0x2C);  // the image descriptor: at 0, 0, the whole screen, no local table
  PutLittleEndian16(gif, 0);
  PutLittleEndian16(gif, 0);
  PutLittleEndian16(gif, image.width);
  PutLittleEndian16(gif, image.height);
  gif.push_back(0);
  const std::vector<uint8_t> codes = GifCodes(indices);
  gif.insert(gif.end(), codes.begin(), codes.end());
  gif.push_back(0x3B);
  return gif;
}

std::vector<uint8_t> EncodeTiff(const Image& image, uint16_t orientation) {
  // Little-endian: the header, the directory at 8, the bits per sample after it, then the pixels.
  constexpr uint32_t kEntries = 10;
  const uint32_t bitsAt = 8 + 2 + 12 * kEntries + 4;
  const uint32_t pixelsAt = bitsAt + 6;
  const uint32_t pixelBytes = 3 * image.width * image.height;
  std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) tiff.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  PutLittleEndian16(tiff, kEntries);
  const struct {
    uint16_t tag, type;
    uint32_t count, value;
  } entries[kEntries] = {
      {256, 4, 1, image.width},
      {257, 4, 1, image.height},
      {258, 3, 3, bitsAt},
      {259, 3, 1, 1},
      {262, 3, 1, 2},
      {273, 4, 1, pixelsAt},
      {274, 3, 1, orientation},
      {277, 3, 1, 3},
      {278, 4, 1, image.height},
      {279, 4, 1, pixelBytes},
  };  // width, height, 8 bits each, no compression, RGB, the strip, orientation, 3 samples, one strip
  for (const auto& e : entries) {
    PutLittleEndian16(tiff, e.tag);
    PutLittleEndian16(tiff, e.type);
    put32(e.count);
    put32(e.value);  // a SHORT sits in the first two bytes, little-endian
  }
  put32(0);  // no next directory
  for (int i = 0; i < 3; ++i) PutLittleEndian16(tiff, 8);
  for (uint32_t pixel : image.pixels) tiff.insert(tiff.end(), {Red(pixel), Green(pixel), Blue(pixel)});
  return tiff;
}

std::vector<uint8_t> AddOrientationTag(const std::vector<uint8_t>& jpeg, uint16_t orientation) {
  // "Exif\0\0", a little-endian TIFF header, one directory of one entry (tag 274, SHORT, 1 value), no next.
  const std::vector<uint8_t> exif = {'E',
                                     'x',
                                     'i',
                                     'f',
                                     0,
                                     0,
                                     'I',
                                     'I',
                                     42,
                                     0,
                                     8,
                                     0,
                                     0,
                                     0,
                                     1,
                                     0,
                                     0x12,
                                     0x01,
                                     3,
                                     0,
                                     1,
                                     0,
                                     0,
                                     0,
                                     static_cast<uint8_t>(orientation),
                                     static_cast<uint8_t>(orientation >> 8),
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0};
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  const size_t length = exif.size() + 2;
  out.insert(out.end(), {0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
  out.insert(out.end(), exif.begin(), exif.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

bool WritePictureFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out || bytes.empty()) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
  return true;
}

bool WriteTestPictures(const std::string& dir) {
  // Halves on 16-pixel boundaries, so the JPEG's colour blocks stay flat.
  const Image quarters = test::Quadrants(96, 64);
  const std::vector<uint8_t> png = EncodePng(quarters);
  const std::vector<uint8_t> jpeg = EncodeJpeg(quarters, {95, JpegColor::kColor, false});
  bool ok = WritePictureFile(dir + "/quarters.png", png);
  ok = WritePictureFile(dir + "/quarters.gif", EncodeGif(quarters)) && ok;
  // Cut in the middle of the pixel data.
  ok = WritePictureFile(dir + "/quarters_truncated.png",
                        std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2)) &&
       ok;
  // A phone's portrait photo: stored lying on its side, to be turned a quarter clockwise for viewing.
  ok = WritePictureFile(dir + "/quarters_orientation6.jpg", AddOrientationTag(jpeg, 6)) && ok;
  ok = WritePictureFile(dir + "/jpeg_named.png", jpeg) && ok;
  // Stored on its side the other way: to be turned a quarter anticlockwise.
  ok = WritePictureFile(dir + "/quarters_orientation8.tif", EncodeTiff(quarters, 8)) && ok;
  // A header claiming 30000 x 30000 over the data of 96 x 64 pixels.
  ok = WritePictureFile(dir + "/declares_30000x30000.png", EncodePngDeclaring(quarters, 30000, 30000)) && ok;
  return ok;
}

}  // namespace lumar::tools
