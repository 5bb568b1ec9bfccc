// What must hold after any decode, whatever the input: success gives a picture within the caps whose
// pixel count matches its size; failure leaves nothing behind. Shared by the mutation test and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image.h"

namespace lumar::test {

// Returns false when the decoder broke its contract.
inline bool DecodeKeepsItsContract(const uint8_t* data, size_t size, ImageStatus* statusOut = nullptr) {
  Image image;
  ImageSourceInfo info;
  const ImageStatus status = DecodeImage(data, size, image, &info);
  if (statusOut != nullptr) *statusOut = status;
  if (status != ImageStatus::kOk) return image.pixels.empty() && image.width == 0 && image.height == 0;
  return ImageSizeAllowed(image.width, image.height) &&
         image.pixels.size() == static_cast<size_t>(image.width) * image.height &&
         info.kind != ImageFileKind::kNone;
}

}  // namespace lumar::test
