// The two camera set-ups of the surface grid (x, y in [-1, 1], displacement along z). Each produces the
// world, view and projection transforms; the Direct3D layer sets them on the device.
//
// Top camera: the grid seen straight on in perspective; its square fills the screen at z = 0 whatever the
// screen's aspect. Oblique camera: the grid tilted into a horizontal sheet, seen from the front and above
// at 45 degrees through an orthographic projection; the Aquarium raises and lowers the sheet with its
// water-level cycle.
#pragma once

#include <cstdint>

#include "platform/matrix.h"
#include "platform/millisecond_clock.h"
#include "render/water_cycle.h"
#include "settings/parameter_set.h"
#include "wavefield/wave_field.h"

namespace lumar {

struct CameraTransforms {
  Matrix4 world;
  Matrix4 view;
  Matrix4 projection;
};

struct DepthRange {
  float zNear;
  float zFar;
};

// A deep relief (more than 7 % of the Geometry scale's maximum) needs the wide depth range 0.1 ... 100;
// otherwise 1 ... 10 keeps the depth buffer fine-grained.
DepthRange TopCameraDepthRange(int32_t reliefGeometry, int32_t geometryMax);

// The top view of the Basis effect.
CameraTransforms SetTopCamera(const ParameterSet& record);

// The oblique camera with the sheet raised to `waterLevel` (+1 fills the view, 0 covers its lower half,
// -1 lies just below it).
CameraTransforms ObliqueCameraTransforms(float waterLevel);

// The Aquarium backdrop's world transform: the quad scaled so that the picture texture's square keeps the
// desktop's pixel size, its top-left corner at the view's top-left corner. With the desktop picture the
// desktop's pixels then exactly fill the view.
Matrix4 BackdropWorldTransform(const RunConstants& constants);

// The bottom view of the Basis effect and the Aquarium: in the Aquarium advances the water-level cycle on
// `clock`, elsewhere holds the level at full; then the transforms for the field's level.
CameraTransforms ObliqueCameraStep(WaveField& field, WaterCycle& cycle, const MillisecondClock& clock);

}  // namespace lumar
