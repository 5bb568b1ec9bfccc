// The orientation tag: read from a JPEG's Exif segment or a TIFF header in either byte order, ignored
// when damaged, and applied as each of its eight values says.
#include "platform/picture_orientation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumar {
namespace {

// A TIFF structure with one directory entry (tag, type, count, value) in the byte order of `order`.
std::vector<uint8_t> Tiff(char order, uint16_t tag, uint16_t type, uint32_t count, uint16_t value) {
  const bool big = order == 'M';
  std::vector<uint8_t> out = {static_cast<uint8_t>(order), static_cast<uint8_t>(order)};
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * (big ? bytes - 1 - i : i))));
  };
  put(42, 2);
  put(8, 4);  // the first directory
  put(1, 2);  // one entry
  put(tag, 2);
  put(type, 2);
  put(count, 4);
  put(value, 2);
  put(0, 2);
  put(0, 4);  // no next directory
  return out;
}

// A JPEG start with an APP0 segment, then an APP1 segment of `payload`, then a start of scan.
std::vector<uint8_t> Jpeg(const std::string& prefix, const std::vector<uint8_t>& tiff) {
  std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F'};
  const size_t length = 2 + prefix.size() + tiff.size();
  out.insert(out.end(), {0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
  out.insert(out.end(), prefix.begin(), prefix.end());
  out.insert(out.end(), tiff.begin(), tiff.end());
  out.insert(out.end(), {0xFF, 0xDA, 0, 2, 0xFF, 0xD9});
  return out;
}

const std::string kExif("Exif\0\0", 6);

struct TagCase {
  const char* what;
  std::vector<uint8_t> file;
  int expected;
};

TEST(ReadOrientationTag, FindsTheTagOrSaysUpright) {
  std::vector<uint8_t> cut = Jpeg(kExif, Tiff('I', 274, 3, 1, 6));
  cut.resize(20);  // ends inside the Exif segment
  std::vector<uint8_t> farDirectory = Tiff('I', 274, 3, 1, 6);
  farDirectory[4] = 0xF0;  // the directory lies past the end
  const TagCase cases[] = {
      {"Exif, little-endian, 6", Jpeg(kExif, Tiff('I', 274, 3, 1, 6)), 6},
      {"Exif, big-endian, 8", Jpeg(kExif, Tiff('M', 274, 3, 1, 8)), 8},
      {"TIFF file, big-endian, 3", Tiff('M', 274, 3, 1, 3), 3},
      {"TIFF file, little-endian, 5", Tiff('I', 274, 3, 1, 5), 5},
      {"another tag only", Jpeg(kExif, Tiff('I', 273, 3, 1, 6)), 1},
      {"value 0", Jpeg(kExif, Tiff('I', 274, 3, 1, 0)), 1},
      {"value 9", Jpeg(kExif, Tiff('I', 274, 3, 1, 9)), 1},
      {"tag of type LONG", Jpeg(kExif, Tiff('I', 274, 4, 1, 6)), 1},
      {"two values", Jpeg(kExif, Tiff('I', 274, 3, 2, 6)), 1},
      {"APP1 that is not Exif", Jpeg("XMP\0\0\0", Tiff('I', 274, 3, 1, 6)), 1},
      {"Exif without a TIFF header", Jpeg(kExif, {'I', 'I', 43, 0, 8, 0, 0, 0}), 1},
      {"segment cut short", cut, 1},
      {"directory past the end", Jpeg(kExif, farDirectory), 1},
      {"PNG signature", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, 1},
      {"nothing", {}, 1},
  };
  for (const TagCase& c : cases) {
    EXPECT_EQ(ReadOrientationTag(c.file.data(), c.file.size()), c.expected) << c.what;
  }
}

struct TurnCase {
  int orientation;
  uint32_t width, height;
  std::vector<uint32_t> viewed;
};

TEST(ApplyOrientation, TurnsAndMirrorsAsEachValueSays) {
  // Stored 3 x 2:  1 2 3
  //                4 5 6
  const TurnCase cases[] = {
      {1, 3, 2, {1, 2, 3, 4, 5, 6}},
      {2, 3, 2, {3, 2, 1, 6, 5, 4}},
      {3, 3, 2, {6, 5, 4, 3, 2, 1}},
      {4, 3, 2, {4, 5, 6, 1, 2, 3}},
      {5, 2, 3, {1, 4, 2, 5, 3, 6}},
      {6, 2, 3, {4, 1, 5, 2, 6, 3}},  // the first stored row becomes the right-hand column
      {7, 2, 3, {6, 3, 5, 2, 4, 1}},
      {8, 2, 3, {3, 6, 2, 5, 1, 4}},
      {0, 3, 2, {1, 2, 3, 4, 5, 6}},
      {9, 3, 2, {1, 2, 3, 4, 5, 6}},
  };
  for (const TurnCase& c : cases) {
    Image picture;
    picture.width = 3;
    picture.height = 2;
    picture.pixels = {1, 2, 3, 4, 5, 6};
    ApplyOrientation(c.orientation, picture);
    EXPECT_EQ(picture.width, c.width) << c.orientation;
    EXPECT_EQ(picture.height, c.height) << c.orientation;
    EXPECT_EQ(picture.pixels, c.viewed) << c.orientation;
  }
}

}  // namespace
}  // namespace lumar
