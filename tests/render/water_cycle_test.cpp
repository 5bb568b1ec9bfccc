#include "render/water_cycle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lumar {
namespace {

// A cycle with the level and flag it drives, started at device creation.
struct Tank {
  WaterCycle cycle;
  float waterLevel = 0.0f;  // as the run set-up leaves it
  int draining = 0;

  explicit Tank(uint32_t startMs) { StartWaterCycle(cycle, startMs); }
  void Step(uint32_t nowMs) { AdvanceWaterCycle(cycle, nowMs, WaterLevelRef{waterLevel, draining}); }
};

constexpr uint32_t kStart = 123456;

TEST(WaterCycle, FillsOverTwoHundredSeconds) {
  Tank tank(kStart);
  tank.Step(kStart);
  EXPECT_EQ(tank.waterLevel, -1.0f);
  tank.Step(kStart + 50000);
  EXPECT_FLOAT_EQ(tank.waterLevel, -0.5f);
  tank.Step(kStart + 100000);
  EXPECT_FLOAT_EQ(tank.waterLevel, 0.0f);
  EXPECT_EQ(tank.draining, 0);
  tank.Step(kStart + 200000);  // t = 2 exactly: still filling
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Filling);
  EXPECT_FLOAT_EQ(tank.waterLevel, 1.0f);
}

TEST(WaterCycle, TurnsFullJustAfterTwoHundredSeconds) {
  Tank tank(kStart);
  tank.Step(kStart + 200001);
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Full);
  EXPECT_EQ(tank.waterLevel, 1.0f);
  EXPECT_EQ(tank.cycle.waterPhaseStart, kStart + 200001);
}

TEST(WaterCycle, FullThenDrainingThenEmptyThenFillingAgain) {
  Tank tank(kStart);
  uint32_t t = kStart + 200001;
  tank.Step(t);  // full
  tank.Step(t + 5000);
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Full);
  EXPECT_EQ(tank.waterLevel, 1.0f);

  t += 5001;
  tank.Step(t);  // turns to draining; the flag follows on the next step
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Draining);
  EXPECT_EQ(tank.draining, 0);
  tank.Step(t + 4000);
  EXPECT_EQ(tank.draining, 1);
  EXPECT_FLOAT_EQ(tank.waterLevel, 0.0f);
  tank.Step(t + 8000);  // t = 0 exactly: still draining
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Draining);
  EXPECT_FLOAT_EQ(tank.waterLevel, -1.0f);

  t += 8001;
  tank.Step(t);
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Empty);
  EXPECT_EQ(tank.waterLevel, -1.0f);
  tank.Step(t + 3000);
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Empty);
  EXPECT_EQ(tank.draining, 1);  // ripples keep running backwards while the tank stands empty

  t += 3001;
  tank.Step(t);
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Filling);
  tank.Step(t + 20000);
  EXPECT_EQ(tank.draining, 0);
  EXPECT_FLOAT_EQ(tank.waterLevel, -0.8f);
}

TEST(WaterCycle, AtMostOneTransitionPerStep) {
  Tank tank(kStart);
  const uint32_t late = kStart + 10000000;  // far beyond every phase's length
  const WaterPhase expected[] = {WaterPhase::Full, WaterPhase::Draining, WaterPhase::Empty,
                                 WaterPhase::Filling, WaterPhase::Full};
  uint32_t now = late;
  for (WaterPhase phase : expected) {
    now += 10000000;
    tank.Step(now);
    EXPECT_EQ(tank.cycle.waterPhase, phase);
    EXPECT_EQ(tank.cycle.waterPhaseStart, now);
  }
}

TEST(WaterCycle, StepsEveryMillisecondGiveTheTwoHundredSixteenSecondCycle) {
  Tank tank(kStart);
  std::vector<uint32_t> changes;
  WaterPhase phase = tank.cycle.waterPhase;
  for (uint32_t ms = 0; ms <= 2 * 216004; ++ms) {
    tank.Step(kStart + ms);
    ASSERT_GE(tank.waterLevel, -1.0f);
    ASSERT_LE(tank.waterLevel, 1.0f);
    if (tank.cycle.waterPhase != phase) {
      phase = tank.cycle.waterPhase;
      changes.push_back(ms);
    }
  }
  // Each phase ends one millisecond after its length, since the tests are strict.
  const std::vector<uint32_t> expected = {200001, 205002, 213003, 216004, 416005, 421006, 429007, 432008};
  EXPECT_EQ(changes, expected);
}

TEST(WaterCycle, ClockWrapDoesNotDisturbTheLevel) {
  const uint32_t start = 0xFFFFFFFFu - 49999u;
  Tank tank(start);
  tank.Step(start + 100000u);  // wraps past zero
  EXPECT_FLOAT_EQ(tank.waterLevel, 0.0f);
  EXPECT_EQ(tank.cycle.waterPhase, WaterPhase::Filling);
}

TEST(WaterCycle, TwoTanksAreIndependent) {
  Tank first(0);
  Tank second(50000);
  first.Step(100000);
  second.Step(100000);
  EXPECT_FLOAT_EQ(first.waterLevel, 0.0f);
  EXPECT_FLOAT_EQ(second.waterLevel, -0.5f);
}

}  // namespace
}  // namespace lumar
