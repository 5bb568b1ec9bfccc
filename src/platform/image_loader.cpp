#include <algorithm>
#include <fstream>

#include "platform/image.h"
#include "platform/picture_orientation.h"

namespace lumar {

const char* ImageStatusName(ImageStatus status) {
  switch (status) {
    case ImageStatus::kOk:
      return "ok";
    case ImageStatus::kFileUnreadable:
      return "file unreadable";
    case ImageStatus::kUnknownFormat:
      return "unknown format";
    case ImageStatus::kTruncated:
      return "truncated";
    case ImageStatus::kTooLarge:
      return "too large";
    case ImageStatus::kInvalid:
      return "invalid";
    case ImageStatus::kUnsupported:
      return "unsupported";
    case ImageStatus::kOutOfMemory:
      return "out of memory";
  }
  return "?";
}

bool ImageSizeAllowed(uint64_t width, uint64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxImageEdge && height <= kMaxImageEdge &&
         width * height <= kMaxImagePixels;
}

namespace {

uint32_t BigEndian32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// False when a PNG's or GIF's header declares a picture beyond the caps. Checked before the other decoder
// sees the data, since a codec may allocate the whole picture as it opens the file.
bool DeclaredSizeAllowed(const uint8_t* data, size_t size) {
  static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 24 && std::equal(kPng, kPng + 8, data))
    return ImageSizeAllowed(BigEndian32(data + 16), BigEndian32(data + 20));
  if (size >= 10 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F')
    return ImageSizeAllowed(data[6] | (data[7] << 8), data[8] | (data[9] << 8));
  return true;
}

}  // namespace

ImageStatus DecodeImage(const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info,
                        OtherFormatDecoder other) {
  image = Image{};
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size, image, info);
  ImageStatus status = ImageStatus::kUnknownFormat;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
    status = DecodeJpeg(data, size, image, info);
  } else if (size < 3) {
    return ImageStatus::kTruncated;
  } else if (other != nullptr) {
    if (!DeclaredSizeAllowed(data, size)) return ImageStatus::kTooLarge;
    status = other(data, size, image);
    if (status != ImageStatus::kOk) image = Image{};
    if (status == ImageStatus::kOk && info != nullptr) *info = {ImageFileKind::kOther, 32, false};
  }
  if (status == ImageStatus::kOk) ApplyOrientation(ReadOrientationTag(data, size), image);
  return status;
}

ImageStatus LoadImageFile(const std::string& path, Image& image, ImageSourceInfo* info,
                          OtherFormatDecoder other) {
  image = Image{};
  if (path.size() > kMaxImagePathLength) return ImageStatus::kFileUnreadable;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return ImageStatus::kFileUnreadable;
  // A folder opens on some systems; its length does not read.
  const std::streamoff length = file.tellg();
  if (length < 0 || static_cast<uint64_t>(length) > kMaxImageFileBytes) return ImageStatus::kFileUnreadable;
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  file.seekg(0);
  if (length > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), length))
    return ImageStatus::kFileUnreadable;
  return DecodeImage(bytes.data(), bytes.size(), image, info, other);
}

}  // namespace lumar
