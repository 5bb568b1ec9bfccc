#include "wavefield/wave_sources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "wavefield/field_fixture.h"

namespace lumar {
namespace {

using testing_support::DefaultRecord;
using testing_support::PlaceSource;
using testing_support::Prepare;

constexpr uint32_t kMultiplier = 214013u;
constexpr uint32_t kIncrement = 2531011u;

uint32_t InverseMultiplier() {
  uint32_t inverse = kMultiplier;  // Newton's iteration for the inverse modulo 2^32
  for (int i = 0; i < 5; ++i) inverse *= 2u - kMultiplier * inverse;
  return inverse;
}

// A seed whose next two draws are `first` and `second` (searches the bits the first draw leaves free).
uint32_t SeedDrawing(int first, int second) {
  for (uint32_t high = 0; high < 2; ++high) {
    for (uint32_t low = 0; low < 65536; ++low) {
      const uint32_t state = (high << 31) | (static_cast<uint32_t>(first) << 16) | low;
      const uint32_t next = state * kMultiplier + kIncrement;
      if (static_cast<int>((next >> 16) & 0x7FFF) == second)
        return (state - kIncrement) * InverseMultiplier();
    }
  }
  ADD_FAILURE() << "no seed draws " << first << ", " << second;
  return 1;
}

// T = 10 s (tau = 10 s, no space fading) and drops 10, Basis, 1024 x 768.
void PrepareTenSecondLifetime(WaveField& field, int drops = 10) {
  ParameterSet record = DefaultRecord();
  record.timeFading = 100;
  record.spaceFading = 0;
  record.drops = drops;
  Prepare(field, record);
  ASSERT_FLOAT_EQ(field.constants.sourceLifetime, 10.0f);
}

TEST(SpawnInterval, WorkedDraws) {
  WaveField field;
  PrepareTenSecondLifetime(field);
  RandomGenerator random(SeedDrawing(16384, 0));
  DrawSpawnInterval(field, random);
  EXPECT_NEAR(field.sourceSet.nextSpawnInterval, 2.0794f, 5e-5f);  // 3 ln 2

  // r = 41 lies above the cap of 20 s and is drawn again; r = 42 gives 19.98 s and is kept.
  random.Srand(SeedDrawing(41, 42));
  DrawSpawnInterval(field, random);
  EXPECT_NEAR(field.sourceSet.nextSpawnInterval, 19.98f, 5e-3f);
  EXPECT_LE(field.sourceSet.nextSpawnInterval, 20.0f);

  // r = 0 would be an infinite interval: always drawn again.
  random.Srand(SeedDrawing(0, 16384));
  DrawSpawnInterval(field, random);
  EXPECT_NEAR(field.sourceSet.nextSpawnInterval, 2.0794f, 5e-5f);
}

TEST(SpawnInterval, NeverAboveTwentyLifetimesPerDrop) {
  WaveField field;
  PrepareTenSecondLifetime(field, 1);
  RandomGenerator random(77);
  double sum = 0.0;
  float longest = 0.0f;
  const int draws = 20000;
  for (int i = 0; i < draws; ++i) {
    DrawSpawnInterval(field, random);
    longest = std::max(longest, field.sourceSet.nextSpawnInterval);
    sum += field.sourceSet.nextSpawnInterval;
  }
  EXPECT_LE(longest, 200.0f);
  EXPECT_GT(longest, 150.0f);
  EXPECT_NEAR(sum / draws, 30.0, 1.5);  // mean 3T / drops
}

TEST(SpawnInterval, NoDropsMeansNoFurtherSpawn) {
  WaveField field;
  PrepareTenSecondLifetime(field, 0);
  RandomGenerator random;
  DrawSpawnInterval(field, random);
  EXPECT_TRUE(std::isinf(field.sourceSet.nextSpawnInterval));
}

TEST(SpawnSource, StartsAtARandomNodeWithTheRecordsWave) {
  WaveField field;
  PrepareTenSecondLifetime(field);
  ManualClock clock(5000);
  RandomGenerator random(SeedDrawing(32767, 16384));
  ASSERT_TRUE(SpawnSource(field, clock, random));
  const RippleSource& s = field.sourceSet.sources[0];
  EXPECT_EQ(field.sourceSet.sourceCount, 1);
  EXPECT_EQ(s.nodeX, 101);  // (32767 * 102) / 32768: never the last two columns
  EXPECT_EQ(s.nodeY, 38);   // (16384 * 76) / 32768
  EXPECT_EQ(s.age, 0.0f);
  EXPECT_EQ(s.spawnSpeed, 75);
  EXPECT_EQ(s.spawnWaveLength, 700.0f);
  EXPECT_FLOAT_EQ(s.spawnWaveNumber, 6.2831855f / 700);
  clock.Advance(1234);
  EXPECT_FLOAT_EQ(s.clock.Elapsed(clock), 1.234f);
}

// Aquarium, T = 10 s, drops 10.
void PrepareAquarium(WaveField& field) {
  ParameterSet record = DefaultRecord();
  record.effect = kEffectAquarium;
  record.timeFading = 100;
  Prepare(field, record);
}

TEST(SpawnSource, AquariumSourcesStartInTheFilledBasin) {
  WaveField field;
  PrepareAquarium(field);
  const int lastRow = field.constants.gridCellsY - 1;
  ManualClock clock;
  RandomGenerator random(9);

  field.waterLevel = -1.0f;  // empty: always the last row
  for (int i = 0; i < 20; ++i) {
    ClearSources(field.sourceSet);
    SpawnSource(field, clock, random);
    EXPECT_EQ(field.sourceSet.sources[0].nodeY, lastRow);
  }
  field.waterLevel = 0.0f;  // half full: the upper half of the rows
  int lowest = lastRow;
  for (int i = 0; i < 400; ++i) {
    ClearSources(field.sourceSet);
    SpawnSource(field, clock, random);
    lowest = std::min(lowest, field.sourceSet.sources[0].nodeY);
    EXPECT_LE(field.sourceSet.sources[0].nodeY, lastRow);
  }
  EXPECT_GE(lowest, lastRow / 2);
  EXPECT_LE(lowest, lastRow / 2 + 2);
}

TEST(SpawnSource, EmptyBasinRedrawsTheIntervalWithTheBasisRule) {
  WaveField field;
  PrepareAquarium(field);
  field.waterLevel = -1.0f;
  RandomGenerator random(4242);
  RandomGenerator replay = random;
  ManualClock clock;
  SpawnSource(field, clock, random);
  for (int i = 0; i < 3; ++i) replay.Rand();  // column, row, the infinite Aquarium draw
  const double u = replay.Rand() / 32768.0;
  const double basis = std::log(u) * -3.0 * 10.0 / 10;
  ASSERT_LE(basis, 20.0);
  EXPECT_FLOAT_EQ(field.sourceSet.nextSpawnInterval, static_cast<float>(basis));
}

TEST(SourceLifeCycle, ANewSourceHasAgeZeroAndSurvivesItsFirstFrame) {
  WaveField field;
  PrepareTenSecondLifetime(field);
  ManualClock clock(1000);
  RandomGenerator random;
  SpawnSource(field, clock, random);
  RetireAndUpdateSources(field, clock);
  EXPECT_EQ(field.sourceSet.sourceCount, 1);
  EXPECT_EQ(field.sourceSet.sources[0].age, 0.0f);
}

TEST(SourceLifeCycle, SpawnIsDecidedOnThePreviousFramesAge) {
  WaveField field;
  PrepareTenSecondLifetime(field);
  ManualClock clock;
  RandomGenerator random(SeedDrawing(0, 0));
  SpawnSource(field, clock, random);
  field.sourceSet.nextSpawnInterval = 1.0f;
  AdvanceSources(field, clock, random);
  clock.Advance(1500);  // the newest source is now older than the interval...
  AdvanceSources(field, clock, random);
  EXPECT_EQ(field.sourceSet.sourceCount, 1);  // ...but the decision saw the age of the frame before
  EXPECT_FLOAT_EQ(field.sourceSet.sources[0].age, 1.5f);
  AdvanceSources(field, clock, random);
  EXPECT_EQ(field.sourceSet.sourceCount, 2);
}

TEST(SourceLifeCycle, AtMostOneSpawnAndOneRetirementPerFrame) {
  ParameterSet record = DefaultRecord();
  record.timeFading = 1000;  // T = 1 s, sources live 3 s
  record.drops = 40;
  WaveField field;
  Prepare(field, record);
  ManualClock clock;
  RandomGenerator random(3);
  SpawnSource(field, clock, random);
  int previous = 1;
  for (int frame = 0; frame < 400; ++frame) {
    clock.Advance(frame % 50 == 0 ? 10000 : 20);  // now and then one very long frame
    const std::pair<int, int> before{field.sourceSet.sourceCount, 0};
    const bool spawned = DecideSpawn(field, clock, random);
    EXPECT_LE(field.sourceSet.sourceCount, before.first + 1);
    EXPECT_EQ(spawned, field.sourceSet.sourceCount == before.first + 1);
    const int afterSpawn = field.sourceSet.sourceCount;
    RetireAndUpdateSources(field, clock);
    EXPECT_GE(field.sourceSet.sourceCount, afterSpawn - 1);
    EXPECT_LE(std::abs(field.sourceSet.sourceCount - previous), 1);
    previous = field.sourceSet.sourceCount;
    for (int i = 1; i < field.sourceSet.sourceCount; ++i) {  // oldest first
      EXPECT_GE(field.sourceSet.sources[i - 1].age, field.sourceSet.sources[i].age);
    }
  }
}

TEST(SourceLifeCycle, RetiringTheLastSourceKeepsItsAgeOnTheSpawnClock) {
  WaveField field;
  PrepareTenSecondLifetime(field, 0);  // no further spawns
  ManualClock clock;
  RandomGenerator random;
  SpawnSource(field, clock, random);
  clock.Set(30500);
  AdvanceSources(field, clock, random);  // age 30.5 s > 3T, retired on the next frame
  EXPECT_EQ(field.sourceSet.sourceCount, 1);
  clock.Set(30600);
  AdvanceSources(field, clock, random);
  EXPECT_EQ(field.sourceSet.sourceCount, 0);
  EXPECT_FLOAT_EQ(field.sourceSet.spawnClock.Elapsed(clock), 30.5f);
  clock.Advance(400);
  EXPECT_FLOAT_EQ(field.sourceSet.spawnClock.Elapsed(clock), 30.9f);
}

TEST(SourceLifeCycle, SeventyActiveSourcesAtMost) {
  ParameterSet record = DefaultRecord();
  record.timeFading = 1;  // tau = 1000 s: nothing retires during the test
  record.drops = 100000;  // only a stored record holds this many: a spawn is due every frame
  WaveField field;
  Prepare(field, record);
  ManualClock clock;
  RandomGenerator random(11);
  SpawnSource(field, clock, random);
  for (int frame = 0; frame < 200; ++frame) {  // a spawn every other frame
    clock.Advance(100);
    AdvanceSources(field, clock, random);
    ASSERT_LE(field.sourceSet.sourceCount, kMaxSources);
  }
  EXPECT_EQ(field.sourceSet.sourceCount, kMaxSources);
  // A spawn due with the array full draws a new interval instead.
  RandomGenerator replay = random;
  field.sourceSet.nextSpawnInterval = 0.0f;
  EXPECT_FALSE(DecideSpawn(field, clock, random));
  EXPECT_EQ(field.sourceSet.sourceCount, kMaxSources);
  EXPECT_GT(field.sourceSet.nextSpawnInterval, 0.0f);
  EXPECT_NE(random.Rand(), replay.Rand());
}

TEST(SourceLifeCycle, SameSeedSameNodesInTheSameOrder) {
  WaveField first;
  WaveField second;
  PrepareTenSecondLifetime(first, 40);
  PrepareTenSecondLifetime(second, 40);
  ManualClock clock;
  RandomGenerator firstRandom;  // randomStart off: the seed stays 1
  RandomGenerator secondRandom;
  std::vector<std::pair<int, int>> firstNodes;
  std::vector<std::pair<int, int>> secondNodes;
  SpawnSource(first, clock, firstRandom);
  SpawnSource(second, clock, secondRandom);
  for (int frame = 0; frame < 1200; ++frame) {  // both runs step in turn on one clock
    clock.Advance(50);
    if (DecideSpawn(first, clock, firstRandom)) {
      const RippleSource& s = first.sourceSet.sources[first.sourceSet.sourceCount - 1];
      firstNodes.emplace_back(s.nodeX, s.nodeY);
    }
    RetireAndUpdateSources(first, clock);
    if (DecideSpawn(second, clock, secondRandom)) {
      const RippleSource& s = second.sourceSet.sources[second.sourceSet.sourceCount - 1];
      secondNodes.emplace_back(s.nodeX, s.nodeY);
    }
    RetireAndUpdateSources(second, clock);
  }
  EXPECT_GT(firstNodes.size(), 50u);
  EXPECT_EQ(firstNodes, secondNodes);
}

TEST(SourceLifeCycle, DrainingRunsAgesBackwardsToZero) {
  ParameterSet record = DefaultRecord();
  record.effect = kEffectAquarium;
  WaveField field;
  Prepare(field, record);
  ManualClock clock;
  RandomGenerator random;
  RippleSource& s = PlaceSource(field, clock, 10, 10);
  clock.Set(2000);
  UpdateSource(s, field, clock);
  EXPECT_FLOAT_EQ(s.age, 2.0f);
  field.draining = 1;
  clock.Set(3000);
  UpdateSource(s, field, clock);
  EXPECT_FLOAT_EQ(s.age, 1.0f);  // 2 * 2 - 3
  EXPECT_FLOAT_EQ(s.forwardAge, 2.0f);
  clock.Set(5000);
  UpdateSource(s, field, clock);
  EXPECT_EQ(s.age, 0.0f);
  // A source born while draining stays at age 0 and so contributes nothing.
  RippleSource& born = PlaceSource(field, clock, 20, 20);
  clock.Set(6000);
  UpdateSource(born, field, clock);
  EXPECT_EQ(born.age, 0.0f);
  field.draining = 0;  // ages jump back to the clocks
  UpdateSource(s, field, clock);
  EXPECT_FLOAT_EQ(s.age, 6.0f);
}

TEST(UpdateSource, FrontEnvelopeAndBroadening) {
  ParameterSet record = testing_support::WorkedRecord();
  WaveField field;
  Prepare(field, record);
  ManualClock clock;
  RippleSource& s = PlaceSource(field, clock, 0, 0);
  clock.Set(2000);
  UpdateSource(s, field, clock);
  EXPECT_FLOAT_EQ(s.frontDistance, 175.0f);
  EXPECT_FLOAT_EQ(s.quarterWaveTime, 0.25f);
  EXPECT_EQ(s.envelope, 1.0f);
  EXPECT_NEAR(s.trailSin, 0.0, 1e-5 * s.trailLevel);  // phi = 4 pi at the front

  clock.Set(15000);  // t / tau = 1.5
  UpdateSource(s, field, clock);
  EXPECT_NEAR(s.envelope, std::exp(-1.25), 1e-6);

  field.constants.broadening = 100;  // w = 1 + 100 * 2 * 100 * 0.0001 = 3
  clock.Set(2000);
  UpdateSource(s, field, clock);
  EXPECT_FLOAT_EQ(s.effectiveWaveNumber, s.spawnWaveNumber / 3);
  EXPECT_FLOAT_EQ(s.frontDistance, 3 * 100 * 2.0f - 3 * 25.0f);
  EXPECT_FLOAT_EQ(s.quarterWaveTime, 0.25f);
}

}  // namespace
}  // namespace lumar
