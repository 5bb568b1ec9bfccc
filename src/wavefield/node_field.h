// What the field gives at one grid node, and the sums it comes from.
#pragma once

namespace lumar {

struct NodeField {
  float height = 0.0f;                      // displacement along the mesh's z axis
  double normal[3] = {0.0, 0.0, -1.0};      // lighting normal, not normalised; z is always -1
  double refraction[3] = {0.0, 0.0, -1.0};  // unit vector with negative z; x, y shift the picture
};

// The unscaled sums behind EvaluateNode: H, and the slope sums Gx, Gy over the signed node offsets.
struct FieldSums {
  double height = 0.0;
  double slopeX = 0.0;
  double slopeY = 0.0;
};

}  // namespace lumar
