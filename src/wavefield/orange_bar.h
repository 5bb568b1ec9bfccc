// The orange bar of the Basis effect: a small plate that glides across the screen, bouncing off its
// edges, rises out of the liquid and sinks back over twenty crossings, tilts as it goes and undulates with
// the wave field. This is its geometry and motion; the Direct3D objects that draw it live in the shell.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/surface_mesh.h"
#include "render/surface_vertex.h"
#include "settings/parameter_set.h"
#include "wavefield/wave_field.h"

namespace lumar {

// The bar's size in pixels: 256 x 192 on modes wider than 800 pixels, 128 x 96 otherwise.
struct BarSize {
  int32_t width;
  int32_t height;
};
constexpr BarSize kLargeBar{256, 192};
constexpr BarSize kSmallBar{128, 96};

// Modes wider than 800 pixels are large: they get the large bar and the large overlay font.
constexpr bool IsLargeMode(uint32_t screenWidth) { return screenWidth > 800; }
constexpr BarSize BarSizeFor(uint32_t screenWidth) {
  return IsLargeMode(screenWidth) ? kLargeBar : kSmallBar;
}

// The edge of the bar's square texture, in texels.
constexpr int32_t kBarTextureSize = 256;

// Turns the bar's grey picture, as 32-bit texels (B, G, R, A bytes) `pitch` bytes apart, into its orange
// gradient: red keeps the grey value e, green becomes e * (1 - cos(pi * (row + column) / 256)) / 2, blue
// and alpha 0. Red in the top-left corner, yellow on the anti-diagonal, red again towards the far corner.
void RecolourBarTexels(uint8_t* texels, uint32_t width, uint32_t height, size_t pitch);

class OrangeBar {
 public:
  // Sizes from `size` and the run's display mode; depth and ripple scales from the relief settings.
  OrangeBar(BarSize size, const ParameterSet& record, const RunConstants& constants);

  // Position, direction, lift and tilt at `frameTime` seconds after the run started.
  void AnimateBar(float frameTime);

  // The bar's mesh: columns x rows cells, vertices stored column by column, two triangles per cell.
  SurfaceMeshLayout MeshLayout() const { return layout_; }
  // Writes the triangle list of the mesh; false and nothing written when `count` is not its index count.
  bool BuildBarIndices(uint16_t* indices, size_t count) const;

  // Writes every mesh vertex at the current position: depth from the bar's depth profile plus the scaled
  // field height at the bar's own node numbers, the field's normal, and texture coordinates squeezed by
  // the refraction. False and nothing written when `count` is not the layout's vertex count.
  bool FillBarVertices(const WaveField& field, SurfaceVertex* vertices, size_t count) const;

  // The depth offset of mesh column `column` at the current position and lift: the bar rests at
  // depthBase, rises by depthStep per unit of lift and leans with the tilt, more at the edge it travels
  // away from.
  float ColumnDepth(int column) const;

  int32_t barWidth() const { return barWidth_; }
  int32_t barHeight() const { return barHeight_; }
  int32_t columns() const { return columns_; }
  int32_t rows() const { return rows_; }
  float rippleScale() const { return rippleScale_; }
  float depthBase() const { return depthBase_; }
  float depthStep() const { return depthStep_; }
  float widthFraction() const { return widthFraction_; }
  float heightFraction() const { return heightFraction_; }
  float left() const { return left_; }
  float bottom() const { return bottom_; }
  int32_t directionX() const { return directionX_; }
  int32_t directionY() const { return directionY_; }
  int32_t tiltSign() const { return tiltSign_; }
  float lift() const { return lift_; }

  static constexpr int32_t kNodeSpacing = 20;    // pixels between mesh nodes
  static constexpr float kShiftScale = 0.2f;     // texture shift per unit of refraction
  static constexpr float kHighestLift = 18.0f;   // lift at the top of the twenty-crossing cycle
  static constexpr int32_t kCrossingCycle = 20;  // crossings per rise and fall

 private:
  int32_t screenWidth_;
  int32_t screenHeight_;
  int32_t barHeight_;
  int32_t barWidth_;
  float rippleScale_ = 0.5f;
  float widthFraction_;
  float heightFraction_;
  int32_t directionX_ = 1;
  int32_t directionY_ = 1;
  int32_t tiltSign_ = 1;
  float columnStep_;
  float rowStep_;
  float left_ = -1.0f;
  float bottom_ = -1.0f;
  int32_t columns_;
  int32_t rows_;
  float depthBase_ = 0.5f;
  float depthStep_ = 1.0f / 18.0f;
  float lift_ = 0.0f;
  SurfaceMeshLayout layout_;
};

}  // namespace lumar
