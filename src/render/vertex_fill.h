// The per-frame fill of the surface vertices from the wave field: the node's height becomes the vertex's
// depth, its slope normal the lighting normal, and its refraction vector shifts the picture's texture
// coordinates. In the Aquarium the shift grows towards the front of the tank and the picture is lowered
// with the water level.
#pragma once

#include <cstddef>

#include "render/surface_vertex.h"
#include "wavefield/wave_field.h"

namespace lumar {

// The number of vertices of the field's grid: (gridCellsX + 1) * (gridCellsY + 1).
size_t SurfaceVertexCount(const RunConstants& constants);

// Writes every vertex of the grid into `vertices` (the locked vertex buffer, column by column). Returns
// false and writes nothing when `count` is not SurfaceVertexCount. Sums the field with the frame engine.
bool FillSurfaceVertices(const WaveField& field, SurfaceVertex* vertices, size_t count);

// The same vertices, bit for bit, from EvaluateNode node by node: the reference the engine is tested and
// measured against.
bool FillSurfaceVerticesReference(const WaveField& field, SurfaceVertex* vertices, size_t count);

}  // namespace lumar
