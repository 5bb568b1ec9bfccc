#include "wavefield/wave_sources.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "wavefield/wave_factors.h"
#include "wavefield/wave_math.h"

namespace lumar {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr double kRandRange = 32768.0;
// Above this exponent the coefficients are rebased (see RippleSource): e^600 and e^-610 still leave
// room in double range for the factors they meet.
constexpr double kRebaseExponent = 600.0;

// Row of a new source's centre: any row but the last in the Basis effect, inside the filled part of the
// basin in the Aquarium.
int32_t SpawnRow(const WaveField& field, RandomGenerator& random) {
  const int rows = field.constants.gridCellsY - 1;
  const int r = random.Rand();
  if (!field.constants.aquarium) return static_cast<int32_t>((int64_t{r} * rows) / 32768);
  const float row = std::ceil(rows - r * (field.waterLevel + 1.0f) * 0.5f * rows / 32768.0f);
  return static_cast<int32_t>(std::clamp(row, 0.0f, static_cast<float>(std::max(rows, 0))));
}

// One draw of the exponential interval: ln(u) * (-3T) / rate, infinite for a rate of 0 and for u = 0.
float DrawInterval(double lifetime, double rate, RandomGenerator& random) {
  const double u = random.Rand() / kRandRange;
  if (!(rate > 0.0) || u == 0.0) return kInfinity;
  return static_cast<float>(std::log(u) * (-3.0 * lifetime) / rate);
}

}  // namespace

void DrawSpawnInterval(WaveField& field, RandomGenerator& random) {
  const RunConstants& c = field.constants;
  const double lifetime = c.sourceLifetime;
  const double aquariumRate = (field.waterLevel + 1.0f) * c.drops * 0.5f;
  float interval = DrawInterval(lifetime, c.aquarium ? aquariumRate : c.drops, random);
  // With no drops at all the cap is infinite too, so the loop ends on the first (infinite) draw.
  const float cap = c.drops > 0 ? 20.0f * c.sourceLifetime / c.drops : kInfinity;
  while (interval > cap) interval = DrawInterval(lifetime, c.drops, random);
  field.sourceSet.nextSpawnInterval = interval;
}

bool SpawnSource(WaveField& field, const MillisecondClock& clock, RandomGenerator& random) {
  SourceSet& set = field.sourceSet;
  if (set.sourceCount >= kMaxSources) {
    DrawSpawnInterval(field, random);
    return false;
  }
  const RunConstants& c = field.constants;
  RippleSource& s = set.sources[set.sourceCount];
  set.sourceCount += 1;
  s = RippleSource{};
  s.clock.Clear();
  s.clock.Start(clock);
  s.age = 0.0f;
  s.forwardAge = 0.0f;
  s.nodeX = static_cast<int32_t>((int64_t{random.Rand()} * (c.gridCellsX - 1)) / 32768);
  s.nodeY = SpawnRow(field, random);
  s.spawnSpeed = c.speed;
  s.spawnWaveLength = static_cast<float>(c.waveLength);
  s.spawnWaveNumber = kTwoPi / c.waveLength;
  DrawSpawnInterval(field, random);
  return true;
}

bool DecideSpawn(WaveField& field, const MillisecondClock& clock, RandomGenerator& random) {
  SourceSet& set = field.sourceSet;
  const float t = set.sourceCount > 0 ? set.sources[set.sourceCount - 1].age : set.spawnClock.Elapsed(clock);
  return t > set.nextSpawnInterval && SpawnSource(field, clock, random);
}

void RetireAndUpdateSources(WaveField& field, const MillisecondClock& clock) {
  SourceSet& set = field.sourceSet;
  const float lifeSpan = 3.0f * field.constants.sourceLifetime;
  if (set.sourceCount > 0 && set.sources[0].age > lifeSpan) {
    const float retiredAge = set.sources[0].age;
    set.sourceCount -= 1;
    if (set.sourceCount == 0) {
      // The spawn clock carries on from the retired source's birth.
      set.spawnClock.Clear();
      set.spawnClock.Start(clock);
      set.spawnClock.Shift(retiredAge);
    } else {
      std::move(set.sources.begin() + 1, set.sources.begin() + set.sourceCount + 1, set.sources.begin());
    }
  }
  for (int i = 0; i < set.sourceCount; ++i) UpdateSource(set.sources[i], field, clock);
}

void AdvanceSources(WaveField& field, const MillisecondClock& clock, RandomGenerator& random) {
  DecideSpawn(field, clock, random);
  RetireAndUpdateSources(field, clock);
}

void ClearSources(SourceSet& set) { set.sourceCount = 0; }

void UpdateSource(RippleSource& s, const WaveField& field, const MillisecondClock& clock) {
  const RunConstants& c = field.constants;
  const float elapsed = s.clock.Elapsed(clock);
  if (field.draining != 0) {
    const float backward = 2.0f * s.forwardAge - elapsed;
    s.age = backward > 0.0f ? backward : 0.0f;
  } else {
    s.age = elapsed;
    s.forwardAge = elapsed;
  }
  const float t = s.age;

  const float x = t / c.fadeStartTime;
  s.envelope = x < 1.0f ? 1.0f : static_cast<float>(Exp(-5.0f * (x - 1.0f) * (x - 1.0f)));

  // Broadening stretches wave length and speed alike as the ripple travels.
  const float v = static_cast<float>(s.spawnSpeed);
  const float w = 1.0f + v * t * static_cast<float>(c.broadening) * 0.0001f;
  const float waveLength = w * s.spawnWaveLength;
  const float speed = w * v;
  s.effectiveWaveNumber = s.spawnWaveNumber / w;
  const float reach = speed * t;
  const float quarterWave = waveLength / 4.0f;
  s.frontDistance = reach - quarterWave;
  s.quarterWaveTime = speed > 0.0f ? quarterWave / speed : kInfinity;
  const float phi = s.effectiveWaveNumber * reach;
  const float psi = s.effectiveWaveNumber * s.frontDistance;

  const double e = s.envelope;
  const double b = c.oneSide ? static_cast<double>(kOneSideDecay) : 1.0;
  const double slope = kGridSpacing * static_cast<double>(s.effectiveWaveNumber);
  double sinPhi, cosPhi;
  SinCos(static_cast<double>(phi), sinPhi, cosPhi);

  // e^phi is only read while rising, where phi < pi/2; later it could overflow. It is kept up to the switch
  // to the travelling branch itself, where both branches meet.
  s.riseSin = t <= s.quarterWaveTime ? e * Exp(static_cast<double>(phi)) * sinPhi : 0.0;
  s.riseSinPhase = phi * s.riseSin;

  const double trailExponent = -static_cast<double>(c.spaceFadeRate) * s.frontDistance;
  const double leadExponent = b * psi;
  s.trailRebased = -trailExponent > kRebaseExponent;
  s.leadRebased = leadExponent > kRebaseExponent;
  s.trailExponentShift = s.trailRebased ? trailExponent : 0.0;
  s.leadExponentShift = s.leadRebased ? leadExponent : 0.0;
  const double trailScale = s.trailRebased ? 1.0 : Exp(trailExponent);
  const double leadScale = s.leadRebased ? 1.0 : Exp(leadExponent);

  s.trailLevel = e * trailScale;
  s.trailSin = e * sinPhi * trailScale;
  s.trailCos = e * cosPhi * trailScale;
  s.trailCosSlope = slope * s.trailCos;
  s.trailSinSlope = slope * s.trailSin;
  s.leadLevel = e * leadScale;
  s.leadLevelPhase = leadExponent * s.leadLevel;
  s.frontCos = e * cosPhi;
  s.leadLevelSlope = slope * s.leadLevel;
  s.leadLevelPhaseSlope = slope * s.leadLevelPhase;
  s.frontCosSlope = slope * s.frontCos;
}

}  // namespace lumar
