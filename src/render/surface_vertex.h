// The vertex of the liquid surface, the Aquarium backdrop and the orange bar: position, lighting normal and
// one texture coordinate, laid out as the fixed-function format XYZ | NORMAL | TEX1 expects it.
#pragma once

#include <cstdint>
#include <type_traits>

namespace lumar {

struct SurfaceVertex {
  float x;   // -1 at the left screen edge, +1 at the right
  float y;   // -1 at the bottom screen edge, +1 at the top
  float z;   // displacement of the surface
  float nx;  // lighting normal, not normalised (the device normalises it)
  float ny;
  float nz;
  float u;  // texture coordinate; v grows upward, v = 0 is the texture's first row
  float v;
};

// XYZ | NORMAL | TEX1, and the stream stride that goes with it.
constexpr uint32_t kSurfaceVertexFormat = 0x112;
constexpr uint32_t kSurfaceVertexStride = 32;

static_assert(sizeof(SurfaceVertex) == kSurfaceVertexStride, "the vertex buffers use a 32-byte stride");
static_assert(std::is_standard_layout<SurfaceVertex>::value &&
                  std::is_trivially_copyable<SurfaceVertex>::value,
              "vertices are written straight into locked Direct3D buffers");

}  // namespace lumar
