// One fixed run of every preset at 1920 x 1080 and the checksum of all its vertices, shared by the native
// tests and the Windows build's tests: both must give kFixedRunChecksum, so the two builds (their
// compilers, run-time libraries and instruction sets) give the same vertices to the bit.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "render/vertex_fill.h"
#include "settings/presets.h"
#include "wavefield/field_fixture.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace testing_support {

// Update only with a change that is meant to move the field's bits, and say so in the commit.
constexpr uint64_t kFixedRunChecksum = 0x0665B3297BA61A71u;

// Per preset: 60 s of life at 10 frames a second without drawing, then kFixedRunFrames frames at 30 frames
// a second, each filled and hashed (1050 frames in all).
constexpr int kFixedRunFrames = 30;

// FNV-1a over bytes.
inline uint64_t HashBytes(uint64_t hash, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (std::size_t k = 0; k < size; ++k) hash = (hash ^ bytes[k]) * 0x100000001B3u;
  return hash;
}

// The checksum of the fixed run; `vertexCount` counts the vertices hashed.
inline uint64_t FixedRunChecksum(uint64_t& vertexCount) {
  uint64_t hash = 0xCBF29CE484222325u;
  vertexCount = 0;
  for (const Preset& preset : PresetTable()) {
    ParameterSet record = DefaultRecord(1920, 1080);
    ApplyPreset(record, preset.id);
    WaveField field;
    Prepare(field, record);
    if (field.tables.empty()) return 0;
    ManualClock clock(1000);
    RandomGenerator random(static_cast<uint32_t>(preset.id));
    RunFrames(field, clock, random, 600, 100);
    std::vector<SurfaceVertex> vertices(SurfaceVertexCount(field.constants));
    for (int frame = 0; frame < kFixedRunFrames; ++frame) {
      clock.Advance(33);
      AdvanceSources(field, clock, random);
      if (!FillSurfaceVertices(field, vertices.data(), vertices.size())) return 0;
      hash = HashBytes(hash, vertices.data(), vertices.size() * sizeof(SurfaceVertex));
      vertexCount += vertices.size();
    }
  }
  return hash;
}

}  // namespace testing_support
}  // namespace lumar
