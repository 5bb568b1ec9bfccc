// Pictures embedded in the program as RCDATA resources (the JPEG files as they are), decoded in place.
#pragma once

#include <windows.h>

#include "platform/image.h"

namespace lumar {

// Decodes RCDATA resource `id` of `module`; kFileUnreadable when the module has no such resource.
ImageStatus LoadEmbeddedPicture(HMODULE module, int id, Image& image, ImageSourceInfo* info = nullptr);

}  // namespace lumar
