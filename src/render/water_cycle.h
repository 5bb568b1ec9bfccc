// The Aquarium's water-level cycle: the tank fills for 200 s, stays full for 5 s, drains in 8 s and stays
// empty for 3 s, about 216 s in all. Times are readings of the millisecond clock; their differences are
// taken modulo 2^32, so the wrap of the counter does not disturb the cycle.
#pragma once

#include <cstdint>

namespace lumar {

enum class WaterPhase : int32_t { Filling = 0, Full = 1, Draining = 2, Empty = 3 };

constexpr uint32_t kFullPhaseMs = 5000;
constexpr uint32_t kEmptyPhaseMs = 3000;

struct WaterCycle {
  WaterPhase waterPhase = WaterPhase::Filling;
  uint32_t waterPhaseStart = 0;  // clock reading at which the current phase began
};

// The level the cycle drives and the flag that runs the ripples backwards while the tank drains. The
// wave field holds both; the cycle only writes them.
struct WaterLevelRef {
  float& waterLevel;  // -1 empty ... +1 full
  int& draining;      // 1 while the level falls, else 0
};

// The cycle's clock starts at device creation; the phase carries on from where it was.
void StartWaterCycle(WaterCycle& cycle, uint32_t nowMs);

// One step of the cycle at clock reading `nowMs`: updates the level in the rising and falling phases and
// makes at most one phase change; in the full and empty phases the level keeps its last value.
void AdvanceWaterCycle(WaterCycle& cycle, uint32_t nowMs, WaterLevelRef level);

}  // namespace lumar
