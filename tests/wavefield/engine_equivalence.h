// The frame engine against the node-by-node reference over many random frames, shared by the native
// tests and the Windows build's tests: random records (every preset, both calculations and views, the
// Aquarium filling and draining, broadening, fast waves, no space fading), random sources and ages.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render/vertex_fill.h"
#include "settings/presets.h"
#include "wavefield/field_fixture.h"
#include "wavefield/frame_engine.h"

namespace lumar {
namespace testing_support {

// The variants this processor runs; AVX2 is left out (with a note) where it is missing.
inline std::vector<SimdVariant> SupportedVariants() {
  std::vector<SimdVariant> variants{SimdVariant::kSse2};
  if (SimdVariantSupported(SimdVariant::kAvx2)) variants.push_back(SimdVariant::kAvx2);
  return variants;
}

inline const char* VariantName(SimdVariant v) { return v == SimdVariant::kAvx2 ? "AVX2" : "SSE2"; }

// Fills the grid with the reference and with the engine in each variant; an empty string when every
// byte agrees, else where they first differ.
inline std::string CompareWithReference(WaveField& field) {
  const size_t count = SurfaceVertexCount(field.constants);
  std::vector<SurfaceVertex> reference(count);
  std::vector<SurfaceVertex> engine(count);
  if (!FillSurfaceVerticesReference(field, reference.data(), count)) return "reference fill refused";
  for (SimdVariant variant : SupportedVariants()) {
    if (!field.engine.SelectVariant(variant)) return "variant refused";
    std::memset(engine.data(), 0xA5, count * sizeof(SurfaceVertex));
    if (!FillSurfaceVertices(field, engine.data(), count)) return "engine fill refused";
    for (size_t k = 0; k < count; ++k) {
      if (std::memcmp(&reference[k], &engine[k], sizeof(SurfaceVertex)) != 0) {
        const SurfaceVertex& r = reference[k];
        const SurfaceVertex& e = engine[k];
        std::ostringstream out;
        out.precision(17);
        out << VariantName(variant) << ": vertex " << k << " (column " << k / (field.constants.gridCellsY + 1)
            << ", row " << k % (field.constants.gridCellsY + 1) << "): reference z " << r.z << " n " << r.nx
            << "," << r.ny << " uv " << r.u << "," << r.v << "; engine z " << e.z << " n " << e.nx << ","
            << e.ny << " uv " << e.u << "," << e.v;
        return out.str();
      }
    }
  }
  return "";
}

// A deterministic source of random choices.
class Dice {
 public:
  explicit Dice(uint32_t seed) : engine_(seed) {}
  int Between(int low, int high) { return low + static_cast<int>(engine_() % uint32_t(high - low + 1)); }
  bool OneIn(int n) { return Between(1, n) == 1; }

 private:
  std::mt19937 engine_;
};

// A random record on a small screen: a preset, or random values within the dialog's ranges, with the
// cases the engine treats in their own way turning up often.
inline ParameterSet RandomRecord(Dice& dice) {
  ParameterSet r = DefaultRecord(static_cast<uint32_t>(dice.Between(60, 420)),
                                 static_cast<uint32_t>(dice.Between(50, 320)));
  if (!dice.OneIn(3)) {
    ApplyPreset(r, dice.Between(1, static_cast<int>(kPresetCount)));
  } else {
    r.waveLength = dice.Between(40, 700);
    r.speed = dice.OneIn(4) ? 3500 : dice.Between(1, 3 * r.waveLength + 1400);  // "Shiver"-like
    r.spaceFading = dice.OneIn(3) ? 0 : dice.Between(1, 50);
    r.timeFading = dice.Between(1, 1000);
    r.drops = dice.Between(1, 40);
    r.zSides = dice.Between(0, 1);
    r.optics = dice.Between(0, 1);
    r.fall = dice.Between(0, 1);
    r.calculation = dice.Between(0, 1);
    r.broadening = r.calculation == 0 && !dice.OneIn(3) ? dice.Between(1, 100) : 0;
    r.view = dice.Between(0, 1);
    r.reliefGeometry = dice.Between(0, 1000);
    r.reliefLight = dice.Between(0, 1000);
    r.reliefOptical = dice.Between(0, 1000);
  }
  if (dice.OneIn(4)) {
    r.calculation = 1 - r.calculation;
    if (r.calculation == 1) r.broadening = 0;
  }
  if (dice.OneIn(4)) r.effect = kEffectAquarium;
  r.texture = dice.Between(0, 2);
  return r;
}

// Replaces the sources by `count` random ones with random centres and ages up to `longestMs`.
inline void RandomSources(WaveField& field, Dice& dice, int count, uint32_t nowMs, uint32_t longestMs) {
  ClearSources(field.sourceSet);
  ManualClock clock(nowMs);
  RandomGenerator random(static_cast<uint32_t>(dice.Between(1, 30000)));
  for (int n = 0; n < count; ++n) {
    clock.Set(nowMs - static_cast<uint32_t>(dice.Between(0, static_cast<int>(longestMs))));
    SpawnSource(field, clock, random);
    RippleSource& s = field.sourceSet.sources[field.sourceSet.sourceCount - 1];
    s.nodeX = dice.Between(0, field.constants.gridCellsX);
    s.nodeY = dice.Between(0, field.constants.gridCellsY);
  }
  clock.Set(nowMs);
  for (int n = 0; n < field.sourceSet.sourceCount; ++n)
    UpdateSource(field.sourceSet.sources[n], field, clock);
}

// `records` random records, `frames` frames each: the first with random sources, the rest advancing the
// life cycle (spawns and retirements) with random frame times, the Aquarium's water level moving and
// sometimes draining. Returns the number of frames compared; fails the test at the first mismatch.
inline int CompareRandomFrames(uint32_t seed, int records, int frames) {
  Dice dice(seed);
  int compared = 0;
  for (int record = 0; record < records; ++record) {
    ParameterSet r = RandomRecord(dice);
    WaveField field;
    // Half the records on a desktop of the mode's own shape: square cells, where many offsets share a
    // distance.
    const bool ownShape = dice.OneIn(2);
    const DesktopSize desktop{static_cast<int>(r.screenWidth) + (ownShape ? 0 : dice.Between(0, 200)),
                              static_cast<int>(r.screenHeight) + (ownShape ? 0 : dice.Between(0, 100))};
    const ParameterSet chosen = r;
    if (PrepareWaveField(field, r, desktop, NoFiles) != SetupResult::Ok) {
      ADD_FAILURE() << "set-up refused record " << record;
      return compared;
    }
    const uint32_t lifeMs = static_cast<uint32_t>(std::min(3000.0f * field.constants.sourceLifetime, 4.0e6f));
    uint32_t now = 5000000;
    RandomSources(field, dice, dice.Between(0, kMaxSources), now, lifeMs);
    ManualClock clock(now);
    RandomGenerator random(static_cast<uint32_t>(record + 1));
    for (int frame = 0; frame < frames; ++frame) {
      if (field.constants.aquarium) {
        field.waterLevel = dice.Between(-1000, 1000) / 1000.0f;
        field.draining = dice.OneIn(3) ? 1 : 0;
      }
      if (frame > 0) {
        clock.Advance(static_cast<uint32_t>(dice.Between(1, dice.OneIn(5) ? 5000 : 60)));
        AdvanceSources(field, clock, random);
      }
      const std::string mismatch = CompareWithReference(field);
      if (!mismatch.empty()) {
        ADD_FAILURE() << "record " << record << " (preset " << MatchPreset(chosen) << ", calculation "
                      << chosen.calculation << ", view " << chosen.view << ", effect " << chosen.effect
                      << ", broadening " << chosen.broadening << ", " << chosen.screenWidth << "x"
                      << chosen.screenHeight << ") frame " << frame << ", " << field.sourceSet.sourceCount
                      << " sources: " << mismatch;
        return compared;
      }
      ++compared;
    }
  }
  return compared;
}

// A FarCrestRecord field (one side keeps more lead exponents within range): `count` sources with crests
// spread between 2500 and 5800 pixels out.
inline void FarCrestField(WaveField& field, int calculation, int zSides, int count) {
  Prepare(field, FarCrestRecord(calculation, zSides));
  ManualClock clock(100000);
  RandomGenerator random(3);
  Dice dice(static_cast<uint32_t>(17 + calculation * 2 + zSides));
  for (int n = 0; n < count; ++n) {
    clock.Set(100000 - static_cast<uint32_t>(2500 + 3300 * n / (count - 1)));
    SpawnSource(field, clock, random);
    RippleSource& s = field.sourceSet.sources[field.sourceSet.sourceCount - 1];
    s.nodeX = dice.Between(0, field.constants.gridCellsX);
    s.nodeY = dice.Between(0, field.constants.gridCellsY);
  }
  clock.Set(100000);
  for (int n = 0; n < field.sourceSet.sourceCount; ++n)
    UpdateSource(field.sourceSet.sources[n], field, clock);
}

}  // namespace testing_support
}  // namespace lumar
