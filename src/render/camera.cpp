#include "render/camera.h"

#include <cmath>

#include "wavefield/wave_factors.h"

namespace lumar {

DepthRange TopCameraDepthRange(int32_t reliefGeometry, int32_t geometryMax) {
  // geometryMax x 0.07 below reliefGeometry, in single precision: exactly 7 % keeps the narrow range.
  const bool deepRelief = static_cast<float>(geometryMax) * 0.07f < static_cast<float>(reliefGeometry);
  return deepRelief ? DepthRange{0.1f, 100.0f} : DepthRange{1.0f, 10.0f};
}

CameraTransforms SetTopCamera(const ParameterSet& record) {
  const float eyeDistance = static_cast<float>(std::cos(kPi / 8.0) / std::sin(kPi / 8.0));
  const DepthRange depth = TopCameraDepthRange(record.reliefGeometry, record.geometryMax);
  CameraTransforms t;
  t.world = IdentityMatrix();
  t.view = LookAtMatrix({0.0f, 0.0f, -eyeDistance}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
  t.projection = TopCameraProjection(depth.zNear, depth.zFar);
  return t;
}

CameraTransforms ObliqueCameraTransforms(float waterLevel) {
  // The rotation takes the grid's (x, y, z) to (x, -z, y): a sheet at depth y - 1 after the translation,
  // from -2 at the front row to 0 at the back row, with the displacement as negated height.
  Matrix4 world = MultiplyMatrices(IdentityMatrix(), RotationXMatrix(static_cast<float>(kPi / 2.0)));
  world = MultiplyMatrices(world, TranslationMatrix(0.0f, 0.0f, -1.0f));
  CameraTransforms t;
  t.world = MultiplyMatrices(world, TranslationMatrix(0.0f, waterLevel, 0.0f));
  t.view = LookAtMatrix({0.0f, 100.0f, -100.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
  // 2 units wide and 2/sqrt(2) high: the 45-degree look foreshortens the sheet's depth of 2 to a height
  // of sqrt(2).
  const float halfRootTwo = static_cast<float>(1.0 / std::sqrt(2.0));
  t.projection = OrthographicMatrix(2.0f, 2.0f * halfRootTwo, 70.0f, 160.0f);
  return t;
}

Matrix4 BackdropWorldTransform(const RunConstants& c) {
  const float sx = c.backdropScaleX;
  const float sy = c.backdropScaleY;
  const float pictureToDesktopV = static_cast<float>(c.pictureTextureSize) / c.snapshotHeight;
  const Matrix4 scaled = MultiplyMatrices(IdentityMatrix(), ScalingMatrix(sx, sy, 1.0f));
  return MultiplyMatrices(scaled,
                          TranslationMatrix(sx - 1.0f - 0.0002f, 0.0002f - (pictureToDesktopV - 1.0f), 0.0f));
}

CameraTransforms ObliqueCameraStep(WaveField& field, WaterCycle& cycle, const MillisecondClock& clock) {
  if (field.constants.aquarium) {
    AdvanceWaterCycle(cycle, clock.Now(), WaterLevelRef{field.waterLevel, field.draining});
  } else {
    field.waterLevel = 1.0f;
  }
  return ObliqueCameraTransforms(field.waterLevel);
}

}  // namespace lumar
