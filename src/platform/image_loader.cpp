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
