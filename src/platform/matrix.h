// 4 x 4 single-precision matrices for the fixed-function transforms: left-handed coordinates, row vectors
// (a point is multiplied on the left, p' = p x M), products applied left to right. The memory layout is that
// of D3DMATRIX (sixteen floats, row by row), so a Matrix4 can be handed to the device as it is.
#pragma once

#include <type_traits>

namespace lumar {

struct Vector3 {
  float x;
  float y;
  float z;
};

struct Vector4 {
  float x;
  float y;
  float z;
  float w;
};

struct Matrix4 {
  float m[4][4];  // m[row][column]; element _rc of the Direct3D notation is m[r - 1][c - 1]
};
static_assert(sizeof(Matrix4) == 64, "Matrix4 must match D3DMATRIX");
static_assert(std::is_standard_layout<Matrix4>::value && std::is_trivially_copyable<Matrix4>::value,
              "Matrix4 is passed to Direct3D as raw memory");

Matrix4 IdentityMatrix();

// The view matrix of an eye at `eye` looking at `at`; `up` picks the roll. The eye lands at the origin, the
// line of sight on +z and `up` in the y-z half-plane with y > 0.
Matrix4 LookAtMatrix(const Vector3& eye, const Vector3& at, const Vector3& up);

// Orthographic projection of the box [-w/2, w/2] x [-h/2, h/2] x [zNear, zFar] to x, y in [-1, 1] and
// depth in [0, 1].
Matrix4 OrthographicMatrix(float width, float height, float zNear, float zFar);

// Rotation about the x axis by `angle` radians, clockwise when looking from +x towards the origin
// (the left-handed sense): (0, 1, 0) turns towards (0, 0, 1).
Matrix4 RotationXMatrix(float angle);

Matrix4 ScalingMatrix(float sx, float sy, float sz);
Matrix4 TranslationMatrix(float x, float y, float z);

// a x b: transforming by the product equals transforming by a, then by b.
Matrix4 MultiplyMatrices(const Matrix4& a, const Matrix4& b);

// The top camera's perspective: 45 degrees of view in both directions (no aspect correction), depth 0 at
// zNear and 1 at zFar, w = view-space z.
Matrix4 TopCameraProjection(float zNear, float zFar);

// (x, y, z, 1) x m, without the division by w.
Vector4 TransformPoint(const Vector3& p, const Matrix4& m);
// (x, y, z, 1) x m, divided by w (w must not be 0).
Vector3 ProjectPoint(const Vector3& p, const Matrix4& m);

}  // namespace lumar
