#include "render/text_atlas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace lumar {
namespace {

// A font whose glyph c is (c % 5 + 2) x 8 pixels at scale 1 ("x" included), times `size` and the scale,
// plus `stiffWidth` pixels that do not shrink. Counts its calls and can be told to fail.
class FakeFont : public GlyphRasterizer {
 public:
  explicit FakeFont(float size = 1.0f, int32_t stiffWidth = 0) : size_(size), stiff_(stiffWidth) {}
  bool SelectScale(float textScale) override {
    scales.push_back(textScale);
    scale_ = textScale;
    return true;
  }
  bool Measure(const char* text, size_t length, GlyphExtent& extent) override {
    if (static_cast<int>(*text) == failOn) return false;
    EXPECT_EQ(length, 1u);
    // Like a real font, never smaller than a pixel.
    extent.width = std::max(1, static_cast<int32_t>(std::lround((*text % 5 + 2) * size_ * scale_)) + stiff_);
    extent.height = std::max(1, static_cast<int32_t>(std::lround(8 * size_ * scale_)));
    return true;
  }
  bool Draw(char c, int32_t x, int32_t y) override {
    draws.push_back({c, x, y});
    return true;
  }
  struct DrawCall {
    char c;
    int32_t x, y;
  };
  std::vector<DrawCall> draws;
  std::vector<float> scales;
  int failOn = -1;

 private:
  float size_;
  int32_t stiff_;
  float scale_ = 1.0f;
};

TEST(GlyphLayout, SmallFontFitsTheFirstAtlasAndGetsItsRectangles) {
  FakeFont font;
  GlyphAtlas atlas;
  ASSERT_EQ(SearchAtlasSize(font, 2048, atlas), LayoutResult::kOk);
  EXPECT_EQ(atlas.atlasWidth, 128u);
  EXPECT_EQ(atlas.atlasHeight, 128u);
  EXPECT_EQ(atlas.textScale, 1.0f);
  EXPECT_EQ(atlas.spacing, 3u);     // ceil(0.3 * 8)
  EXPECT_TRUE(font.draws.empty());  // measuring draws nothing

  ASSERT_EQ(LayOutGlyphs(font, atlas, LayoutPass::kDraw), LayoutResult::kOk);
  ASSERT_EQ(font.draws.size(), 95u);
  EXPECT_EQ(font.draws.front().c, ' ');
  EXPECT_EQ(font.draws.front().x, 3);
  EXPECT_EQ(font.draws.front().y, 0);
  EXPECT_EQ(font.draws.back().c, '~');

  // Each rectangle is the glyph plus its margins; rectangles of one row follow each other without
  // overlapping, and a new row starts one pixel below the last.
  const GlyphRect& space = atlas.Rect(' ');
  EXPECT_FLOAT_EQ(space.left, 0.0f);
  EXPECT_FLOAT_EQ(space.right, (3 + (32 % 5 + 2) + 3) / 128.0f);
  EXPECT_FLOAT_EQ(space.bottom - space.top, 8 / 128.0f);
  for (int c = kFirstGlyph + 1; c <= kLastGlyph; ++c) {
    const GlyphRect& a = atlas.Rect(c - 1);
    const GlyphRect& b = atlas.Rect(c);
    EXPECT_LE(b.right, 1.0f);
    EXPECT_LE(b.bottom, 1.0f);
    if (b.top == a.top) {
      EXPECT_FLOAT_EQ(b.left, a.right) << static_cast<char>(c);
    } else {
      EXPECT_FLOAT_EQ(b.top, a.top + 9 / 128.0f) << static_cast<char>(c);
      EXPECT_FLOAT_EQ(b.left, 0.0f);
    }
  }
  EXPECT_EQ(atlas.Rect(127).right, 0.0f);  // DEL is never laid out
}

TEST(GlyphLayout, LargerFontsDoubleTheAtlasUntilEverythingFits) {
  struct Case {
    float size;
    uint32_t edge;
  };
  for (const Case c : {Case{2.0f, 256u}, Case{4.0f, 512u}, Case{8.0f, 1024u}}) {
    SCOPED_TRACE(c.size);
    FakeFont font(c.size);
    GlyphAtlas atlas;
    ASSERT_EQ(SearchAtlasSize(font, 4096, atlas), LayoutResult::kOk);
    EXPECT_EQ(atlas.atlasWidth, c.edge);
    EXPECT_EQ(atlas.atlasHeight, c.edge);
    // Half the size would not have held it.
    GlyphAtlas smaller = atlas;
    smaller.atlasWidth = smaller.atlasHeight = c.edge / 2;
    EXPECT_EQ(LayOutGlyphs(font, smaller, LayoutPass::kMeasure), LayoutResult::kMoreData);
  }
}

TEST(GlyphLayout, SmallTexturesShrinkTheFontTillItFits) {
  FakeFont font(10.0f, 16);  // needs 1024 at full size, and shrinks less than the scale
  GlyphAtlas atlas;
  ASSERT_EQ(SearchAtlasSize(font, 256, atlas), LayoutResult::kOk);
  EXPECT_EQ(atlas.atlasWidth, 256u);
  EXPECT_EQ(atlas.atlasHeight, 256u);
  // First at 256 / 1024, then 0.9 times smaller each attempt; the font is left at the last scale.
  ASSERT_FALSE(font.scales.empty());
  EXPECT_FLOAT_EQ(font.scales.front(), 0.25f);
  for (size_t k = 1; k < font.scales.size(); ++k) EXPECT_FLOAT_EQ(font.scales[k], font.scales[k - 1] * 0.9f);
  EXPECT_EQ(atlas.textScale, font.scales.back());
  GlyphAtlas check = atlas;
  EXPECT_EQ(LayOutGlyphs(font, check, LayoutPass::kMeasure), LayoutResult::kOk);
  // The attempt before the last did not fit.
  ASSERT_GE(font.scales.size(), 2u);
  FakeFont larger(10.0f, 16);
  larger.SelectScale(font.scales[font.scales.size() - 2]);
  EXPECT_EQ(LayOutGlyphs(larger, check, LayoutPass::kMeasure), LayoutResult::kMoreData);
}

TEST(GlyphLayout, GivesUpInsteadOfLoopingForever) {
  FakeFont font;
  GlyphAtlas atlas;
  // A device with 4 x 4 textures: no scale makes the glyphs fit.
  EXPECT_EQ(SearchAtlasSize(font, 4, atlas), LayoutResult::kMoreData);
  EXPECT_EQ(font.scales.size(), static_cast<size_t>(kMaxShrinkAttempts));
  // A font that never fits at any size stops doubling at the largest edge.
  FakeFont huge(1e6f);
  EXPECT_EQ(SearchAtlasSize(huge, kMaxAtlasEdge * 2, atlas), LayoutResult::kMoreData);
}

TEST(GlyphLayout, FailedTextCallsFailTheLayout) {
  FakeFont font;
  GlyphAtlas atlas;
  font.failOn = 'x';
  EXPECT_EQ(SearchAtlasSize(font, 2048, atlas), LayoutResult::kFailed);
  font.failOn = 'Q';
  EXPECT_EQ(LayOutGlyphs(font, atlas, LayoutPass::kDraw), LayoutResult::kFailed);
}

TEST(FontHeight, PointsBecomePixelsAtTheScreensResolution) {
  EXPECT_EQ(FontHeight(10, 96, 1.0f), -13);  // MulDiv(10, 96, 72) = 13.33 -> 13
  EXPECT_EQ(FontHeight(15, 96, 1.0f), -20);
  EXPECT_EQ(FontHeight(10, 120, 1.0f), -17);  // 16.67 rounds up
  EXPECT_EQ(FontHeight(15, 96, 0.5f), -10);   // at 48 dpi
  EXPECT_EQ(FontHeight(10, 96, 0.99f), -13);  // trunc(95.04) = 95 -> 13.19
}

TEST(FontHeight, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDivRounded(1, 3, 2), 2);
  EXPECT_EQ(MulDivRounded(-1, 3, 2), -2);
  EXPECT_EQ(MulDivRounded(5, 1, -2), -3);
  EXPECT_EQ(MulDivRounded(7, 1, 0), -1);
  EXPECT_EQ(MulDivRounded(0x7FFFFFFF, 2, 1), -1);  // does not fit
  EXPECT_EQ(MulDivRounded(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);
}

TEST(AtlasTexels, GlyphCoverageBecomesAlphaOfWhiteTexels) {
  EXPECT_EQ(AtlasTexel(0x00000000), 0xF000);  // blank: opaque black
  EXPECT_EQ(AtlasTexel(0x00FFFFFF), 0xFFFF);
  EXPECT_EQ(AtlasTexel(0x0000000F), 0xF000);  // below the top four bits of blue
  EXPECT_EQ(AtlasTexel(0x00000010), 0x1FFF);
  EXPECT_EQ(AtlasTexel(0x00FFFF7F), 0x7FFF);
  EXPECT_EQ(AtlasTexel(0x00FF0000), 0xF000);  // only blue counts
}

TEST(AtlasTexels, ConversionHonoursThePitch) {
  const uint32_t pixels[] = {0x00FFFFFF, 0x00000000, 0x00808080, 0x00101010, 0x00202020, 0x00F0F0F0};
  std::vector<uint8_t> texels(2 * 10, 0xCD);  // 3 x 2 pixels, rows 10 bytes apart
  ConvertAtlas(pixels, 3, 2, texels.data(), 10);
  const uint16_t expected[2][3] = {{0xFFFF, 0xF000, 0x8FFF}, {0x1FFF, 0x2FFF, 0xFFFF}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const uint16_t t = static_cast<uint16_t>(texels[y * 10 + 2 * x] | texels[y * 10 + 2 * x + 1] << 8);
      EXPECT_EQ(t, expected[y][x]) << x << ", " << y;
    }
    for (int b = 6; b < 10; ++b) EXPECT_EQ(texels[y * 10 + b], 0xCD);
  }
}

}  // namespace
}  // namespace lumar
