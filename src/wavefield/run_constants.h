// The constants of one run of the wave field, fixed by PrepareWaveField from the settings record and the
// screen sizes. Units: pixels of the display mode, seconds, radians per pixel.
#pragma once

#include <cstdint>

namespace lumar {

// The surface grid's spacing: a node every kGridSpacing pixels, across and up. Distances, slopes (a slope per
// pixel times the spacing is a slope per node) and texture steps are all taken from it.
constexpr int kGridSpacing = 10;

struct RunConstants {
  // Signs and relief scales.
  int opticsSign = 1;            // +1 lens, -1 mirror
  int fallSign = 1;              // +1 fall out, -1 fall in
  float lightSlopeScale = 0.0f;  // fallSign * reliefLight * 0.6
  float opticSlopeScale = 0.0f;  // reliefOptical * opticsSign * fallSign * 0.06
  float heightScale = 0.0f;      // reliefGeometry * fallSign * 0.0072

  // The display mode the grid covers and the grid: node columns 0..gridCellsX, rows 0..gridCellsY,
  // one node every kGridSpacing pixels; row 0 is the bottom of the screen.
  int screenWidth = 0;
  int screenHeight = 0;
  int gridCellsX = 0;
  int gridCellsY = 0;
  float gridStepX = 0.0f;  // 20 / screenWidth: a cell in a view two units wide
  float gridStepY = 0.0f;

  // Picture geometry. `texture` is the picture in use for this run (a missing user file gives the
  // desktop). Node (i, j) samples u = i * texStepU + 0.0002, v = j * texStepV + texOriginV.
  int texture = 0;
  int desktopWidth = 0;
  int desktopHeight = 0;
  int snapshotBitsPerPixel = 32;
  int pictureTextureSize = 0;  // S, edge of the square picture texture
  // The desktop's size in the square: the desktop itself, or scaled down evenly to fit a square capped
  // by the device's largest texture. The picture geometry below is in these texels.
  int snapshotWidth = 0;
  int snapshotHeight = 0;
  float texStepU = 0.0f;
  float texStepV = 0.0f;
  float texOriginV = 0.0f;
  float screenToTextureV = 0.0f;  // snapshotHeight / S, the Aquarium's texture shift
  float backdropScaleX = 0.0f;    // S / snapshotWidth, the Aquarium backdrop
  float backdropScaleY = 0.0f;    // S / snapshotHeight

  // Wave constants.
  float aspectSquare = 1.0f;    // ((screenWidth * desktopHeight) / (screenHeight * desktopWidth))^2
  float baseWaveNumber = 0.0f;  // k = 2 pi / waveLength
  float spaceFadeRate = 0.0f;   // alpha, per pixel
  float fadeStartTime = 0.0f;   // tau, seconds
  float crossingTime = 0.0f;    // G, seconds; infinite with alpha = 0 or speed = 0
  float sourceLifetime = 0.0f;  // T = min(tau, G); a source lives 3T
  float riseGain = 0.0f;        // c0 = e^(-pi/2)
  float oneSideDecay = 0.0f;    // beta = 1/sqrt(2)
  int rowOffsetScale = 1;       // 2 in the Aquarium effect or the bottom view, else 1

  // The record's fields the field reads while running, as they were at set-up.
  int waveLength = 0;
  int speed = 0;
  int drops = 0;
  int broadening = 0;
  bool oneSide = false;         // zSides
  bool fastCalculation = true;  // calculation
  bool aquarium = false;        // effect
};

}  // namespace lumar
