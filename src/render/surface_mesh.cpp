#include "render/surface_mesh.h"

namespace lumar {
namespace {

template <typename Index>
bool WriteTriangleList(const SurfaceMeshLayout& layout, Index* indices, size_t count) {
  if (layout.empty() || indices == nullptr || count != layout.indexCount) return false;
  const uint32_t k = static_cast<uint32_t>(layout.gridCellsY);
  Index* out = indices;
  for (uint32_t i = 0; i < static_cast<uint32_t>(layout.gridCellsX); ++i) {
    for (uint32_t j = 0; j < k; ++j) {
      const uint32_t a = i * (k + 1) + j;
      const uint32_t corners[6] = {a, a + 1, a + k + 2, a, a + k + 2, a + k + 1};
      for (uint32_t c : corners) *out++ = static_cast<Index>(c);
    }
  }
  return true;
}

}  // namespace

SurfaceMeshLayout DescribeSurfaceMesh(int gridCellsX, int gridCellsY) {
  SurfaceMeshLayout layout;
  if (gridCellsX < 1 || gridCellsY < 1 || gridCellsX > kMaxGridCells || gridCellsY > kMaxGridCells) {
    return layout;
  }
  layout.gridCellsX = gridCellsX;
  layout.gridCellsY = gridCellsY;
  layout.vertexCount = static_cast<uint32_t>(gridCellsX + 1) * static_cast<uint32_t>(gridCellsY + 1);
  layout.triangleCount = 2u * static_cast<uint32_t>(gridCellsX) * static_cast<uint32_t>(gridCellsY);
  layout.indexCount = 3u * layout.triangleCount;
  layout.indexWidth =
      layout.vertexCount <= kMaxVerticesFor16BitIndices ? IndexWidth::Bits16 : IndexWidth::Bits32;
  return layout;
}

bool BuildSurfaceIndices(const SurfaceMeshLayout& layout, uint16_t* indices, size_t count) {
  return layout.indexWidth == IndexWidth::Bits16 && WriteTriangleList(layout, indices, count);
}

bool BuildSurfaceIndices(const SurfaceMeshLayout& layout, uint32_t* indices, size_t count) {
  return layout.indexWidth == IndexWidth::Bits32 && WriteTriangleList(layout, indices, count);
}

bool BuildBackdropQuad(SurfaceVertex* quad, size_t count) {
  if (quad == nullptr || count != kBackdropVertexCount) return false;
  // Strip order: bottom-left, bottom-right, top-left, top-right.
  const float corners[kBackdropVertexCount][2] = {{-1.0f, -1.0f}, {1.0f, -1.0f}, {-1.0f, 1.0f}, {1.0f, 1.0f}};
  for (size_t n = 0; n < kBackdropVertexCount; ++n) {
    const float x = corners[n][0];
    const float y = corners[n][1];
    quad[n] = SurfaceVertex{x, y, 0.0f, 0.0f, 0.0f, -1.0f, (x + 1.0f) * 0.5f, (y + 1.0f) * 0.5f};
  }
  return true;
}

}  // namespace lumar
