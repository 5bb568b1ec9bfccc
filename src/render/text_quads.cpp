#include "render/text_quads.h"

namespace lumar {
namespace {

constexpr float kOverlayDepth = 0.9f;
// Characters per batch: the buffer's 300 vertices hold 50 quads of six.
constexpr uint32_t kBatchTriangles = kOverlayBufferVertices / 3;

// A glyph on screen: its pixel rectangle and its texture rectangle without the margins.
struct ScreenQuad {
  float left, top, right, bottom;
  float uLeft, vTop, uRight, vBottom;
};

OverlayVertex Corner(float x, float y, uint32_t colour, float u, float v) {
  return OverlayVertex{x, y, kOverlayDepth, 1.0f, colour, u, v};
}

// Two triangles: bottom-left, top-left, bottom-right; top-right, bottom-right, top-left.
void WriteQuad(const ScreenQuad& q, uint32_t colour, OverlayVertex* out) {
  const OverlayVertex bottomLeft = Corner(q.left, q.bottom, colour, q.uLeft, q.vBottom);
  const OverlayVertex topLeft = Corner(q.left, q.top, colour, q.uLeft, q.vTop);
  const OverlayVertex bottomRight = Corner(q.right, q.bottom, colour, q.uRight, q.vBottom);
  const OverlayVertex topRight = Corner(q.right, q.top, colour, q.uRight, q.vTop);
  out[0] = bottomLeft;
  out[1] = topLeft;
  out[2] = bottomRight;
  out[3] = topRight;
  out[4] = bottomRight;
  out[5] = topLeft;
}

}  // namespace

void BatchTextQuads(const GlyphAtlas& atlas, float x, float y, uint32_t colour, const char* text,
                    QuadBatchTarget& target) {
  const float width = static_cast<float>(atlas.atlasWidth);
  const float height = static_cast<float>(atlas.atlasHeight);
  const float margin = atlas.spacing / width;
  const float lineStart = x - atlas.spacing;
  float penX = lineStart;
  float penY = y;

  OverlayVertex* vertices = target.Lock();
  if (vertices == nullptr) return;
  uint32_t triangles = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const int c = static_cast<signed char>(*p);  // bytes from 128 up count as below 32
    if (c == '\n') {
      // One line down at the size the glyphs are drawn.
      const GlyphRect& space = atlas.Rect(kFirstGlyph);
      penY += (space.bottom - space.top) * height / atlas.textScale;
      penX = lineStart;
      continue;
    }
    if (c < kFirstGlyph || c > kLastGlyph) continue;  // DEL has no glyph either

    const GlyphRect& rect = atlas.Rect(c);
    ScreenQuad q;
    q.uLeft = rect.left + margin;
    q.uRight = rect.right - margin;
    q.vTop = rect.top;
    q.vBottom = rect.bottom;
    const float w = (q.uRight - q.uLeft) * width / atlas.textScale;
    const float h = (rect.bottom - rect.top) * height / atlas.textScale;
    q.left = penX - 0.5f;
    q.top = penY - 0.5f;
    q.right = penX + w - 0.5f;
    q.bottom = penY + h - 0.5f;
    WriteQuad(q, colour, vertices + 3 * triangles);
    penX += w;
    triangles += 2;
    if (triangles >= kBatchTriangles) {
      target.Unlock();
      target.Draw(triangles);
      triangles = 0;
      vertices = target.Lock();
      if (vertices == nullptr) return;
    }
  }
  target.Unlock();
  if (triangles > 0) target.Draw(triangles);
}

}  // namespace lumar
