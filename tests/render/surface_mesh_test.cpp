#include "render/surface_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace lumar {
namespace {

SurfaceMeshLayout LayoutForScreen(int screenWidth, int screenHeight) {
  return DescribeSurfaceMesh(screenWidth / 10 + 1, screenHeight / 10 + 1);
}

// Grid position (column, row) of vertex index `n`, from the column-major storage.
std::pair<int64_t, int64_t> GridPosition(const SurfaceMeshLayout& layout, uint32_t n) {
  return {n / (layout.gridCellsY + 1), n % (layout.gridCellsY + 1)};
}

// Twice the signed area of a triangle in grid units.
int64_t DoubleSignedArea(const SurfaceMeshLayout& layout, uint32_t a, uint32_t b, uint32_t c) {
  const auto pa = GridPosition(layout, a);
  const auto pb = GridPosition(layout, b);
  const auto pc = GridPosition(layout, c);
  return (pb.first - pa.first) * (pc.second - pa.second) - (pb.second - pa.second) * (pc.first - pa.first);
}

template <typename Index>
std::vector<uint32_t> Widen(const std::vector<Index>& indices) {
  return std::vector<uint32_t>(indices.begin(), indices.end());
}

// The triangle list covers the grid exactly: every triangle is half a cell with the same winding, the two
// halves of a cell share its diagonal, every cell is covered once and every index names a vertex.
void ExpectTrianglesTileTheGrid(const SurfaceMeshLayout& layout, const std::vector<uint32_t>& indices) {
  ASSERT_EQ(indices.size(), layout.indexCount);
  ASSERT_EQ(*std::max_element(indices.begin(), indices.end()), layout.vertexCount - 1);
  std::set<std::pair<int64_t, int64_t>> cells;
  for (size_t t = 0; t + 5 < indices.size(); t += 6) {
    const uint32_t* q = &indices[t];
    EXPECT_EQ(DoubleSignedArea(layout, q[0], q[1], q[2]), -1) << "triangle at " << t;
    EXPECT_EQ(DoubleSignedArea(layout, q[3], q[4], q[5]), -1) << "triangle at " << t + 3;
    EXPECT_EQ(q[0], q[3]);
    EXPECT_EQ(q[2], q[4]);
    cells.insert(GridPosition(layout, q[0]));
    const auto corner = GridPosition(layout, q[0]);
    EXPECT_LT(corner.first, layout.gridCellsX);
    EXPECT_LT(corner.second, layout.gridCellsY);
  }
  EXPECT_EQ(cells.size(), static_cast<size_t>(layout.gridCellsX) * layout.gridCellsY);
}

TEST(SurfaceMeshLayout, SizesOfCommonModes) {
  const SurfaceMeshLayout vga = LayoutForScreen(640, 480);
  EXPECT_EQ(vga.gridCellsX, 65);
  EXPECT_EQ(vga.gridCellsY, 49);
  EXPECT_EQ(vga.vertexCount, 3300u);
  EXPECT_EQ(vga.triangleCount, 6370u);
  EXPECT_EQ(vga.indexWidth, IndexWidth::Bits16);
  EXPECT_EQ(vga.IndexBufferBytes(), 38220u);
  EXPECT_EQ(vga.VertexBufferBytes(), 3300u * 32u);

  const SurfaceMeshLayout svga = LayoutForScreen(800, 600);
  EXPECT_EQ(svga.vertexCount, 82u * 62u);

  const SurfaceMeshLayout wide = LayoutForScreen(1366, 768);
  EXPECT_EQ(wide.gridCellsX, 137);
  EXPECT_EQ(wide.vertexCount, 138u * 78u);
}

TEST(SurfaceMeshLayout, IndexWidthFollowsTheVertexCount) {
  const SurfaceMeshLayout wqxga = LayoutForScreen(2560, 1600);
  EXPECT_EQ(wqxga.vertexCount, 41796u);
  EXPECT_EQ(wqxga.indexWidth, IndexWidth::Bits16);

  const SurfaceMeshLayout uhd = LayoutForScreen(3840, 2160);
  EXPECT_EQ(uhd.vertexCount, 84148u);
  EXPECT_EQ(uhd.indexWidth, IndexWidth::Bits32);
  EXPECT_EQ(uhd.IndexBufferBytes(), uhd.indexCount * 4u);

  // 65536 vertices are the most that 16-bit indices reach (the last one is 65535).
  EXPECT_EQ(DescribeSurfaceMesh(255, 255).vertexCount, 65536u);
  EXPECT_EQ(DescribeSurfaceMesh(255, 255).indexWidth, IndexWidth::Bits16);
  EXPECT_EQ(DescribeSurfaceMesh(256, 255).indexWidth, IndexWidth::Bits32);
}

TEST(SurfaceMeshLayout, RefusesEmptyAndAbsurdGrids) {
  EXPECT_TRUE(DescribeSurfaceMesh(0, 49).empty());
  EXPECT_TRUE(DescribeSurfaceMesh(65, -1).empty());
  EXPECT_TRUE(DescribeSurfaceMesh(kMaxGridCells + 1, 10).empty());
  EXPECT_FALSE(DescribeSurfaceMesh(kMaxGridCells, kMaxGridCells).empty());
  EXPECT_EQ(DescribeSurfaceMesh(0, 49).IndexBufferBytes(), 0u);
}

TEST(SurfaceIndices, FirstCellsFollowTheColumnMajorOrder) {
  const SurfaceMeshLayout layout = DescribeSurfaceMesh(3, 2);  // K = 2: column stride 3
  std::vector<uint16_t> indices(layout.indexCount);
  ASSERT_TRUE(BuildSurfaceIndices(layout, indices.data(), indices.size()));
  const std::vector<uint16_t> firstTwoCells = {0, 1, 4, 0, 4, 3, 1, 2, 5, 1, 5, 4};
  EXPECT_EQ(std::vector<uint16_t>(indices.begin(), indices.begin() + 12), firstTwoCells);
  // The second column of cells starts at vertex 3.
  EXPECT_EQ(std::vector<uint16_t>(indices.begin() + 12, indices.begin() + 18),
            (std::vector<uint16_t>{3, 4, 7, 3, 7, 6}));
}

TEST(SurfaceIndices, SixteenBitGridIsTiledExactly) {
  const SurfaceMeshLayout layout = LayoutForScreen(640, 480);
  std::vector<uint16_t> indices(layout.indexCount);
  ASSERT_TRUE(BuildSurfaceIndices(layout, indices.data(), indices.size()));
  EXPECT_EQ(indices.size() * sizeof(uint16_t), 38220u);
  ExpectTrianglesTileTheGrid(layout, Widen(indices));
}

TEST(SurfaceIndices, UltraHdGridUsesThirtyTwoBitIndicesInRange) {
  const SurfaceMeshLayout layout = LayoutForScreen(3840, 2160);
  std::vector<uint16_t> narrow(layout.indexCount, 7);
  EXPECT_FALSE(BuildSurfaceIndices(layout, narrow.data(), narrow.size()));
  EXPECT_TRUE(std::all_of(narrow.begin(), narrow.end(), [](uint16_t i) { return i == 7; }));

  std::vector<uint32_t> indices(layout.indexCount);
  ASSERT_TRUE(BuildSurfaceIndices(layout, indices.data(), indices.size()));
  ExpectTrianglesTileTheGrid(layout, indices);
}

TEST(SurfaceIndices, WrongBufferIsRefused) {
  const SurfaceMeshLayout layout = LayoutForScreen(640, 480);
  std::vector<uint16_t> indices(layout.indexCount + 1, 9);
  EXPECT_FALSE(BuildSurfaceIndices(layout, indices.data(), indices.size() - 2));
  EXPECT_FALSE(BuildSurfaceIndices(layout, indices.data(), indices.size()));
  EXPECT_FALSE(BuildSurfaceIndices(layout, static_cast<uint16_t*>(nullptr), layout.indexCount));
  std::vector<uint32_t> wide(layout.indexCount);
  EXPECT_FALSE(BuildSurfaceIndices(layout, wide.data(), wide.size()));
  EXPECT_FALSE(BuildSurfaceIndices(DescribeSurfaceMesh(0, 0), indices.data(), 0));
  EXPECT_TRUE(std::all_of(indices.begin(), indices.end(), [](uint16_t i) { return i == 9; }));
}

TEST(BackdropQuad, StripCoversTheViewWithThePicture) {
  SurfaceVertex quad[kBackdropVertexCount] = {};
  ASSERT_TRUE(BuildBackdropQuad(quad, kBackdropVertexCount));
  const float expected[4][4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {-1, 1, 0, 1}, {1, 1, 1, 1}};  // x y u v
  for (size_t n = 0; n < kBackdropVertexCount; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(quad[n].x, expected[n][0]);
    EXPECT_EQ(quad[n].y, expected[n][1]);
    EXPECT_EQ(quad[n].z, 0.0f);
    EXPECT_EQ(quad[n].nx, 0.0f);
    EXPECT_EQ(quad[n].ny, 0.0f);
    EXPECT_EQ(quad[n].nz, -1.0f);
    EXPECT_EQ(quad[n].u, expected[n][2]);
    EXPECT_EQ(quad[n].v, expected[n][3]);
  }
  EXPECT_EQ(sizeof quad, 128u);
  EXPECT_FALSE(BuildBackdropQuad(quad, 3));
  EXPECT_FALSE(BuildBackdropQuad(nullptr, kBackdropVertexCount));
}

}  // namespace
}  // namespace lumar
