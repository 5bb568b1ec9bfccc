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
constexpr const char kPictureFilter[] =
    "All graphics (*.bmp, *.jpg, *.jpeg)\0*.bmp;*.jpg;*.jpeg\0"
    "Bitmap (*.bmp)\0*.bmp\0"
    "Jpeg (*.jpg, *.jpeg)\0*.jpg;*.jpeg\0";

}  // namespace lumar
