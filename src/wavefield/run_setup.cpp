#include "wavefield/run_setup.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Edge of the square texture the picture is loaded into. The desktop snapshot needs a square that holds
// the whole desktop: 1024, 2048 above 1024, and the next power of two for still larger desktops, but no
// larger than the device's largest texture (`maxTextureEdge`, 0 when unknown).
int PictureTextureSize(int texture, const DesktopSize& desktop, int maxTextureEdge) {
  if (texture != kTextureDesktop) return 512;
  int size = 1024;
  while (size < desktop.desktopWidth || size < desktop.desktopHeight) size *= 2;
  while (maxTextureEdge > 0 && size > maxTextureEdge && size > 1) size /= 2;
  return size;
}

// A desktop larger than its square is scaled down evenly until its longer edge is the square's. The
// other pictures are stretched over their own texture and keep the desktop's size here.
void FitSnapshot(RunConstants& c) {
  const int s = c.pictureTextureSize;
  const int longer = std::max(c.desktopWidth, c.desktopHeight);
  if (c.texture != kTextureDesktop || longer <= s) {
    c.snapshotWidth = c.desktopWidth;
    c.snapshotHeight = c.desktopHeight;
    return;
  }
  auto scaled = [&](int edge) {
    return std::max(1, static_cast<int>((int64_t{edge} * s + longer / 2) / longer));
  };
  c.snapshotWidth = scaled(c.desktopWidth);
  c.snapshotHeight = scaled(c.desktopHeight);
}

void SetPictureGeometry(RunConstants& c) {
  const float origin = 0.0002f;
  if (c.texture == kTextureDesktop) {
    const float s = static_cast<float>(c.pictureTextureSize);
    c.texStepU = (static_cast<float>(kGridSpacing) / s) * c.snapshotWidth / c.screenWidth;
    c.texStepV = (static_cast<float>(kGridSpacing) / s) * c.snapshotHeight / c.screenHeight;
    c.texOriginV = 1.0f - c.snapshotHeight / s - origin;
  } else {
    c.texStepU = static_cast<float>(kGridSpacing) / c.screenWidth;
    c.texStepV = static_cast<float>(kGridSpacing) / c.screenHeight;
    c.texOriginV = -origin;
  }
  const float s = static_cast<float>(c.pictureTextureSize);
  c.screenToTextureV = c.snapshotHeight / s;
  c.backdropScaleX = s / c.snapshotWidth;
  c.backdropScaleY = s / c.snapshotHeight;
}

// tau, G and T. G is the time the crest needs to cross half the screen diagonal, a quarter wave length
// and the distance 5/alpha over which the space fading falls to e^-5.
void SetLifetime(RunConstants& c, const ParameterSet& record) {
  c.fadeStartTime = 1000.0f / record.timeFading;
  if (c.spaceFadeRate == 0.0f || record.speed == 0) {
    c.crossingTime = kInfinity;
  } else {
    const double w = c.screenWidth;
    const double h = c.screenHeight;
    const double diagonal = std::sqrt(w * w + c.aspectSquare * h * h);
    c.crossingTime = static_cast<float>(0.5 * (diagonal + record.waveLength / 4.0f + 5.0f / c.spaceFadeRate) /
                                        record.speed);
  }
  c.sourceLifetime = c.fadeStartTime < c.crossingTime ? c.fadeStartTime : c.crossingTime;
}

// Every table is filled for both calculations: normal calculation reads them for the sources whose own
// wave number is the base one (no broadening), where they hold exactly what it would compute.
void FillTables(WaveTables& tables, const RunConstants& c) {
  const WaveShape shape{c.baseWaveNumber, c.oneSide, c.spaceFadeRate};
  for (int j = 0; j <= tables.rowCount; j += tables.rowStep) {
    for (int i = 0; i <= tables.columnCount; ++i) {
      const float distance =
          static_cast<float>(kGridSpacing * std::sqrt(double(i) * i + double(c.aspectSquare) * j * j));
      const float inverseDistance = distance == 0.0f ? 0.0f : 1.0f / distance;
      tables.SetDistance(i, j, distance, inverseDistance);
      const double r = distance;
      const double ir = inverseDistance;
      tables.SetFactors(i, j, ComputeRiseFactors(shape, r, ir));
      tables.SetFactors(i, j, ComputeTrailFactors(shape, r, ir));
      tables.SetFactors(i, j, ComputeLeadFactors(shape, r, ir));
    }
  }
}

}  // namespace

SetupResult CheckFieldSettings(const ParameterSet& r) {
  if (r.waveLength <= 0 || r.timeFading <= 0) return SetupResult::InvalidSettings;
  if (r.speed < 0 || r.spaceFading < 0 || r.drops < 0 || r.broadening < 0) {
    return SetupResult::InvalidSettings;
  }
  return SetupResult::Ok;
}

SetupResult PrepareWaveField(WaveField& field, ParameterSet& record, const DesktopSize& desktop,
                             const FileExistsCheck& fileExists, int maxTextureEdge) {
  field.tables.Free();
  ClearSources(field.sourceSet);
  const SetupResult settings = CheckFieldSettings(record);
  if (settings != SetupResult::Ok) return settings;
  if (record.screenWidth == 0 || record.screenHeight == 0 || record.screenWidth > kMaxScreenEdge ||
      record.screenHeight > kMaxScreenEdge || desktop.desktopWidth <= 0 || desktop.desktopHeight <= 0 ||
      desktop.desktopWidth > kMaxScreenEdge || desktop.desktopHeight > kMaxScreenEdge) {
    return SetupResult::InvalidScreen;
  }

  RunConstants c;
  c.opticsSign = record.optics != 0 ? -1 : 1;
  field.waterLevel = 0.0f;
  field.draining = 0;
  c.fallSign = record.fall != 0 ? 1 : -1;
  c.lightSlopeScale = c.fallSign * static_cast<float>(record.reliefLight) * 0.6f;
  c.opticSlopeScale = static_cast<float>(record.reliefOptical) * c.opticsSign * c.fallSign * 0.06f;
  c.heightScale = static_cast<float>(record.reliefGeometry) * c.fallSign * 0.0072f;

  c.desktopWidth = desktop.desktopWidth;
  c.desktopHeight = desktop.desktopHeight;
  c.snapshotBitsPerPixel =
      (record.screenFormat == kFormatR5G6B5 || record.screenFormat == kFormatX1R5G5B5) ? 16 : 32;
  if (record.texture > kTextureSky) {
    const std::string path(record.textureFile, strnlen(record.textureFile, sizeof record.textureFile));
    if (!fileExists || !fileExists(path.c_str())) record.texture = kTextureDesktop;
  }
  c.texture = record.texture;
  c.screenWidth = static_cast<int>(record.screenWidth);
  c.screenHeight = static_cast<int>(record.screenHeight);
  c.pictureTextureSize = PictureTextureSize(c.texture, desktop, maxTextureEdge);
  FitSnapshot(c);
  SetPictureGeometry(c);
  c.gridCellsX = c.screenWidth / kGridSpacing + 1;
  c.gridCellsY = c.screenHeight / kGridSpacing + 1;
  c.gridStepX = 2.0f * kGridSpacing / c.screenWidth;
  c.gridStepY = 2.0f * kGridSpacing / c.screenHeight;

  const double aspect = (double(c.screenWidth) * c.desktopHeight) / (double(c.screenHeight) * c.desktopWidth);
  c.aspectSquare = static_cast<float>(aspect * aspect);

  c.waveLength = record.waveLength;
  c.speed = record.speed;
  c.drops = record.drops;
  c.broadening = record.broadening;
  c.oneSide = record.zSides != 0;
  c.fastCalculation = record.calculation != 0;
  c.aquarium = record.effect == kEffectAquarium;
  c.baseWaveNumber = kTwoPi / record.waveLength;
  c.spaceFadeRate = record.spaceFading * 0.02f / record.waveLength;
  SetLifetime(c, record);
  c.riseGain = kRiseGain;
  c.oneSideDecay = kOneSideDecay;
  c.rowOffsetScale = (c.aquarium || record.view == kViewBottom) ? 2 : 1;
  field.constants = c;

  if (!field.tables.Allocate(c.gridCellsX, c.rowOffsetScale * c.gridCellsY, c.rowOffsetScale)) {
    return SetupResult::OutOfMemory;
  }
  FillTables(field.tables, c);
  if (!field.tables.GroupDistances()) {
    field.tables.Free();
    return SetupResult::OutOfMemory;
  }
  ClearSources(field.sourceSet);
  return SetupResult::Ok;
}

}  // namespace lumar
