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

// The frame's arithmetic: sums the field at every node with the frame engine (before the vertex buffer is
// locked).
void SumSurfaceField(const WaveField& field);

// Writes every vertex of the grid into `vertices` (the locked vertex buffer, column by column) from the
// last SumSurfaceField, reading nothing back from `vertices`. Returns false and writes nothing when `count`
// is not SurfaceVertexCount.
bool WriteSurfaceVertices(const WaveField& field, SurfaceVertex* vertices, size_t count);

// SumSurfaceField, then WriteSurfaceVertices.
bool FillSurfaceVertices(const WaveField& field, SurfaceVertex* vertices, size_t count);

// The same vertices, bit for bit, from EvaluateNode node by node: the reference the engine is tested and
// measured against.
bool FillSurfaceVerticesReference(const WaveField& field, SurfaceVertex* vertices, size_t count);

}  // namespace lumar
