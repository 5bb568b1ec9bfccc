// The orientation tag of a photo: cameras store the sensor's rows as they came and note in the Exif data
// (tag 274 of the first TIFF directory) how the picture is to be turned for viewing. A portrait photo
// taken with the phone upright is stored sideways with orientation 6.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/image.h"

namespace lumar {

// Orientation values 1 to 8 as the tag defines them: 1 upright, 2 mirrored left to right, 3 turned half
// round, 4 mirrored top to bottom, 5 mirrored along the main diagonal, 6 to be turned a quarter clockwise,
// 7 mirrored along the other diagonal, 8 to be turned a quarter anticlockwise.
constexpr int kOrientationUpright = 1;

// The orientation tag of a JPEG (its Exif segment) or a TIFF file; kOrientationUpright when there is none,
// it is damaged or its value is outside 1 to 8.
int ReadOrientationTag(const uint8_t* data, size_t size);

// The picture as it is to be viewed: `picture` turned and mirrored as `orientation` says (edges swapped
// for 5 to 8). Any other value leaves it as it is.
void ApplyOrientation(int orientation, Image& picture);

}  // namespace lumar
