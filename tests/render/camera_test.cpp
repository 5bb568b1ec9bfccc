#include "render/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/millisecond_clock.h"
#include "settings/parameter_set.h"

namespace lumar {
namespace {

constexpr float kTolerance = 1e-5f;

ParameterSet RecordWithRelief(int32_t reliefGeometry, int32_t geometryMax, uint32_t width = 1024,
                              uint32_t height = 768) {
  SettingsState settings;
  ResetToDefaults(settings);
  settings.parameters.reliefGeometry = reliefGeometry;
  settings.parameters.geometryMax = geometryMax;
  settings.parameters.screenWidth = width;
  settings.parameters.screenHeight = height;
  return settings.parameters;
}

// Where a point of the grid lands: x, y in normalised device coordinates (-1 ... +1 across the view,
// +1 at the top), z the depth (0 near ... 1 far).
Vector3 ToScreen(const CameraTransforms& t, const Vector3& p) {
  const Matrix4 all = MultiplyMatrices(MultiplyMatrices(t.world, t.view), t.projection);
  return ProjectPoint(p, all);
}

void ExpectLandsAt(const CameraTransforms& t, const Vector3& p, float x, float y) {
  const Vector3 s = ToScreen(t, p);
  EXPECT_NEAR(s.x, x, kTolerance) << "point " << p.x << ", " << p.y << ", " << p.z;
  EXPECT_NEAR(s.y, y, kTolerance) << "point " << p.x << ", " << p.y << ", " << p.z;
  EXPECT_GE(s.z, 0.0f);
  EXPECT_LE(s.z, 1.0f);
}

TEST(TopCamera, GridCornersLandOnScreenCornersForAnyAspect) {
  const uint32_t modes[][2] = {{640, 480}, {1920, 1080}, {1080, 1920}, {1366, 768}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode[0]);
    const CameraTransforms t = SetTopCamera(RecordWithRelief(5, 100, mode[0], mode[1]));
    ExpectLandsAt(t, {-1, -1, 0}, -1, -1);
    ExpectLandsAt(t, {1, -1, 0}, 1, -1);
    ExpectLandsAt(t, {-1, 1, 0}, -1, 1);
    ExpectLandsAt(t, {1, 1, 0}, 1, 1);
    ExpectLandsAt(t, {0, 0, 0}, 0, 0);
    ExpectLandsAt(t, {0.5f, -0.25f, 0}, 0.5f, -0.25f);
  }
}

TEST(TopCamera, DisplacementAwayFromTheEyeShrinksTowardsTheCentre) {
  const CameraTransforms t = SetTopCamera(RecordWithRelief(50, 100));
  const Vector3 raised = ToScreen(t, {1, 1, -0.5f});
  const Vector3 sunk = ToScreen(t, {1, 1, 0.5f});
  EXPECT_GT(raised.x, 1.0f);
  EXPECT_LT(sunk.x, 1.0f);
  EXPECT_LT(raised.z, sunk.z);
}

TEST(TopCamera, DepthRangeFollowsTheRelief) {
  const DepthRange narrow = TopCameraDepthRange(7, 100);  // exactly 7 %
  EXPECT_EQ(narrow.zNear, 1.0f);
  EXPECT_EQ(narrow.zFar, 10.0f);
  const DepthRange wide = TopCameraDepthRange(8, 100);
  EXPECT_EQ(wide.zNear, 0.1f);
  EXPECT_EQ(wide.zFar, 100.0f);
  // Deep only while geometryMax x 0.07, in single precision, is below the relief.
  struct Case {
    int32_t reliefGeometry, geometryMax;
    float zFar;
  };
  const Case cases[] = {
      {49, 700, 10.0f},
      {50, 700, 100.0f},
      {48, 700, 10.0f},
      // 0.07 x 2^30 is 75161927.68; in single precision the product rounds to 75161928, the relief itself.
      {75161928, 1 << 30, 10.0f},
      {75161936, 1 << 30, 100.0f},  // the next value a float holds
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TopCameraDepthRange(c.reliefGeometry, c.geometryMax).zFar, c.zFar)
        << c.reliefGeometry << " of " << c.geometryMax;
  }
  // Exactly 7 % for other maxima, where 0.07 in floating point would not be exact either.
  for (int32_t max = 1; max <= 2000; ++max) {
    if (max * 7 % 100 != 0) continue;
    EXPECT_EQ(TopCameraDepthRange(max * 7 / 100, max).zFar, 10.0f) << max;
  }
  EXPECT_EQ(TopCameraDepthRange(1, 0).zFar, 100.0f);  // a reset record
  EXPECT_EQ(TopCameraDepthRange(0, 0).zFar, 10.0f);
  EXPECT_EQ(TopCameraDepthRange(0x7FFFFFFF, 0x7FFFFFFF).zFar, 100.0f);  // no overflow
}

TEST(TopCamera, NearAndFarPlanesMapToDepthZeroAndOne) {
  const float eye = static_cast<float>(1.0 / std::tan(3.14159265358979 / 8.0));
  const CameraTransforms narrow = SetTopCamera(RecordWithRelief(7, 100));
  EXPECT_NEAR(ToScreen(narrow, {0, 0, 1.0f - eye}).z, 0.0f, kTolerance);
  EXPECT_NEAR(ToScreen(narrow, {0, 0, 10.0f - eye}).z, 1.0f, kTolerance);
  const CameraTransforms wide = SetTopCamera(RecordWithRelief(8, 100));
  EXPECT_NEAR(ToScreen(wide, {0, 0, 0.1f - eye}).z, 0.0f, kTolerance);
  EXPECT_NEAR(ToScreen(wide, {0, 0, 100.0f - eye}).z, 1.0f, 1e-4f);
}

TEST(ObliqueCamera, FullSheetFillsTheView) {
  const CameraTransforms t = ObliqueCameraTransforms(1.0f);
  ExpectLandsAt(t, {-1, -1, 0}, -1, -1);  // front row at the bottom edge
  ExpectLandsAt(t, {1, -1, 0}, 1, -1);
  ExpectLandsAt(t, {-1, 1, 0}, -1, 1);  // back row at the top edge
  ExpectLandsAt(t, {1, 1, 0}, 1, 1);
}

TEST(ObliqueCamera, HalfFullSheetCoversTheLowerHalf) {
  const CameraTransforms t = ObliqueCameraTransforms(0.0f);
  ExpectLandsAt(t, {-1, 1, 0}, -1, 0);
  ExpectLandsAt(t, {1, 1, 0}, 1, 0);
  EXPECT_LT(ToScreen(t, {0, -1, 0}).y, -1.0f);  // the front part lies below the view
}

TEST(ObliqueCamera, EmptySheetLiesBelowTheView) {
  const CameraTransforms t = ObliqueCameraTransforms(-1.0f);
  EXPECT_NEAR(ToScreen(t, {0, 1, 0}).y, -1.0f, kTolerance);
  for (float y = -1.0f; y < 1.0f; y += 0.25f) EXPECT_LT(ToScreen(t, {0, y, 0}).y, -1.0f) << y;
}

TEST(ObliqueCamera, DisplacementBecomesNegatedHeight) {
  const CameraTransforms t = ObliqueCameraTransforms(1.0f);
  // A node displaced along +z (away from the viewer in the top view) sinks below the sheet.
  EXPECT_LT(ToScreen(t, {0, 0, 0.1f}).y, ToScreen(t, {0, 0, 0}).y);
  EXPECT_GT(ToScreen(t, {0, 0, -0.1f}).y, ToScreen(t, {0, 0, 0}).y);
}

TEST(ObliqueCamera, BackdropSquareFillsTheView) {
  CameraTransforms t = ObliqueCameraTransforms(0.3f);
  t.world = IdentityMatrix();  // the backdrop stands in the plane z = 0 untouched by the sheet's world
  ExpectLandsAt(t, {-1, -1, 0}, -1, -1);
  ExpectLandsAt(t, {1, 1, 0}, 1, 1);
  ExpectLandsAt(t, {0.5f, -0.5f, 0}, 0.5f, -0.5f);
}

// A field, its water cycle started at device creation (clock 5000 ms), and the clock.
struct ObliqueRig {
  WaveField field;
  WaterCycle cycle;
  ManualClock clock{5000};
  explicit ObliqueRig(bool aquarium) {
    field.constants.aquarium = aquarium;
    StartWaterCycle(cycle, clock.Now());
  }
  CameraTransforms Step() { return ObliqueCameraStep(field, cycle, clock); }
};

TEST(ObliqueCameraStep, BottomViewOfBasisHoldsTheSheetFull) {
  ObliqueRig rig(false);
  WaveField& field = rig.field;
  for (int step = 0; step < 5; ++step) {
    const CameraTransforms t = rig.Step();
    EXPECT_EQ(field.waterLevel, 1.0f);
    EXPECT_EQ(field.draining, 0);
    ExpectLandsAt(t, {1, 1, 0}, 1, 1);
    rig.clock.Advance(100000);
  }
  EXPECT_EQ(rig.cycle.waterPhase, WaterPhase::Filling);
  EXPECT_EQ(rig.cycle.waterPhaseStart, 5000u);
}

TEST(ObliqueCameraStep, AquariumRaisesTheSheetWithTheCycle) {
  ObliqueRig rig(true);
  rig.clock.Advance(100000);
  const CameraTransforms half = rig.Step();
  EXPECT_FLOAT_EQ(rig.field.waterLevel, 0.0f);
  ExpectLandsAt(half, {-1, 1, 0}, -1, 0);
  rig.clock.Advance(100001);
  const CameraTransforms full = rig.Step();
  EXPECT_EQ(rig.cycle.waterPhase, WaterPhase::Full);
  EXPECT_EQ(rig.field.waterLevel, 1.0f);
  ExpectLandsAt(full, {-1, 1, 0}, -1, 1);
}

// The backdrop's world under the oblique camera's view and projection.
Vector3 BackdropOnScreen(const RunConstants& c, float quadX, float quadY) {
  CameraTransforms t = ObliqueCameraTransforms(1.0f);
  t.world = BackdropWorldTransform(c);
  return ToScreen(t, {quadX, quadY, 0.0f});
}

TEST(BackdropWorld, DesktopPixelsFillTheView) {
  RunConstants c;
  c.desktopWidth = 1280;
  c.desktopHeight = 1024;
  c.snapshotWidth = 1280;  // the desktop fits the square as it is
  c.snapshotHeight = 1024;
  c.pictureTextureSize = 2048;
  c.backdropScaleX = 2048.0f / 1280.0f;
  c.backdropScaleY = 2048.0f / 1024.0f;
  // The quad's texture coordinate is ((x + 1) / 2, (y + 1) / 2); the desktop's pixels occupy u from 0 to
  // 1280/2048 and v from 1 - 1024/2048 to 1.
  const float rightX = 2.0f * 1280.0f / 2048.0f - 1.0f;
  const float bottomY = 2.0f * (1.0f - 1024.0f / 2048.0f) - 1.0f;
  const Vector3 topLeft = BackdropOnScreen(c, -1.0f, 1.0f);
  const Vector3 bottomRight = BackdropOnScreen(c, rightX, bottomY);
  EXPECT_NEAR(topLeft.x, -1.0f, 1e-3f);
  EXPECT_NEAR(topLeft.y, 1.0f, 1e-3f);
  EXPECT_NEAR(bottomRight.x, 1.0f, 1e-3f);
  EXPECT_NEAR(bottomRight.y, -1.0f, 1e-3f);
}

}  // namespace
}  // namespace lumar
