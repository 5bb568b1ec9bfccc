#include "render/text_quads.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/frame_rate.h"

namespace lumar {
namespace {

// A vertex buffer that keeps what each draw call drew.
class RecordingTarget : public QuadBatchTarget {
 public:
  OverlayVertex* Lock() override {
    EXPECT_FALSE(locked_);
    if (locksLeft == 0) return nullptr;
    --locksLeft;
    locked_ = true;
    buffer_.assign(kOverlayBufferVertices, OverlayVertex{-1, -1, -1, -1, 0, -1, -1});  // discarded
    return buffer_.data();
  }
  void Unlock() override {
    EXPECT_TRUE(locked_);
    locked_ = false;
  }
  void Draw(uint32_t triangles) override {
    EXPECT_FALSE(locked_);
    batches.emplace_back(buffer_.begin(), buffer_.begin() + 3 * triangles);
  }
  std::vector<std::vector<OverlayVertex>> batches;
  int locksLeft = 1000;

  std::vector<OverlayVertex> All() const {
    std::vector<OverlayVertex> all;
    for (const auto& b : batches) all.insert(all.end(), b.begin(), b.end());
    return all;
  }

 private:
  bool locked_ = false;
  std::vector<OverlayVertex> buffer_;
};

// A 256 x 256 atlas with 2 texels of spacing in which every glyph is 10 x 16 texels, each in its own cell.
GlyphAtlas SimpleAtlas(float textScale = 1.0f) {
  GlyphAtlas atlas;
  atlas.atlasWidth = atlas.atlasHeight = 256;
  atlas.spacing = 2;
  atlas.textScale = textScale;
  for (int c = kFirstGlyph; c <= kLastGlyph; ++c) {
    const int k = c - kFirstGlyph;
    const float x = static_cast<float>((k % 16) * 14);
    const float y = static_cast<float>((k / 16) * 17);
    atlas.glyphRects[k] = GlyphRect{x / 256, y / 256, (x + 14) / 256, (y + 16) / 256};
  }
  return atlas;
}

constexpr uint32_t kGreen = 0xFF00FF00;

TEST(TextQuads, OneCharacterIsTwoTrianglesOverItsGlyph) {
  const GlyphAtlas atlas = SimpleAtlas();
  RecordingTarget target;
  BatchTextQuads(atlas, 20, 20, kGreen, "A", target);
  ASSERT_EQ(target.batches.size(), 1u);
  const std::vector<OverlayVertex>& v = target.batches[0];
  ASSERT_EQ(v.size(), 6u);
  // The pen starts one spacing left of x; the quad is the glyph without its margins, half a pixel up-left.
  const float left = 18 - 0.5f, top = 19.5f, right = left + 10, bottom = top + 16;
  const GlyphRect& r = atlas.Rect('A');
  const float uLeft = r.left + 2 / 256.0f, uRight = r.right - 2 / 256.0f;
  const OverlayVertex expected[6] = {
      {left, bottom, 0.9f, 1, kGreen, uLeft, r.bottom},   {left, top, 0.9f, 1, kGreen, uLeft, r.top},
      {right, bottom, 0.9f, 1, kGreen, uRight, r.bottom}, {right, top, 0.9f, 1, kGreen, uRight, r.top},
      {right, bottom, 0.9f, 1, kGreen, uRight, r.bottom}, {left, top, 0.9f, 1, kGreen, uLeft, r.top}};
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(k);
    EXPECT_FLOAT_EQ(v[k].x, expected[k].x);
    EXPECT_FLOAT_EQ(v[k].y, expected[k].y);
    EXPECT_EQ(v[k].z, 0.9f);
    EXPECT_EQ(v[k].rhw, 1.0f);
    EXPECT_EQ(v[k].colour, kGreen);
    EXPECT_FLOAT_EQ(v[k].u, expected[k].u);
    EXPECT_FLOAT_EQ(v[k].v, expected[k].v);
  }
}

TEST(TextQuads, OneHundredTwentyCharactersDrawInBatchesOfFifty) {
  const GlyphAtlas atlas = SimpleAtlas();
  std::string text;
  for (int k = 0; k < 120; ++k) text += static_cast<char>('!' + k % 90);
  RecordingTarget target;
  BatchTextQuads(atlas, 0, 0, kGreen, text.c_str(), target);
  ASSERT_EQ(target.batches.size(), 3u);
  EXPECT_EQ(target.batches[0].size(), 300u);
  EXPECT_EQ(target.batches[1].size(), 300u);
  EXPECT_EQ(target.batches[2].size(), 120u);
  // The pen runs on across batches: character 51 starts where character 50 ended.
  EXPECT_FLOAT_EQ(target.batches[1][1].x, target.batches[0][299 - 2].x);
  const std::vector<OverlayVertex> all = target.All();
  EXPECT_FLOAT_EQ(all.back().x, -2 - 0.5f + 119 * 10);           // the last glyph's top-left corner
  EXPECT_FLOAT_EQ(all[all.size() - 3].x, -2 - 0.5f + 120 * 10);  // and its top-right corner
}

TEST(TextQuads, ExactlyFiftyCharactersDrawOnce) {
  const GlyphAtlas atlas = SimpleAtlas();
  RecordingTarget target;
  BatchTextQuads(atlas, 0, 0, kGreen, std::string(50, 'W').c_str(), target);
  EXPECT_EQ(target.batches.size(), 1u);
}

TEST(TextQuads, ControlAndHighBytesNeitherDrawNorAdvance) {
  const GlyphAtlas atlas = SimpleAtlas();
  RecordingTarget plain;
  BatchTextQuads(atlas, 5, 7, kGreen, "AB", plain);
  std::string noisy = "A";
  for (int c = 1; c < 32; ++c) {
    if (c != '\n') noisy += static_cast<char>(c);
  }
  for (int c = 127; c < 256; ++c) noisy += static_cast<char>(c);
  noisy += "B";
  RecordingTarget target;
  BatchTextQuads(atlas, 5, 7, kGreen, noisy.c_str(), target);
  const std::vector<OverlayVertex> a = plain.All();
  const std::vector<OverlayVertex> b = target.All();
  ASSERT_EQ(b.size(), a.size());
  ASSERT_EQ(b.size(), 12u);
  for (size_t k = 0; k < a.size(); ++k) {
    EXPECT_EQ(b[k].x, a[k].x);
    EXPECT_EQ(b[k].y, a[k].y);
    EXPECT_EQ(b[k].u, a[k].u);
  }
}

TEST(TextQuads, NewlineGoesDownOneGlyphHeightToTheLineStart) {
  for (float scale : {1.0f, 0.5f}) {
    SCOPED_TRACE(scale);
    const GlyphAtlas atlas = SimpleAtlas(scale);
    RecordingTarget target;
    BatchTextQuads(atlas, 30, 40, kGreen, "AB\nC", target);
    const std::vector<OverlayVertex> v = target.All();
    ASSERT_EQ(v.size(), 18u);
    const float glyphHeight = 16 / scale;
    EXPECT_FLOAT_EQ(v[12 + 1].x, v[1].x);                // C's top-left under A's
    EXPECT_FLOAT_EQ(v[12 + 1].y, v[1].y + glyphHeight);  // one line down
    EXPECT_FLOAT_EQ(v[6 + 1].x, v[1].x + 10 / scale);    // B after A
  }
}

TEST(TextQuads, EmptyTextAndAnUnlockableBufferDrawNothing) {
  const GlyphAtlas atlas = SimpleAtlas();
  RecordingTarget empty;
  BatchTextQuads(atlas, 0, 0, kGreen, "", empty);
  EXPECT_TRUE(empty.batches.empty());
  RecordingTarget refused;
  refused.locksLeft = 0;
  BatchTextQuads(atlas, 0, 0, kGreen, "FPS 60", refused);
  EXPECT_TRUE(refused.batches.empty());
  // The buffer is refused after the first batch: the first 50 characters still show.
  RecordingTarget once;
  once.locksLeft = 1;
  BatchTextQuads(atlas, 0, 0, kGreen, std::string(70, 'x').c_str(), once);
  ASSERT_EQ(once.batches.size(), 1u);
  EXPECT_EQ(once.batches[0].size(), 300u);
}

TEST(FrameRate, CountsFramesOverMoreThan300Milliseconds) {
  FrameRateCounter counter;
  ASSERT_TRUE(counter.Update(10000, 0));  // the first call measures from clock 0
  EXPECT_EQ(counter.value(), 0u);
  EXPECT_TRUE(counter.Update(11000, 25));  // 25 frames in 1000 ms
  EXPECT_EQ(counter.value(), 25u);
  EXPECT_TRUE(counter.Update(11301, 30));  // 5 in 301 ms: 16.6 truncated
  EXPECT_EQ(counter.value(), 16u);
  EXPECT_FALSE(counter.Update(11601, 35));  // 5 in 300 ms: too soon, no update
  EXPECT_EQ(counter.value(), 16u);
  EXPECT_TRUE(counter.Update(11602, 35));  // measured from the last update: 5 in 301
  EXPECT_EQ(counter.value(), 16u);
}

TEST(FrameRate, SurvivesTheClockWrappingAndLongGaps) {
  FrameRateCounter counter;
  counter.Update(0xFFFFFE00u, 0);
  EXPECT_TRUE(counter.Update(0x000001F4u, 60));  // 1012 ms across the wrap
  EXPECT_EQ(counter.value(), 59u);
  // Ten million frames over a day would overflow 32-bit arithmetic.
  EXPECT_TRUE(counter.Update(0x000001F4u + 86400000u, 10000060u));
  EXPECT_EQ(counter.value(), 115u);
}

TEST(FrameRate, TextHasAtLeastTwoDigits) {
  EXPECT_EQ(FormatFrameRate(7), "FPS 07");
  EXPECT_EQ(FormatFrameRate(0), "FPS 00");
  EXPECT_EQ(FormatFrameRate(25), "FPS 25");
  EXPECT_EQ(FormatFrameRate(120), "FPS 120");
}

}  // namespace
}  // namespace lumar
