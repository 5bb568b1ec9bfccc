// Fixed texts of the configuration dialog: list entries, the Color names, the Mode entries and the file
// filter of the picture browser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/parameter_set.h"

namespace lumar {

// Texture list: the built-in pictures, at the positions of their texture values; the user picture
// follows at position 3.
constexpr const char* kTextureEntries[] = {"Desktop", "Metal", "Sky"};
constexpr const char* kEffectEntries[] = {"Basis", "Aquarium"};

// The Color list's text for a D3DFORMAT value; every format but the first three is named A2R10G10B10.
const char* ColorFormatText(int32_t format);

// The Mode list's text: "%d x %d" of width and height.
std::string ModeEntryText(const DisplayMode& mode);

// Filter pairs of the picture browser, each string NUL-terminated, the whole ended by a second NUL.
// kPictureFilter lists what the program's own decoders read; it is offered where the imaging component
// is missing.
constexpr const char kPictureFilter[] =
    "All graphics (*.bmp, *.jpg, *.jpeg)\0*.bmp;*.jpg;*.jpeg\0"
    "Bitmap (*.bmp)\0*.bmp\0"
    "Jpeg (*.jpg, *.jpeg)\0*.jpg;*.jpeg\0";

// The filter where the imaging component reads the other formats: every picture first, then each family,
// then every file (the content decides the format, not the name).
constexpr const char kAllPicturesFilter[] =
    "All pictures\0*.bmp;*.dib;*.jpg;*.jpeg;*.jpe;*.jfif;*.png;*.gif;*.tif;*.tiff;*.ico;*.jxr;*.wdp;*.hdp;"
    "*.webp;*.heic;*.heif;*.avif\0"
    "Bitmap (*.bmp, *.dib)\0*.bmp;*.dib\0"
    "Jpeg (*.jpg, *.jpeg, *.jpe, *.jfif)\0*.jpg;*.jpeg;*.jpe;*.jfif\0"
    "PNG (*.png)\0*.png\0"
    "GIF (*.gif)\0*.gif\0"
    "TIFF (*.tif, *.tiff)\0*.tif;*.tiff\0"
    "Icon (*.ico)\0*.ico\0"
    "JPEG XR (*.jxr, *.wdp, *.hdp)\0*.jxr;*.wdp;*.hdp\0"
    "WebP (*.webp)\0*.webp\0"
    "HEIF (*.heic, *.heif)\0*.heic;*.heif\0"
    "AVIF (*.avif)\0*.avif\0"
    "All files (*.*)\0*.*\0";

}  // namespace lumar
