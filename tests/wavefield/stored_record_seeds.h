// Starting points for the stored-record runs: every preset row as the dialog would save it, each field
// the run reads at its extremes, values of odd lengths and odd desktops. Each is a StoredRecordRun input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "settings/presets.h"
#include "wavefield/stored_record_run.h"

namespace lumar::test {

// The record as the dialog's OK saves it on the check's machine, for a desktop and mode of this size.
inline ParameterSet SavedRecord(uint16_t width, uint16_t height) {
  SettingsState settings;
  ResetToDefaults(settings);
  ParameterSet& r = settings.parameters;
  r.screenWidth = r.savedDesktopWidth = width;
  r.screenHeight = r.savedDesktopHeight = height;
  r.screenRefresh = r.savedDesktopRefresh = kMachineRefresh;
  r.screenFormat = r.savedDesktopFormat = kFormatX8R8G8B8;
  r.useCurrentMode = 1;
  MachineIdentifier(r.adapterIdentifier);
  return r;
}

inline std::vector<uint8_t> SeedOf(const ParameterSet& record, uint16_t width, uint16_t height) {
  return RecordRunInput(width, height, &record, sizeof record);
}

// The byte offsets of the fields a run reads.
inline const std::vector<std::size_t>& RunFieldOffsets() {
  static const std::vector<std::size_t> offsets = {
      offsetof(ParameterSet, waveLength),    offsetof(ParameterSet, speed),
      offsetof(ParameterSet, spaceFading),   offsetof(ParameterSet, timeFading),
      offsetof(ParameterSet, drops),         offsetof(ParameterSet, reliefOptical),
      offsetof(ParameterSet, reliefLight),   offsetof(ParameterSet, reliefGeometry),
      offsetof(ParameterSet, geometryMax),   offsetof(ParameterSet, optics),
      offsetof(ParameterSet, zSides),        offsetof(ParameterSet, fall),
      offsetof(ParameterSet, calculation),   offsetof(ParameterSet, broadening),
      offsetof(ParameterSet, texture),       offsetof(ParameterSet, effect),
      offsetof(ParameterSet, view),          offsetof(ParameterSet, screenWidth),
      offsetof(ParameterSet, screenHeight),  offsetof(ParameterSet, screenFormat),
      offsetof(ParameterSet, showOrangeBar),
  };
  return offsets;
}

// The extremes of a 32-bit field, signed and unsigned alike.
constexpr uint32_t kExtremeWords[] = {0x80000000u, 0xFFFFFFFFu, 0u, 1u, 0x7FFFFFFFu};

inline void SetWord(ParameterSet& record, std::size_t offset, uint32_t word) {
  std::memcpy(reinterpret_cast<uint8_t*>(&record) + offset, &word, sizeof word);
}

inline std::vector<std::vector<uint8_t>> StoredRecordSeeds() {
  std::vector<std::vector<uint8_t>> seeds;
  // Every preset row; the Aquarium's rows also in the Aquarium.
  constexpr uint16_t kPresetWidth = 200, kPresetHeight = 150;
  for (const Preset& preset : PresetTable()) {
    ParameterSet r = SavedRecord(kPresetWidth, kPresetHeight);
    ApplyPreset(r, preset.id);
    r.presetId = preset.id;
    seeds.push_back(SeedOf(r, kPresetWidth, kPresetHeight));
  }
  for (const PresetListEntry& entry : ShortPresetList()) {
    ParameterSet r = SavedRecord(kPresetWidth, kPresetHeight);
    r.effect = kEffectAquarium;
    ApplyPreset(r, entry.id);
    seeds.push_back(SeedOf(r, kPresetWidth, kPresetHeight));
  }

  // Each field at its extremes, over the defaults (both sides) and over one side with the fall out, where
  // the bar's depth grows with drops x reliefGeometry.
  constexpr uint16_t kSmallWidth = 80, kSmallHeight = 60;
  ParameterSet oneSideOut = SavedRecord(kSmallWidth, kSmallHeight);
  oneSideOut.zSides = 1;
  oneSideOut.fall = 1;
  for (const ParameterSet& base : {SavedRecord(kSmallWidth, kSmallHeight), oneSideOut}) {
    for (std::size_t offset : RunFieldOffsets()) {
      for (uint32_t word : kExtremeWords) {
        ParameterSet r = base;
        SetWord(r, offset, word);
        seeds.push_back(SeedOf(r, kSmallWidth, kSmallHeight));
      }
    }
  }
  // A damaged record: a huge drop rate under a deep one-sided relief.
  ParameterSet deep = oneSideOut;
  deep.drops = 4587580;
  deep.reliefGeometry = 768;
  seeds.push_back(SeedOf(deep, kSmallWidth, kSmallHeight));

  // A full source set: a drop rate at the top of int range, ripples that live 1000 s.
  ParameterSet crowded = SavedRecord(kSmallWidth, kSmallHeight);
  crowded.drops = 0x7FFFFFFF;
  crowded.timeFading = 1;
  seeds.push_back(SeedOf(crowded, kSmallWidth, kSmallHeight));

  // Values of other lengths: empty, cut short, one byte too long.
  const ParameterSet whole = SavedRecord(kSmallWidth, kSmallHeight);
  for (std::size_t length : {std::size_t{0}, std::size_t{100}, sizeof whole - 1}) {
    seeds.push_back(RecordRunInput(kSmallWidth, kSmallHeight, &whole, length));
  }
  std::vector<uint8_t> longer(sizeof whole + 1, 0);
  std::memcpy(longer.data(), &whole, sizeof whole);
  seeds.push_back(RecordRunInput(kSmallWidth, kSmallHeight, longer.data(), longer.size()));

  // A picture path without its terminating NUL, chosen as the picture.
  ParameterSet unterminated = whole;
  std::memset(unterminated.textureFile, 'x', sizeof unterminated.textureFile);
  unterminated.texture = kTextureFile;
  seeds.push_back(SeedOf(unterminated, kSmallWidth, kSmallHeight));

  // Desktops far from the mode, and desktops the set-up refuses.
  const uint16_t desktops[][2] = {{1, 1}, {8192, 8192}, {8193, 60}, {0, 60}, {65535, 65535}};
  for (const auto& d : desktops) {
    ParameterSet r = whole;
    r.savedDesktopWidth = d[0];
    r.savedDesktopHeight = d[1];
    seeds.push_back(SeedOf(r, d[0], d[1]));
  }
  return seeds;
}

}  // namespace lumar::test
