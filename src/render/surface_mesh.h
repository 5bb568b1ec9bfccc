// The fixed geometry of the liquid surface: a grid of (gridCellsX + 1) x (gridCellsY + 1) vertices, stored
// column by column (vertex (i, j) at i * (gridCellsY + 1) + j), drawn as a list of two triangles per cell;
// and the Aquarium backdrop, one quad behind the surface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/surface_vertex.h"

namespace lumar {

enum class IndexWidth { Bits16, Bits32 };

// Grids with more vertices than this cannot be addressed by 16-bit indices (3840 x 2160 and up).
constexpr uint32_t kMaxVerticesFor16BitIndices = 65536;
// Largest grid edge accepted, in cells; far above any display mode.
constexpr int kMaxGridCells = 4096;

struct SurfaceMeshLayout {
  int gridCellsX = 0;
  int gridCellsY = 0;
  uint32_t vertexCount = 0;    // (gridCellsX + 1) * (gridCellsY + 1)
  uint32_t triangleCount = 0;  // 2 * gridCellsX * gridCellsY
  uint32_t indexCount = 0;     // 3 * triangleCount
  IndexWidth indexWidth = IndexWidth::Bits16;

  bool empty() const { return vertexCount == 0; }
  uint32_t IndexSize() const { return indexWidth == IndexWidth::Bits16 ? 2u : 4u; }
  uint32_t IndexBufferBytes() const { return indexCount * IndexSize(); }
  uint32_t VertexBufferBytes() const { return vertexCount * kSurfaceVertexStride; }
};

// The layout of a grid of the given cell counts. 16-bit indices while every vertex can be addressed by
// them, 32-bit beyond. Cell counts outside 1..kMaxGridCells give an empty layout.
SurfaceMeshLayout DescribeSurfaceMesh(int gridCellsX, int gridCellsY);

// Writes the triangle list into `indices` (the locked index buffer): for each cell, columns outer and rows
// inner, with a = i * (gridCellsY + 1) + j and K = gridCellsY, the triangles (a, a+1, a+K+2) and
// (a, a+K+2, a+K+1). Returns false and writes nothing when `count` is not the layout's index count or the
// index width is not the layout's.
bool BuildSurfaceIndices(const SurfaceMeshLayout& layout, uint16_t* indices, size_t count);
bool BuildSurfaceIndices(const SurfaceMeshLayout& layout, uint32_t* indices, size_t count);

// The backdrop: four vertices of a triangle strip covering x, y in [-1, 1] at z = 0, facing the viewer,
// with the texture's unit square stretched over it.
constexpr size_t kBackdropVertexCount = 4;
// Returns false and writes nothing when `count` is not kBackdropVertexCount.
bool BuildBackdropQuad(SurfaceVertex* quad, size_t count);

}  // namespace lumar
