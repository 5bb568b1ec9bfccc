#include <fstream>

#include "platform/image.h"

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

ImageStatus DecodeImage(const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info) {
  image = Image{};
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size, image, info);
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
    return DecodeJpeg(data, size, image, info);
  return size < 3 ? ImageStatus::kTruncated : ImageStatus::kUnknownFormat;
}

ImageStatus LoadImageFile(const std::string& path, Image& image, ImageSourceInfo* info) {
  image = Image{};
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return ImageStatus::kFileUnreadable;
  const std::streamoff length = file.tellg();
  if (length < 0 || static_cast<uint64_t>(length) > kMaxImageFileBytes) return ImageStatus::kFileUnreadable;
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  file.seekg(0);
  if (length > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), length))
    return ImageStatus::kFileUnreadable;
  return DecodeImage(bytes.data(), bytes.size(), image, info);
}

}  // namespace lumar
