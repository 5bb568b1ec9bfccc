#include "platform/matrix.h"

#include <cmath>

namespace lumar {
namespace {

Vector3 Subtract(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vector3 Normalize(const Vector3& v) {
  const float length = std::sqrt(Dot(v, v));
  if (length == 0.0f) return v;
  return {v.x / length, v.y / length, v.z / length};
}

}  // namespace

Matrix4 IdentityMatrix() { return ScalingMatrix(1.0f, 1.0f, 1.0f); }

Matrix4 LookAtMatrix(const Vector3& eye, const Vector3& at, const Vector3& up) {
  const Vector3 zAxis = Normalize(Subtract(at, eye));
  const Vector3 xAxis = Normalize(Cross(up, zAxis));
  const Vector3 yAxis = Cross(zAxis, xAxis);
  // The axes are the columns: a point's view coordinates are its projections on them, relative to the eye.
  return {{{xAxis.x, yAxis.x, zAxis.x, 0.0f},
           {xAxis.y, yAxis.y, zAxis.y, 0.0f},
           {xAxis.z, yAxis.z, zAxis.z, 0.0f},
           {-Dot(xAxis, eye), -Dot(yAxis, eye), -Dot(zAxis, eye), 1.0f}}};
}

Matrix4 OrthographicMatrix(float width, float height, float zNear, float zFar) {
  return {{{2.0f / width, 0.0f, 0.0f, 0.0f},
           {0.0f, 2.0f / height, 0.0f, 0.0f},
           {0.0f, 0.0f, 1.0f / (zFar - zNear), 0.0f},
           {0.0f, 0.0f, zNear / (zNear - zFar), 1.0f}}};
}

Matrix4 RotationXMatrix(float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  return {{{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, c, s, 0.0f}, {0.0f, -s, c, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}}};
}

Matrix4 ScalingMatrix(float sx, float sy, float sz) {
  return {{{sx, 0.0f, 0.0f, 0.0f}, {0.0f, sy, 0.0f, 0.0f}, {0.0f, 0.0f, sz, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f}}};
}

Matrix4 TranslationMatrix(float x, float y, float z) {
  Matrix4 t = IdentityMatrix();
  t.m[3][0] = x;
  t.m[3][1] = y;
  t.m[3][2] = z;
  return t;
}

Matrix4 MultiplyMatrices(const Matrix4& a, const Matrix4& b) {
  Matrix4 product{};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[r][k] * b.m[k][c];
      product.m[r][c] = sum;
    }
  }
  return product;
}

Matrix4 TopCameraProjection(float zNear, float zFar) {
  const double kHalfFieldOfView = 3.14159265358979323846 / 8.0;
  const float scale = static_cast<float>(1.0 / std::tan(kHalfFieldOfView));
  const float q = zFar / (zFar - zNear);
  Matrix4 p{};
  p.m[0][0] = scale;
  p.m[1][1] = scale;
  p.m[2][2] = q;
  p.m[2][3] = 1.0f;
  p.m[3][2] = -q * zNear;
  return p;
}

Vector4 TransformPoint(const Vector3& p, const Matrix4& m) {
  const float in[4] = {p.x, p.y, p.z, 1.0f};
  float out[4];
  for (int c = 0; c < 4; ++c) {
    out[c] = in[0] * m.m[0][c] + in[1] * m.m[1][c] + in[2] * m.m[2][c] + in[3] * m.m[3][c];
  }
  return {out[0], out[1], out[2], out[3]};
}

Vector3 ProjectPoint(const Vector3& p, const Matrix4& m) {
  const Vector4 h = TransformPoint(p, m);
  return {h.x / h.w, h.y / h.w, h.z / h.w};
}

}  // namespace lumar
