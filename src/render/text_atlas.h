// The glyph atlas of the text overlay: the printable ASCII characters of one font laid out in rows on a
// square texture, the search for the smallest atlas that holds them, and the conversion of the rendered
// white-on-black glyphs into 4-bit alpha texels. The font itself is drawn by the shell (GDI); here it is
// reached through GlyphRasterizer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumar {

constexpr int kFirstGlyph = 32;  // space
constexpr int kLastGlyph = 126;  // "~"
constexpr int kGlyphSlots = 96;  // characters 32 ... 127; 127 is never laid out

struct GlyphRect {
  float left = 0, top = 0, right = 0, bottom = 0;  // texture coordinates, 0 ... 1
};

struct GlyphAtlas {
  uint32_t atlasWidth = 128;  // texels; always equal to atlasHeight
  uint32_t atlasHeight = 128;
  float textScale = 1.0f;  // font scale, below 1 only when the device's textures are too small
  uint32_t spacing = 0;    // margin on each side of a glyph, in texels
  std::array<GlyphRect, kGlyphSlots> glyphRects{};

  // The rectangle of character c (32 ... 127).
  const GlyphRect& Rect(int c) const { return glyphRects[static_cast<size_t>(c - kFirstGlyph)]; }
};

struct GlyphExtent {
  int32_t width = 0;
  int32_t height = 0;
};

// The font the atlas is made of.
class GlyphRasterizer {
 public:
  virtual ~GlyphRasterizer() = default;
  // Makes the font again at `textScale` times its size. False when it cannot be made.
  virtual bool SelectScale(float textScale) = 0;
  // The extent of `length` characters of `text` in the current font. False on failure.
  virtual bool Measure(const char* text, size_t length, GlyphExtent& extent) = 0;
  // Draws character c with its top-left corner at (x, y) of the atlas. False on failure.
  virtual bool Draw(char c, int32_t x, int32_t y) = 0;
};

enum class LayoutResult {
  kOk,
  kFailed,    // a font or a text call failed
  kMoreData,  // the characters do not fit the atlas
};

enum class LayoutPass { kMeasure, kDraw };

// One pass over characters 32 ... 126 in the atlas's current size: sets the spacing (three tenths of the
// height of "x", rounded up) and, when drawing, draws each glyph and records its rectangle.
LayoutResult LayOutGlyphs(GlyphRasterizer& rasterizer, GlyphAtlas& atlas, LayoutPass pass);

// The largest atlas edge the search tries before it gives up; far above any device's texture limit.
constexpr uint32_t kMaxAtlasEdge = 1u << 16;
// Shrinking the font by 0.9 this many times without a fit gives up.
constexpr int kMaxShrinkAttempts = 64;

// Finds the atlas size: 128 x 128, doubled until the glyphs fit. An atlas wider than `maxTextureWidth` is
// limited to it and the font shrunk to fit: first by the ratio of the two, then by 0.9 per further
// attempt. Leaves the rasterizer's font at the scale found. kMoreData when nothing fits.
LayoutResult SearchAtlasSize(GlyphRasterizer& rasterizer, uint32_t maxTextureWidth, GlyphAtlas& atlas);

// The font height for CreateFont: -(pointSize points at trunc(logPixelsY * textScale) pixels per inch),
// rounded as MulDiv rounds.
int32_t FontHeight(int32_t pointSize, int32_t logPixelsY, float textScale);

// a * b / c rounded half away from zero, in 64 bits; -1 when c is 0 or the result leaves 32 bits.
int32_t MulDivRounded(int32_t a, int32_t b, int32_t c);

// The atlas texel (A4R4G4B4) of a rendered pixel (0x00RRGGBB, white glyphs on black): the upper four bits
// of its blue byte become the alpha of a white texel; a blank pixel becomes opaque black.
uint16_t AtlasTexel(uint32_t pixel);

// Converts `width` x `height` rendered pixels (rows without padding) into texels `pitch` bytes apart.
void ConvertAtlas(const uint32_t* pixels, uint32_t width, uint32_t height, uint8_t* texels, size_t pitch);

}  // namespace lumar
