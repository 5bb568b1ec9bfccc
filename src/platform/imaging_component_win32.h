// Pictures in the formats Windows itself reads, through the Windows Imaging Component: PNG, GIF (its
// first frame), TIFF, ICO and JPEG XR everywhere, and WebP, HEIF or AVIF where the user has installed
// their codecs. BMP and JPEG keep their own decoders (platform/image.h); this is the decoder of the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image.h"

namespace lumar {

// An OtherFormatDecoder: the first frame of the picture in `data`, decoded by whichever installed codec
// recognises its content. kUnknownFormat when none does or the component cannot be created, kTooLarge
// beyond the loader's caps (checked on the declared size, before any pixel is decoded), kTruncated or
// kInvalid when the codec fails on the data.
ImageStatus DecodeWithImagingComponent(const uint8_t* data, size_t size, Image& image);

// True when the imaging component can be created on this system (Windows XP SP3 and later have it).
bool ImagingComponentAvailable();

}  // namespace lumar
