#include "platform/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace lumar {
namespace {

constexpr float kTolerance = 1e-5f;
const double kPi = std::acos(-1.0);

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = kTolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

float Distance(const Vector3& a, const Vector3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

const Vector3 kSamplePoints[] = {{0, 0, 0}, {1, 2, 3}, {-4, 0.5f, 2}, {7, -3, -1}, {0.25f, -0.75f, 9}};

TEST(MatrixLayout, RowsFollowEachOtherLikeD3dMatrix) {
  const Matrix4 t = TranslationMatrix(5, 6, 7);
  const float* flat = &t.m[0][0];
  // _41, _42, _43 are the 13th to 15th floats; _44 the 16th.
  EXPECT_EQ(flat[12], 5.0f);
  EXPECT_EQ(flat[13], 6.0f);
  EXPECT_EQ(flat[14], 7.0f);
  EXPECT_EQ(flat[15], 1.0f);
}

TEST(AffineMatrices, IdentityScalingAndTranslationMovePointsAsNamed) {
  for (const Vector3& p : kSamplePoints) {
    ExpectNear(ProjectPoint(p, IdentityMatrix()), p);
    ExpectNear(ProjectPoint(p, TranslationMatrix(1, -2, 0.5f)), {p.x + 1, p.y - 2, p.z + 0.5f});
    ExpectNear(ProjectPoint(p, ScalingMatrix(2, -1, 0.5f)), {2 * p.x, -p.y, 0.5f * p.z});
    EXPECT_EQ(TransformPoint(p, TranslationMatrix(3, 3, 3)).w, 1.0f);
  }
}

TEST(RotationX, QuarterTurnTakesYToZAndZToMinusY) {
  const Matrix4 r = RotationXMatrix(static_cast<float>(kPi / 2));
  for (const Vector3& p : kSamplePoints) ExpectNear(ProjectPoint(p, r), {p.x, -p.z, p.y});
}

TEST(RotationX, KeepsLengthsAndTheAxisForAnyAngle) {
  for (double angle : {0.3, 1.0, 2.5, -1.2, 4.0}) {
    const Matrix4 r = RotationXMatrix(static_cast<float>(angle));
    for (const Vector3& p : kSamplePoints) {
      const Vector3 q = ProjectPoint(p, r);
      EXPECT_NEAR(Distance(q, {0, 0, 0}), Distance(p, {0, 0, 0}), 1e-4f);
      EXPECT_NEAR(q.x, p.x, kTolerance);
    }
    // Left-handed sense: a small turn moves +y towards +z.
    const Vector3 y = ProjectPoint({0, 1, 0}, r);
    EXPECT_NEAR(y.y, std::cos(angle), kTolerance);
    EXPECT_NEAR(y.z, std::sin(angle), kTolerance);
  }
}

TEST(Multiply, ProductTransformsAsFirstThenSecond) {
  const Matrix4 a = MultiplyMatrices(RotationXMatrix(0.7f), ScalingMatrix(2, 3, 4));
  const Matrix4 b = MultiplyMatrices(TranslationMatrix(1, 2, 3), RotationXMatrix(-1.9f));
  const Matrix4 ab = MultiplyMatrices(a, b);
  for (const Vector3& p : kSamplePoints)
    ExpectNear(ProjectPoint(p, ab), ProjectPoint(ProjectPoint(p, a), b), 1e-4f);
  // The order matters: translating then scaling is not scaling then translating.
  ExpectNear(ProjectPoint({1, 1, 1}, MultiplyMatrices(TranslationMatrix(1, 0, 0), ScalingMatrix(3, 1, 1))),
             {6, 1, 1});
  ExpectNear(ProjectPoint({1, 1, 1}, MultiplyMatrices(ScalingMatrix(3, 1, 1), TranslationMatrix(1, 0, 0))),
             {4, 1, 1});
}

TEST(LookAt, EyeGoesToTheOriginAndTheTargetStraightAhead) {
  const Vector3 eye{3, 4, -5}, at{-1, 2, 6};
  const Matrix4 view = LookAtMatrix(eye, at, {0, 1, 0});
  ExpectNear(ProjectPoint(eye, view), {0, 0, 0}, 1e-5f);
  ExpectNear(ProjectPoint(at, view), {0, 0, Distance(eye, at)}, 1e-4f);
  // A rigid motion: distances are kept.
  EXPECT_NEAR(Distance(ProjectPoint({1, 2, 3}, view), ProjectPoint({-4, 0.5f, 2}, view)),
              Distance({1, 2, 3}, {-4, 0.5f, 2}), 1e-4f);
}

TEST(LookAt, LeftHandedAxesFromTheFront) {
  // From z = -10 looking towards +z with y up, +x is to the right and +y up, as on screen.
  const Matrix4 view = LookAtMatrix({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
  ExpectNear(ProjectPoint({1, 0, 0}, view), {1, 0, 10});
  ExpectNear(ProjectPoint({0, 1, 0}, view), {0, 1, 10});
  // An up vector that is not perpendicular to the line of sight only picks the roll.
  const Matrix4 tilted = LookAtMatrix({0, 0, -10}, {0, 0, 0}, {0, 5, 3});
  ExpectNear(ProjectPoint({0, 1, 0}, tilted), {0, 1, 10});
}

TEST(Orthographic, BoxCornersGoToTheClipCube) {
  const Matrix4 p = OrthographicMatrix(8, 6, 2, 12);
  ExpectNear(ProjectPoint({4, 3, 2}, p), {1, 1, 0});
  ExpectNear(ProjectPoint({-4, -3, 12}, p), {-1, -1, 1});
  ExpectNear(ProjectPoint({0, 0, 7}, p), {0, 0, 0.5f});
  EXPECT_EQ(TransformPoint({1, 1, 5}, p).w, 1.0f);
}

TEST(TopCameraProjection, GridCornersFillTheScreenForBothDepthRanges) {
  const Matrix4 view =
      LookAtMatrix({0, 0, static_cast<float>(-1.0 / std::tan(kPi / 8))}, {0, 0, 0}, {0, 1, 0});
  for (const auto& range : {std::pair<float, float>{0.1f, 100.0f}, {1.0f, 10.0f}}) {
    const Matrix4 camera = MultiplyMatrices(view, TopCameraProjection(range.first, range.second));
    for (float x : {-1.0f, 1.0f}) {
      for (float y : {-1.0f, 1.0f}) {
        const Vector3 ndc = ProjectPoint({x, y, 0}, camera);
        EXPECT_NEAR(ndc.x, x, kTolerance);
        EXPECT_NEAR(ndc.y, y, kTolerance);
        EXPECT_GT(ndc.z, 0.0f);
        EXPECT_LT(ndc.z, 1.0f);
      }
    }
    // Depth 0 at the near plane and 1 at the far plane, perspective divide by the view distance.
    EXPECT_NEAR(ProjectPoint({0, 0, range.first}, TopCameraProjection(range.first, range.second)).z, 0.0f,
                1e-5f);
    EXPECT_NEAR(ProjectPoint({0, 0, range.second}, TopCameraProjection(range.first, range.second)).z, 1.0f,
                1e-5f);
    EXPECT_NEAR(TransformPoint({0, 0, 3}, TopCameraProjection(range.first, range.second)).w, 3.0f,
                kTolerance);
  }
}

// The oblique camera: the grid turned into a horizontal sheet, lifted to the water level, seen from
// above at 45 degrees through an orthographic box of height sqrt(2).
Matrix4 ObliqueCamera(float level) {
  Matrix4 world = MultiplyMatrices(IdentityMatrix(), RotationXMatrix(static_cast<float>(kPi / 2)));
  world = MultiplyMatrices(world, TranslationMatrix(0, 0, -1));
  world = MultiplyMatrices(world, TranslationMatrix(0, level, 0));
  const Matrix4 view = LookAtMatrix({0, 100, -100}, {0, 0, 0}, {0, 1, 0});
  const Matrix4 projection = OrthographicMatrix(2, static_cast<float>(2 / std::sqrt(2.0)), 70, 160);
  return MultiplyMatrices(MultiplyMatrices(world, view), projection);
}

TEST(ObliqueCamera, SheetFillsTheViewAtFullLevel) {
  const Matrix4 camera = ObliqueCamera(1);
  for (float x : {-1.0f, 1.0f}) {
    for (float y : {-1.0f, 1.0f}) {
      const Vector3 ndc = ProjectPoint({x, y, 0}, camera);
      EXPECT_NEAR(ndc.x, x, 1e-4f);
      EXPECT_NEAR(ndc.y, y, 1e-4f);
      EXPECT_GT(ndc.z, 0.0f);
      EXPECT_LT(ndc.z, 1.0f);
    }
  }
}

TEST(ObliqueCamera, HalfEmptyTankShowsTheBackEdgeAtMidScreenAndEmptyOneBelow) {
  EXPECT_NEAR(ProjectPoint({0.5f, 1, 0}, ObliqueCamera(0)).y, 0.0f, 1e-4f);    // back row
  EXPECT_NEAR(ProjectPoint({0.5f, -1, 0}, ObliqueCamera(0)).y, -2.0f, 1e-4f);  // front row, off screen
  EXPECT_NEAR(ProjectPoint({-1, 1, 0}, ObliqueCamera(-1)).y, -1.0f, 1e-4f);    // back row at the bottom edge
  EXPECT_LT(ProjectPoint({-1, 0.5f, 0}, ObliqueCamera(-1)).y, -1.0f);
}

TEST(ObliqueCamera, BackdropPlaneSquareFillsTheView) {
  const Matrix4 camera =
      MultiplyMatrices(LookAtMatrix({0, 100, -100}, {0, 0, 0}, {0, 1, 0}),
                       OrthographicMatrix(2, static_cast<float>(2 / std::sqrt(2.0)), 70, 160));
  for (float x : {-1.0f, 1.0f}) {
    for (float y : {-1.0f, 1.0f}) {
      const Vector3 ndc = ProjectPoint({x, y, 0}, camera);
      EXPECT_NEAR(ndc.x, x, 1e-4f);
      EXPECT_NEAR(ndc.y, y, 1e-4f);
    }
  }
}

}  // namespace
}  // namespace lumar
