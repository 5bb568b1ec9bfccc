#include "platform/embedded_picture_win32.h"

namespace lumar {

ImageStatus LoadEmbeddedPicture(HMODULE module, int id, Image& image, ImageSourceInfo* info) {
  image = Image{};
  // Resource memory belongs to the loaded module: nothing to free here.
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (found == nullptr) return ImageStatus::kFileUnreadable;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, found);
  if (bytes == nullptr || size == 0) return ImageStatus::kFileUnreadable;
  return DecodeImage(static_cast<const uint8_t*>(bytes), size, image, info);
}

}  // namespace lumar
