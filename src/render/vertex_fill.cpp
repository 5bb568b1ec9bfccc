#include "render/vertex_fill.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "wavefield/field_evaluation.h"

namespace lumar {

size_t SurfaceVertexCount(const RunConstants& constants) {
  if (constants.gridCellsX < 1 || constants.gridCellsY < 1) return 0;
  return static_cast<size_t>(constants.gridCellsX + 1) * static_cast<size_t>(constants.gridCellsY + 1);
}

namespace {

// Texture coordinates start a hair inside the picture's left edge.
constexpr double kTextureOriginU = 0.0002;

// How strongly the refraction shifts the picture in row j: evenly in the Basis effect; in the Aquarium
// twice at the front row, falling to nothing at the back row where the backdrop stands.
float RefractionWeight(const RunConstants& c, int j) {
  if (!c.aquarium) return 1.0f;
  return static_cast<float>(std::abs(j - c.gridCellsY)) / (0.5f * c.gridCellsY);
}

// The grid is filled a tile of nodes at a time: the tile's outputs (32 KB, in the first-level cache) are
// resolved along its rows, where the sums lie together, and its vertices written along its columns, the
// vertex buffer's order, in runs of 16 (512 bytes). So the outputs are never stored for the whole grid
// (32 bytes a node) and read back across its rows: on large grids that round trip went to memory.
constexpr int kTileColumns = 64;
constexpr int kTileRows = 16;
using Tile = std::array<NodeOutputs, kTileColumns * kTileRows>;

// The vertices of the grid's rows [firstRow, endRow) from each node's outputs. tileAt(a, columns, b, rows,
// tile) gives the outputs of nodes (a .. a + columns - 1, b .. b + rows - 1), node (a + i, b + j) at
// tile[j * kTileColumns + i].
template <class TileAt>
void FillRows(const WaveField& field, SurfaceVertex* vertices, int firstRow, int endRow, TileAt tileAt) {
  const RunConstants& c = field.constants;
  // The Aquarium lowers the picture with the water: by a whole screen height when the tank is empty.
  const float levelShift = (1.0f - (field.waterLevel + 1.0f) * 0.5f) * c.screenToTextureV;
  Tile tile;
  // Per tile row: what depends on the row alone.
  std::array<float, kTileRows> y{};
  std::array<float, kTileRows> weight{};
  std::array<float, kTileRows> v0{};
  for (int b = firstRow; b < endRow; b += kTileRows) {
    const int rows = std::min(kTileRows, endRow - b);
    for (int r = 0; r < rows; ++r) {
      const int j = b + r;
      y[r] = j * c.gridStepY - 1.0f;
      weight[r] = RefractionWeight(c, j);
      v0[r] = j * c.texStepV + c.texOriginV;
    }
    for (int a = 0; a <= c.gridCellsX; a += kTileColumns) {
      const int columns = std::min(kTileColumns, c.gridCellsX + 1 - a);
      tileAt(a, columns, b, rows, tile.data());
      for (int k = 0; k < columns; ++k) {
        const int i = a + k;
        SurfaceVertex* out = vertices + static_cast<size_t>(i) * static_cast<size_t>(c.gridCellsY + 1) +
                             static_cast<size_t>(b);
        const float x = i * c.gridStepX - 1.0f;
        const double u0 = i * c.texStepU + kTextureOriginU;
        for (int r = 0; r < rows; ++r) {
          const NodeOutputs& node = tile[static_cast<size_t>(r * kTileColumns + k)];
          // Built here and stored whole: `vertices` may be write-combined memory, never read back.
          SurfaceVertex vertex;
          vertex.x = x;
          vertex.y = y[r];
          vertex.z = node.height;
          vertex.nx = node.normalX;
          vertex.ny = node.normalY;
          vertex.nz = -1.0f;  // the normal's z is always -1
          vertex.u = static_cast<float>(u0 + weight[r] * node.refractionX);
          vertex.v = static_cast<float>(v0[r] + weight[r] * node.refractionY);
          if (c.aquarium) {
            vertex.v -= levelShift;
            vertex.v -= vertex.z * c.screenToTextureV * 0.5f;
          }
          *out++ = vertex;
        }
      }
    }
  }
}

bool ValidVertexBuffer(const WaveField& field, const SurfaceVertex* vertices, size_t count) {
  return vertices != nullptr && count != 0 && count == SurfaceVertexCount(field.constants);
}

}  // namespace

void SumSurfaceField(const WaveField& field) {
  if (SurfaceVertexCount(field.constants) > 0) field.engine.SumField(field);
}

bool WriteSurfaceVertices(const WaveField& field, SurfaceVertex* vertices, size_t count) {
  const FrameEngine& engine = field.engine;
  if (!engine.Holds(field.constants) || !ValidVertexBuffer(field, vertices, count)) return false;
  // The grid's rows in the bands the engine's threads summed, each thread resolving the outputs from the sums
  // it wrote.
  engine.ForEachPart(field.constants.gridCellsY + 1, [&](int first, int end) {
    FillRows(field, vertices, first, end, [&](int a, int columns, int b, int rows, NodeOutputs* tile) {
      for (int r = 0; r < rows; ++r) engine.OutputsAt(a, columns, b + r, tile + r * kTileColumns);
    });
  });
  return true;
}

bool FillSurfaceVertices(const WaveField& field, SurfaceVertex* vertices, size_t count) {
  if (!ValidVertexBuffer(field, vertices, count)) return false;
  SumSurfaceField(field);
  return WriteSurfaceVertices(field, vertices, count);
}

bool FillSurfaceVerticesReference(const WaveField& field, SurfaceVertex* vertices, size_t count) {
  if (!ValidVertexBuffer(field, vertices, count)) return false;
  FillRows(field, vertices, 0, field.constants.gridCellsY + 1,
           [&](int a, int columns, int b, int rows, NodeOutputs* tile) {
             for (int r = 0; r < rows; ++r)
               for (int k = 0; k < columns; ++k)
                 tile[r * kTileColumns + k] = NodeOutputsOf(EvaluateNode(field, a + k, b + r));
           });
  return true;
}

}  // namespace lumar
