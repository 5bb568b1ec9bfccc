#include "render/vertex_fill.h"

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

// The vertices of the grid's rows [firstRow, endRow) from each node's field, column by column: in each
// column, a run of the buffer.
template <class NodeAt>
void FillRows(const WaveField& field, SurfaceVertex* vertices, int firstRow, int endRow, NodeAt nodeAt) {
  const RunConstants& c = field.constants;
  // The Aquarium lowers the picture with the water: by a whole screen height when the tank is empty.
  const float levelShift = (1.0f - (field.waterLevel + 1.0f) * 0.5f) * c.screenToTextureV;
  for (int i = 0; i <= c.gridCellsX; ++i) {
    SurfaceVertex* out = vertices + static_cast<size_t>(i) * static_cast<size_t>(c.gridCellsY + 1) +
                         static_cast<size_t>(firstRow);
    const float x = i * c.gridStepX - 1.0f;
    const double u0 = i * c.texStepU + kTextureOriginU;
    for (int j = firstRow; j < endRow; ++j) {
      const NodeField node = nodeAt(i, j);
      const float weight = RefractionWeight(c, j);
      // Built here and stored whole: `vertices` may be write-combined memory, never read back.
      SurfaceVertex vertex;
      vertex.x = x;
      vertex.y = j * c.gridStepY - 1.0f;
      vertex.z = node.height;
      vertex.nx = static_cast<float>(node.normal[0]);
      vertex.ny = static_cast<float>(node.normal[1]);
      vertex.nz = static_cast<float>(node.normal[2]);
      vertex.u = static_cast<float>(u0 + weight * node.refraction[0]);
      vertex.v = static_cast<float>(j * c.texStepV + c.texOriginV + weight * node.refraction[1]);
      if (c.aquarium) {
        vertex.v -= levelShift;
        vertex.v -= vertex.z * c.screenToTextureV * 0.5f;
      }
      *out++ = vertex;
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
  // The grid's rows in the bands the engine's threads summed, each thread reading the outputs it wrote.
  engine.ForEachPart(field.constants.gridCellsY + 1, [&](int first, int end) {
    FillRows(field, vertices, first, end, [&](int i, int j) { return engine.NodeAt(i, j); });
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
           [&](int i, int j) { return EvaluateNode(field, i, j); });
  return true;
}

}  // namespace lumar
