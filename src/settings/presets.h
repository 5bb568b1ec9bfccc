// The preset table: named, fixed combinations of the fifteen effect fields, and the two preset lists the
// configuration dialog fills (the full list for Basis, the short one for Aquarium).
#pragma once

#include <cstddef>

#include "settings/parameter_set.h"

namespace lumar {

struct Preset {
  int id;
  const char* name;  // nullptr for the unnamed row 30
  EffectFields fields;
};

struct PresetListEntry {
  const char* name;
  int id;  // the entry's item data
};

constexpr int kCustomPresetId = 0;
constexpr int kTsunamiPresetId = 28;
constexpr std::size_t kPresetCount = 35;

// Rows 1 to 35 in id order.
const Preset (&PresetTable())[kPresetCount];

// The row with this id, or nullptr (0 "Custom" and unknown ids have none).
const Preset* FindPreset(int id);

// Copies the row's fifteen values into the record; "Custom" and unknown ids change nothing.
// presetId is left to the caller.
void ApplyPreset(ParameterSet& record, int id);

// The machine's default look over the defaults: a named preset's id and fields; 0, the unnamed row and
// unknown ids change nothing.
void ApplyMachineDefault(ParameterSet& record, int id);

// The id of the row whose fifteen values equal the record's exactly, or 0 when none does.
int MatchPreset(const ParameterSet& record);

// The dialog's Preset list contents in the order they are added (the list control sorts them).
constexpr std::size_t kFullPresetListSize = 35;
constexpr std::size_t kShortPresetListSize = 4;
const PresetListEntry (&FullPresetList())[kFullPresetListSize];
const PresetListEntry (&ShortPresetList())[kShortPresetListSize];

}  // namespace lumar
