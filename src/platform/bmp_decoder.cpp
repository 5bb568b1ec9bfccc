// BMP decoding: the Windows bitmap file (BITMAPFILEHEADER + BITMAPCOREHEADER / BITMAPINFOHEADER and its
// V2..V5 extensions), uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel and the bit-field forms of 16 and
// 32 bits. Rows are stored bottom-up unless the height is negative, each padded to a multiple of 4 bytes.
#include <array>
#include <cstdint>

#include "platform/byte_reader.h"
#include "platform/image.h"

namespace lumar {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kOs2HeaderSize = 64;  // same first 40 bytes, other meanings of the compression codes
constexpr uint32_t kMaxHeaderSize = 4096;

enum Compression : uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitFields = 3,
  kEmbeddedJpeg = 4,
  kEmbeddedPng = 5,
  kAlphaBitFields = 6,
};

// One colour channel of a bit-field pixel: where its bits are and how to widen them to 8 bits.
class ChannelMask {
 public:
  explicit ChannelMask(uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    while (((mask >> shift_) & 1u) == 0) ++shift_;
    max_ = mask >> shift_;
  }
  bool present() const { return mask_ != 0; }
  uint8_t Extract(uint32_t pixel) const {
    const uint64_t value = (pixel & mask_) >> shift_;
    return static_cast<uint8_t>((value * 255 + max_ / 2) / max_);
  }

 private:
  uint32_t mask_;
  int shift_ = 0;
  uint64_t max_ = 1;
};

struct BmpHeader {
  uint32_t dataOffset = 0;
  uint32_t headerSize = 0;
  int64_t width = 0;
  int64_t height = 0;  // as stored: negative for top-down rows
  uint32_t bitsPerPixel = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  std::array<uint32_t, 4> masks{};  // red, green, blue, alpha
  bool hasMasks = false;
  size_t paletteOffset = 0;
  size_t paletteEntrySize = 4;
};

ImageStatus ReadHeader(const uint8_t* data, size_t size, BmpHeader& h) {
  ByteReader r(data, size);
  if (r.U8() != 'B' || r.U8() != 'M') return r.ok() ? ImageStatus::kUnknownFormat : ImageStatus::kTruncated;
  r.U32();  // file size: often wrong in the wild, the real size is what counts
  r.U32();  // reserved
  h.dataOffset = r.U32();
  h.headerSize = r.U32();
  if (!r.ok()) return ImageStatus::kTruncated;
  if (h.headerSize == kCoreHeaderSize) {
    h.width = r.U16();
    h.height = r.U16();
    r.U16();  // planes
    h.bitsPerPixel = r.U16();
    h.paletteEntrySize = 3;
  } else if (h.headerSize >= kInfoHeaderSize && h.headerSize <= kMaxHeaderSize) {
    h.width = r.I32();
    h.height = r.I32();
    r.U16();  // planes
    h.bitsPerPixel = r.U16();
    h.compression = r.U32();
    r.Skip(12);  // image size, resolution
    h.colorsUsed = r.U32();
    r.U32();  // important colours
    if (h.headerSize == kOs2HeaderSize && h.compression != kRgb) return ImageStatus::kUnsupported;
    h.hasMasks = h.compression == kBitFields || h.compression == kAlphaBitFields;
    if (h.hasMasks) {
      // Headers of 52 bytes and more hold the masks; after the 40-byte one they follow it.
      const bool inHeader = h.headerSize >= kInfoHeaderSize + 12;
      const bool withAlpha =
          inHeader ? h.headerSize >= kInfoHeaderSize + 16 : h.compression == kAlphaBitFields;
      r.Seek(kFileHeaderSize + (inHeader ? kInfoHeaderSize : h.headerSize));
      for (size_t i = 0; i < (withAlpha ? 4u : 3u); ++i) h.masks[i] = r.U32();
      if (!inHeader) h.paletteOffset = r.offset();
    }
  } else {
    return r.ok() ? ImageStatus::kUnsupported : ImageStatus::kTruncated;
  }
  if (!r.ok()) return ImageStatus::kTruncated;
  if (h.paletteOffset == 0) h.paletteOffset = kFileHeaderSize + h.headerSize;
  return ImageStatus::kOk;
}

ImageStatus CheckHeader(const BmpHeader& h) {
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return ImageStatus::kInvalid;
  const uint64_t rows = static_cast<uint64_t>(h.height < 0 ? -h.height : h.height);
  switch (h.compression) {
    case kRgb:
      break;
    case kBitFields:
    case kAlphaBitFields:
      if (h.bitsPerPixel != 16 && h.bitsPerPixel != 32) return ImageStatus::kInvalid;
      break;
    case kRle8:
    case kRle4:
    case kEmbeddedJpeg:
    case kEmbeddedPng:
      return ImageStatus::kUnsupported;
    default:
      return ImageStatus::kInvalid;
  }
  switch (h.bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return ImageStatus::kInvalid;
  }
  if (!ImageSizeAllowed(static_cast<uint64_t>(h.width), rows)) return ImageStatus::kTooLarge;
  return ImageStatus::kOk;
}

using Palette = std::array<uint32_t, 256>;

// Reads the colour table of an indexed bitmap. Writers often store fewer entries than the header implies;
// the table ends where the pixels begin at the latest, and indices beyond its end are black.
void ReadPalette(const uint8_t* data, const BmpHeader& h, Palette& palette, bool& grayscale) {
  const uint32_t declared = 1u << h.bitsPerPixel;
  const uint32_t used = (h.colorsUsed == 0 || h.colorsUsed > declared) ? declared : h.colorsUsed;
  const size_t stored = (h.dataOffset - h.paletteOffset) / h.paletteEntrySize;
  const uint32_t entries = static_cast<uint32_t>(used < stored ? used : stored);
  palette.fill(0xFF000000u);
  const uint8_t* entry = data + h.paletteOffset;
  grayscale = true;
  for (uint32_t i = 0; i < entries; ++i, entry += h.paletteEntrySize) {
    const uint32_t b = entry[0], g = entry[1], r = entry[2];
    palette[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
    grayscale = grayscale && r == g && g == b;
  }
}

void DecodeIndexedRow(const uint8_t* src, uint32_t width, uint32_t bits, const Palette& palette,
                      uint32_t* dst) {
  const uint32_t perByte = 8 / bits;
  const uint32_t mask = (1u << bits) - 1;
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t shift = 8 - bits * (x % perByte + 1);  // the leftmost pixel is in the high bits
    dst[x] = palette[(src[x / perByte] >> shift) & mask];
  }
}

struct PixelMasks {
  ChannelMask red, green, blue, alpha;
};

PixelMasks MasksFor(const BmpHeader& h) {
  if (h.hasMasks)
    return {ChannelMask(h.masks[0]), ChannelMask(h.masks[1]), ChannelMask(h.masks[2]),
            ChannelMask(h.masks[3])};
  // Plain 16-bit pixels are 5-5-5; the fourth byte of plain 32-bit pixels is unused, so they are opaque.
  if (h.bitsPerPixel == 16)
    return {ChannelMask(0x7C00), ChannelMask(0x03E0), ChannelMask(0x001F), ChannelMask(0)};
  return {ChannelMask(0xFF0000), ChannelMask(0xFF00), ChannelMask(0xFF), ChannelMask(0)};
}

void DecodeMaskedRow(const uint8_t* src, uint32_t width, uint32_t bytesPerPixel, const PixelMasks& m,
                     uint32_t* dst) {
  for (uint32_t x = 0; x < width; ++x, src += bytesPerPixel) {
    uint32_t pixel = 0;
    for (uint32_t i = 0; i < bytesPerPixel; ++i) pixel |= static_cast<uint32_t>(src[i]) << (8 * i);
    const uint32_t a = m.alpha.present() ? m.alpha.Extract(pixel) : 255u;
    dst[x] = (a << 24) | (static_cast<uint32_t>(m.red.Extract(pixel)) << 16) |
             (static_cast<uint32_t>(m.green.Extract(pixel)) << 8) | m.blue.Extract(pixel);
  }
}

}  // namespace

ImageStatus DecodeBmp(const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info) {
  image = Image{};
  BmpHeader h;
  ImageStatus status = ReadHeader(data, size, h);
  if (status == ImageStatus::kOk) status = CheckHeader(h);
  if (status != ImageStatus::kOk) return status;

  const uint32_t width = static_cast<uint32_t>(h.width);
  const uint32_t height = static_cast<uint32_t>(h.height < 0 ? -h.height : h.height);
  const uint64_t stride = (static_cast<uint64_t>(width) * h.bitsPerPixel + 31) / 32 * 4;
  // Every row must be present before anything is allocated; sizes are capped, so this cannot overflow.
  if (h.dataOffset < h.paletteOffset) return ImageStatus::kInvalid;
  if (h.dataOffset > size || stride * height > size - h.dataOffset) return ImageStatus::kTruncated;

  Palette palette{};
  bool grayscale = false;
  if (h.bitsPerPixel <= 8) {
    ReadPalette(data, h, palette, grayscale);
  }
  const PixelMasks masks = MasksFor(h);

  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  for (uint32_t fileRow = 0; fileRow < height; ++fileRow) {
    const uint8_t* src = data + h.dataOffset + stride * fileRow;
    const uint32_t row = h.height < 0 ? fileRow : height - 1 - fileRow;
    uint32_t* dst = image.pixels.data() + static_cast<size_t>(row) * width;
    if (h.bitsPerPixel <= 8) {
      DecodeIndexedRow(src, width, h.bitsPerPixel, palette, dst);
    } else if (h.bitsPerPixel == 24) {
      for (uint32_t x = 0; x < width; ++x, src += 3) {
        dst[x] = 0xFF000000u | (static_cast<uint32_t>(src[2]) << 16) | (static_cast<uint32_t>(src[1]) << 8) |
                 src[0];
      }
    } else {
      DecodeMaskedRow(src, width, h.bitsPerPixel / 8, masks, dst);
    }
  }
  if (info != nullptr) *info = {ImageFileKind::kBmp, static_cast<int>(h.bitsPerPixel), grayscale};
  return ImageStatus::kOk;
}

}  // namespace lumar
