// A ripple source and the set of active sources.
#pragma once

#include <array>
#include <cstdint>

#include "host/frame_timer.h"

namespace lumar {

constexpr int kMaxSources = 70;

struct RippleSource {
  int32_t nodeX = 0;             // grid column of the centre
  int32_t nodeY = 0;             // grid row of the centre
  float age = 0.0f;              // seconds as the evaluation uses it; <= 0 contributes nothing
  float forwardAge = 0.0f;       // clock reading at the last update with time running forward
  float envelope = 0.0f;         // time fading, 1 while young
  float frontDistance = 0.0f;    // D: pixels from the centre to the leading crest
  FrameTimer clock;              // its Elapsed time is the age
  int32_t spawnSpeed = 0;        // px/s
  float spawnWaveLength = 0.0f;  // px
  float spawnWaveNumber = 0.0f;  // rad/px
  double riseSin = 0.0, riseSinPhase = 0.0;
  double trailLevel = 0.0, trailSin = 0.0, trailCos = 0.0, trailCosSlope = 0.0, trailSinSlope = 0.0;
  double leadLevel = 0.0, leadLevelPhase = 0.0, frontCos = 0.0, leadLevelSlope = 0.0,
         leadLevelPhaseSlope = 0.0, frontCosSlope = 0.0;
  float quarterWaveTime = 0.0f;      // seconds the crest needs for a quarter wave length
  float effectiveWaveNumber = 0.0f;  // wave number after broadening

  // Large ripples on large grids: once e^(alpha*D) or e^(b*psi) would leave double range, the trail
  // coefficients leave out their e^(-alpha*D), or the lead coefficients their e^(b*psi); that exponent is
  // carried here and added to the distance factors at the node instead, so every product stays finite.
  // Each side is rebased on its own: the other keeps its plain coefficients and the tables serve it.
  bool trailRebased = false;
  bool leadRebased = false;
  double trailExponentShift = 0.0;  // -alpha * D when trailRebased, else 0
  double leadExponentShift = 0.0;   // b * psi when leadRebased, else 0
};

// The active sources are the first sourceCount records, oldest first; the others are stale.
struct SourceSet {
  std::array<RippleSource, kMaxSources> sources{};
  int32_t sourceCount = 0;
  FrameTimer spawnClock;  // stands in for the newest source's clock while none is active
  float nextSpawnInterval = 0.0f;
};

}  // namespace lumar
