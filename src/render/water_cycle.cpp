#include "render/water_cycle.h"

namespace lumar {
namespace {

// The level rises by 2 in 200 s and falls by 2 in 8 s.
constexpr double kFillRatePerMs = 0.00001;
constexpr double kDrainRatePerMs = 0.00025;

void BeginPhase(WaterCycle& cycle, WaterPhase phase, uint32_t nowMs) {
  cycle.waterPhase = phase;
  cycle.waterPhaseStart = nowMs;
}

}  // namespace

void StartWaterCycle(WaterCycle& cycle, uint32_t nowMs) { cycle.waterPhaseStart = nowMs; }

void AdvanceWaterCycle(WaterCycle& cycle, uint32_t nowMs, WaterLevelRef level) {
  const uint32_t elapsed = nowMs - cycle.waterPhaseStart;
  switch (cycle.waterPhase) {
    case WaterPhase::Filling: {
      level.draining = 0;
      const double t = elapsed * kFillRatePerMs;
      level.waterLevel = static_cast<float>(t - 1.0);
      if (t > 2.0) {
        BeginPhase(cycle, WaterPhase::Full, nowMs);
        level.waterLevel = 1.0f;
      }
      break;
    }
    case WaterPhase::Full:
      if (elapsed > kFullPhaseMs) BeginPhase(cycle, WaterPhase::Draining, nowMs);
      break;
    case WaterPhase::Draining: {
      level.draining = 1;
      const double t = 2.0 - elapsed * kDrainRatePerMs;
      level.waterLevel = static_cast<float>(t - 1.0);
      if (t < 0.0) {
        BeginPhase(cycle, WaterPhase::Empty, nowMs);
        level.waterLevel = -1.0f;
      }
      break;
    }
    case WaterPhase::Empty:
      if (elapsed > kEmptyPhaseMs) BeginPhase(cycle, WaterPhase::Filling, nowMs);
      break;
  }
}

}  // namespace lumar
