// The quads of a string of the text overlay: each printable character becomes two pre-transformed
// triangles textured with its atlas rectangle, written into a vertex buffer of 300 vertices that is drawn
// and refilled every 50 characters.
#pragma once

#include <cstdint>
#include <type_traits>

#include "render/text_atlas.h"

namespace lumar {

// XYZRHW | DIFFUSE | TEX1: screen position, colour, one texture coordinate.
struct OverlayVertex {
  float x, y, z, rhw;
  uint32_t colour;  // ARGB
  float u, v;
};

constexpr uint32_t kOverlayVertexFormat = 0x144;
constexpr uint32_t kOverlayVertexStride = 28;
constexpr uint32_t kOverlayBufferVertices = 300;

static_assert(sizeof(OverlayVertex) == kOverlayVertexStride, "the overlay buffer uses a 28-byte stride");
static_assert(std::is_trivially_copyable<OverlayVertex>::value, "vertices go straight into a locked buffer");

// The vertex buffer the quads are written into.
class QuadBatchTarget {
 public:
  virtual ~QuadBatchTarget() = default;
  // The buffer's kOverlayBufferVertices vertices, its old contents discarded; null when it cannot be had.
  virtual OverlayVertex* Lock() = 0;
  virtual void Unlock() = 0;
  // Draws the first `triangles` triangles of the buffer as a list.
  virtual void Draw(uint32_t triangles) = 0;
};

// Writes and draws the quads of `text` (NUL-terminated) with its top-left corner at (x, y) screen pixels.
// A newline goes down one glyph height and back to the line start; other control bytes, DEL and bytes
// from 128 up draw nothing and do not move the pen. Stops when the buffer cannot be locked.
void BatchTextQuads(const GlyphAtlas& atlas, float x, float y, uint32_t colour, const char* text,
                    QuadBatchTarget& target);

}  // namespace lumar
