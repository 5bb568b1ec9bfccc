#include "render/text_atlas.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace lumar {

LayoutResult LayOutGlyphs(GlyphRasterizer& rasterizer, GlyphAtlas& atlas, LayoutPass pass) {
  GlyphExtent x;
  if (!rasterizer.Measure("x", 1, x)) return LayoutResult::kFailed;
  atlas.spacing = static_cast<uint32_t>(std::ceil(0.3 * x.height));
  const int64_t spacing = atlas.spacing;
  const int64_t width = atlas.atlasWidth;
  const int64_t height = atlas.atlasHeight;

  int64_t penX = spacing;
  int64_t penY = 0;
  for (int c = kFirstGlyph; c <= kLastGlyph; ++c) {
    const char glyph = static_cast<char>(c);
    GlyphExtent size;
    if (!rasterizer.Measure(&glyph, 1, size)) return LayoutResult::kFailed;
    if (penX + size.width + spacing > width) {
      penX = spacing;
      penY += size.height + 1;
    }
    if (penY + size.height > height) return LayoutResult::kMoreData;
    if (pass == LayoutPass::kDraw) {
      if (!rasterizer.Draw(glyph, static_cast<int32_t>(penX), static_cast<int32_t>(penY)))
        return LayoutResult::kFailed;
      GlyphRect& rect = atlas.glyphRects[static_cast<size_t>(c - kFirstGlyph)];
      rect.left = static_cast<float>(penX - spacing) / width;
      rect.top = static_cast<float>(penY) / height;
      rect.right = static_cast<float>(penX + size.width + spacing) / width;
      rect.bottom = static_cast<float>(penY + size.height) / height;
    }
    penX += size.width + 2 * spacing;
  }
  return LayoutResult::kOk;
}

LayoutResult SearchAtlasSize(GlyphRasterizer& rasterizer, uint32_t maxTextureWidth, GlyphAtlas& atlas) {
  atlas.textScale = 1.0f;
  atlas.atlasWidth = atlas.atlasHeight = 128;
  LayoutResult result = LayOutGlyphs(rasterizer, atlas, LayoutPass::kMeasure);
  while (result == LayoutResult::kMoreData) {
    if (atlas.atlasWidth >= kMaxAtlasEdge) return result;
    atlas.atlasWidth = atlas.atlasHeight = atlas.atlasWidth * 2;
    result = LayOutGlyphs(rasterizer, atlas, LayoutPass::kMeasure);
  }
  if (result != LayoutResult::kOk || atlas.atlasWidth <= maxTextureWidth) return result;

  // The device's textures are smaller: keep the largest and shrink the font until the glyphs fit.
  atlas.textScale = static_cast<float>(maxTextureWidth) / atlas.atlasWidth;
  atlas.atlasWidth = atlas.atlasHeight = maxTextureWidth;
  for (int attempt = 0; attempt < kMaxShrinkAttempts; ++attempt) {
    if (attempt > 0) atlas.textScale *= 0.9f;
    if (!rasterizer.SelectScale(atlas.textScale)) return LayoutResult::kFailed;
    result = LayOutGlyphs(rasterizer, atlas, LayoutPass::kMeasure);
    if (result != LayoutResult::kMoreData) return result;
  }
  return LayoutResult::kMoreData;
}

int32_t MulDivRounded(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t product = int64_t{a} * b;
  const bool negative = (product < 0) != (c < 0);
  const int64_t divisor = c < 0 ? -int64_t{c} : int64_t{c};
  const int64_t magnitude = ((product < 0 ? -product : product) + divisor / 2) / divisor;
  if (magnitude > std::numeric_limits<int32_t>::max()) return -1;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t FontHeight(int32_t pointSize, int32_t logPixelsY, float textScale) {
  return -MulDivRounded(pointSize, static_cast<int32_t>(logPixelsY * textScale), 72);
}

uint16_t AtlasTexel(uint32_t pixel) {
  const uint16_t alpha = static_cast<uint16_t>((pixel >> 4) & 0xF);
  return alpha != 0 ? static_cast<uint16_t>((alpha << 12) | 0x0FFF) : uint16_t{0xF000};
}

void ConvertAtlas(const uint32_t* pixels, uint32_t width, uint32_t height, uint8_t* texels, size_t pitch) {
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t* source = pixels + static_cast<size_t>(y) * width;
    uint8_t* row = texels + static_cast<size_t>(y) * pitch;
    for (uint32_t x = 0; x < width; ++x) {
      const uint16_t texel = AtlasTexel(source[x]);
      std::memcpy(row + 2 * static_cast<size_t>(x), &texel, sizeof texel);
    }
  }
}

}  // namespace lumar
