#include "wavefield/orange_bar.h"

#include <algorithm>
#include <cmath>

#include "wavefield/field_evaluation.h"
#include "wavefield/wave_factors.h"

namespace lumar {
namespace {

// Travel along one screen axis: the bar covers `fraction` of the screen and moves `unitsPerSecond` / 10000
// normalised units a second, from -1 until its far edge touches +1, then back, and so on.
struct Glide {
  int64_t crossings;  // completed crossings
  int32_t direction;  // +1 towards the far edge, -1 back
  float position;     // the bar's near edge, -1 ... 1 - 2 * fraction
};

Glide GlideAt(float fraction, int unitsPerSecond, float frameTime) {
  // A screen no wider than the bar leaves no room to travel; one step keeps the arithmetic defined.
  const int64_t span = std::max<int64_t>(1, static_cast<int64_t>((1.0f - fraction) * 20000.0f));
  const int64_t steps =
      std::max<int64_t>(0, static_cast<int64_t>(unitsPerSecond * static_cast<double>(frameTime)));
  Glide g;
  g.crossings = steps / span;
  const int64_t offset = steps % span;
  g.direction = g.crossings % 2 == 0 ? 1 : -1;
  g.position = static_cast<float>(g.direction * (0.0001 * offset + fraction - 1.0) - fraction);
  return g;
}

// Whether the geometric relief is weak: 0.07 x geometryMax above reliefGeometry, in single precision, so
// exactly 7 % is not weak. (The top camera's depth range has its own comparison.)
bool WeakGeometricRelief(const ParameterSet& record) {
  return 0.07f * static_cast<float>(record.geometryMax) > static_cast<float>(record.reliefGeometry);
}

}  // namespace

void RecolourBarTexels(uint8_t* texels, uint32_t width, uint32_t height, size_t pitch) {
  for (uint32_t i = 0; i < height; ++i) {
    uint8_t* texel = texels + static_cast<size_t>(i) * pitch;
    for (uint32_t j = 0; j < width; ++j, texel += 4) {
      const uint8_t e = texel[0];
      const double ramp = 0.5 * (1.0 - std::cos(kPi * (i + j) / kBarTextureSize));
      texel[0] = 0;                               // blue
      texel[1] = static_cast<uint8_t>(e * ramp);  // green
      texel[2] = e;                               // red
      texel[3] = 0;                               // alpha
    }
  }
}

OrangeBar::OrangeBar(BarSize size, const ParameterSet& record, const RunConstants& constants)
    : screenWidth_(std::max(1, constants.screenWidth)),
      screenHeight_(std::max(1, constants.screenHeight)),
      barHeight_(size.height),
      barWidth_(size.width),
      widthFraction_(static_cast<float>(barWidth_) / screenWidth_),
      heightFraction_(static_cast<float>(barHeight_) / screenHeight_),
      columns_(barWidth_ / kNodeSpacing + 1),
      rows_(barHeight_ / kNodeSpacing + 1) {
  columnStep_ = 1.0f / columns_;
  rowStep_ = 1.0f / rows_;
  layout_ = DescribeSurfaceMesh(columns_, rows_);
  if (!WeakGeometricRelief(record)) {
    rippleScale_ = 0.2f;
    if (record.zSides == 0) {
      depthBase_ = record.reliefGeometry * 0.025f + 0.5f;
      depthStep_ = (depthBase_ + 0.8f) / kHighestLift;
    } else if (record.fall == 0) {
      depthBase_ = 0.3f;
      depthStep_ = 0.8f / kHighestLift;
    } else {
      // In floating point: a stored record may hold values whose integer product overflows.
      depthBase_ = static_cast<float>(record.drops) * static_cast<float>(record.reliefGeometry) * 0.005f;
      depthStep_ = (depthBase_ + 1.0f) / kHighestLift;
    }
  }
}

void OrangeBar::AnimateBar(float frameTime) {
  const Glide across = GlideAt(widthFraction_, 600, frameTime);
  directionX_ = across.direction;
  left_ = across.position;

  // One step of the rise and fall per crossing: up to 18 tilted one way, down again tilted the other.
  const int m = static_cast<int>(across.crossings % kCrossingCycle);
  if (m == 0) {
    lift_ = 0;
    tiltSign_ = 0;
  } else if (m == kCrossingCycle / 2) {
    lift_ = kHighestLift;
    tiltSign_ = 0;
  } else if (m < kCrossingCycle / 2) {
    lift_ = 2.0f * (m - 1);
    tiltSign_ = 1;
  } else {
    lift_ = 2.0f * (kCrossingCycle - m);
    tiltSign_ = -1;
  }

  const Glide up = GlideAt(heightFraction_, 450, frameTime);
  directionY_ = up.direction;
  bottom_ = up.position;
}

bool OrangeBar::BuildBarIndices(uint16_t* indices, size_t count) const {
  return BuildSurfaceIndices(layout_, indices, count);
}

float OrangeBar::ColumnDepth(int column) const {
  // The column's distance in pixels from the screen's left edge.
  const int32_t p = kNodeSpacing * column + static_cast<int32_t>((left_ + 1.0f) * screenWidth_ / 2);
  const int32_t w = screenWidth_;
  const int32_t middle = w - 2 * barWidth_;  // the stretch between the two edge zones
  float shape;
  // A screen exactly two bars wide has no middle stretch: its one point takes the left edge's value.
  if (p < barWidth_ || (middle == 0 && p == barWidth_)) {
    shape = static_cast<float>(1 - directionX_);
  } else if (p > w - barWidth_) {
    shape = static_cast<float>(1 + directionX_);
  } else {
    shape = static_cast<float>(1.0 - directionX_ * std::cos(kPi * (p - barWidth_) / middle));
  }
  return depthBase_ + depthStep_ * (-lift_ - tiltSign_ * shape);
}

bool OrangeBar::FillBarVertices(const WaveField& field, SurfaceVertex* vertices, size_t count) const {
  if (vertices == nullptr || layout_.empty() || count != layout_.vertexCount) return false;
  const RunConstants& c = field.constants;
  SurfaceVertex* out = vertices;
  for (int i = 0; i <= columns_; ++i) {
    const float x = left_ + 2.0f * kNodeSpacing * (i + 1) / screenWidth_;
    const float depth = ColumnDepth(i);
    const float u0 = i * columnStep_;
    for (int j = 0; j <= rows_; ++j) {
      // The field at the bar's own node numbers; a grid smaller than the bar repeats its last node.
      const NodeField node = EvaluateNode(field, std::min(i, c.gridCellsX), std::min(j, c.gridCellsY));
      const float rx = static_cast<float>(node.refraction[0]);
      const float ry = static_cast<float>(node.refraction[1]);
      SurfaceVertex& v = *out++;
      v.x = x;
      v.y = bottom_ + 2.0f * kNodeSpacing * j / screenHeight_;
      v.z = node.height * rippleScale_ + depth;
      v.nx = static_cast<float>(node.normal[0]);
      v.ny = static_cast<float>(node.normal[1]);
      v.nz = static_cast<float>(node.normal[2]);
      // The shift squeezes the picture towards one side without leaving 0 ... 1.
      v.u = u0 * (1.0f - kShiftScale * std::fabs(rx)) + (rx >= 0 ? kShiftScale * rx : 0.0f);
      v.v =
          1.0f - (j * rowStep_) * (1.0f - kShiftScale * std::fabs(ry)) - (ry >= 0 ? kShiftScale * ry : 0.0f);
    }
  }
  return true;
}

}  // namespace lumar
