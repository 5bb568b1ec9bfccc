// The preset table and the dialog's preset lists.
#include "settings/presets.h"

namespace lumar {

namespace {

// Columns: waveLength, speed, broadening, spaceFading, timeFading, drops, reliefOptical, reliefLight,
// reliefGeometry, texture, optics, zSides, fall, calculation, view.
// clang-format off
const Preset kPresets[kPresetCount] = {
      {1, "Rain", {40, 120, 15, 40, 400, 12, 10, 4, 1, 0, 0, 1, 1, 0, 0}},
      {2, "Water", {150, 200, 0, 1, 80, 7, 10, 6, 1, 0, 0, 1, 1, 1, 0}},
      {3, "Film", {200, 200, 0, 1, 80, 7, 0, 10, 35, 0, 1, 0, 1, 1, 0}},
      {4, "Protoplasma", {115, 50, 0, 2, 40, 6, 45, 1, 6, 0, 0, 0, 0, 1, 0}},
      {5, "Clipping", {700, 75, 0, 0, 10, 10, 400, 70, 320, 0, 1, 0, 1, 1, 0}},
      {6, "Surge", {700, 75, 0, 1, 10, 10, 1000, 70, 150, 0, 1, 0, 1, 1, 0}},
      {7, "Metal", {120, 75, 0, 2, 60, 7, 50, 0, 15, 1, 1, 1, 0, 1, 0}},
      {8, "Star", {280, 60, 0, 8, 80, 20, 106, 25, 160, 1, 0, 0, 1, 1, 0}},
      {9, "Glass", {120, 50, 0, 1, 80, 7, 20, 15, 15, 0, 0, 0, 1, 1, 0}},
      {10, "Fingers", {200, 10, 0, 50, 200, 40, 220, 33, 140, 0, 1, 0, 0, 1, 0}},
      {11, "Something", {200, 10, 0, 50, 100, 40, 220, 33, 140, 0, 1, 0, 0, 1, 0}},
      {12, "Medusa", {280, 20, 0, 50, 80, 20, 220, 33, 195, 0, 0, 0, 1, 1, 0}},
      {13, "Storm", {280, 380, 0, 8, 80, 20, 100, 25, 35, 0, 0, 1, 0, 1, 0}},
      {14, "Breeze", {280, 380, 0, 8, 80, 20, 2, 4, 1, 0, 0, 1, 0, 1, 0}},
      {15, "Ameba", {280, 180, 0, 8, 80, 20, 100, 25, 50, 0, 0, 1, 1, 1, 0}},
      {16, "Bubbles", {200, 40, 0, 50, 800, 40, 100, 30, 3, 0, 1, 0, 1, 1, 0}},
      {17, "Drops", {150, 200, 0, 10, 80, 7, 10, 6, 1, 0, 0, 1, 1, 1, 0}},
      {18, "Mercury", {120, 75, 0, 2, 60, 7, 50, 0, 15, 2, 1, 1, 0, 1, 0}},
      {19, "Swamp", {700, 500, 0, 50, 200, 20, 90, 30, 3, 0, 1, 0, 0, 1, 0}},
      {20, "Ghostes", {700, 200, 0, 1, 80, 7, 10, 116, 1, 0, 0, 1, 1, 1, 0}},
      {21, "Shiver", {700, 3500, 0, 1, 80, 7, 6, 0, 1, 0, 0, 1, 1, 1, 0}},
      {22, "Antes", {150, 1, 0, 25, 1, 12, 50, 20, 10, 0, 1, 1, 0, 1, 0}},
      {23, "River", {200, 450, 0, 50, 1000, 40, 40, 20, 2, 0, 1, 0, 1, 1, 0}},
      {24, "Solaris", {280, 20, 0, 50, 80, 25, 400, 33, 2, 0, 0, 0, 1, 1, 0}},
      {25, "Flag", {302, 72, 0, 1, 80, 7, 0, 0, 15, 0, 0, 0, 1, 1, 0}},
      {26, "Swing", {700, 75, 100, 0, 10, 10, 400, 70, 320, 0, 1, 0, 1, 0, 0}},
      {27, "Dali", {700, 75, 0, 1, 40, 10, 400, 0, 0, 0, 1, 0, 1, 1, 1}},
      {28, "Tsunami", {700, 75, 0, 1, 10, 10, 497, 70, 74, 0, 1, 0, 1, 1, 1}},
      {29, "Surf", {280, 180, 0, 8, 80, 10, 50, 46, 9, 0, 0, 0, 1, 1, 1}},
      {30, nullptr, {501, 141, 0, 29, 80, 20, 159, 4, 2, 0, 0, 0, 0, 1, 1}},
      {31, "Hills", {360, 10, 0, 50, 200, 40, 447, 33, 83, 0, 0, 0, 0, 1, 1}},
      {32, "Crests", {200, 200, 0, 1, 80, 7, 0, 10, 16, 0, 1, 0, 1, 1, 1}},
      {33, "Fungi", {280, 20, 0, 50, 80, 25, 420, 33, 24, 0, 0, 0, 1, 1, 1}},
      {34, "Kite", {700, 47, 61, 0, 10, 20, 486, 0, 30, 0, 0, 0, 0, 0, 1}},
      {35, "Metamorphosis", {150, 75, 81, 0, 10, 20, 225, 25, 30, 0, 1, 0, 1, 0, 1}},
};

const PresetListEntry kFullList[kFullPresetListSize] = {
      {"Custom", 0},
      {"Rain", 1},
      {"Dali", 27},
      {"Water", 2},
      {"Drops", 17},
      {"Film", 3},
      {"Protoplasma", 4},
      {"Clipping", 5},
      {"Surge", 6},
      {"Metal", 7},
      {"Glass", 9},
      {"Fingers", 10},
      {"Something", 11},
      {"Medusa", 12},
      {"Storm", 13},
      {"Breeze", 14},
      {"Ameba", 15},
      {"Bubbles", 16},
      {"Mercury", 18},
      {"Swamp", 19},
      {"Ghostes", 20},
      {"Shiver", 21},
      {"Antes", 22},
      {"River", 23},
      {"Solaris", 24},
      {"Swing", 26},
      {"Flag", 25},
      {"Tsunami", 28},
      {"Surf", 29},
      {"Kite", 34},
      {"Metamorphosis", 35},
      {"Hills", 31},
      {"Crests", 32},
      {"Fungi", 33},
      {"Star", 8},
};

const PresetListEntry kShortList[kShortPresetListSize] = {
      {"Custom", 0}, {"Rain", 1}, {"Water", 2}, {"Drops", 17},
};
// clang-format on

}  // namespace

const Preset (&PresetTable())[kPresetCount] { return kPresets; }

const PresetListEntry (&FullPresetList())[kFullPresetListSize] { return kFullList; }

const PresetListEntry (&ShortPresetList())[kShortPresetListSize] { return kShortList; }

const Preset* FindPreset(int id) {
  if (id < 1 || id > static_cast<int>(kPresetCount)) return nullptr;
  return &kPresets[id - 1];
}

void ApplyPreset(ParameterSet& record, int id) {
  if (const Preset* preset = FindPreset(id)) SetEffectFields(record, preset->fields);
}

void ApplyMachineDefault(ParameterSet& record, int id) {
  const Preset* preset = FindPreset(id);
  if (!preset || !preset->name) return;
  record.presetId = id;
  SetEffectFields(record, preset->fields);
}

int MatchPreset(const ParameterSet& record) {
  const EffectFields current = GetEffectFields(record);
  for (const Preset& preset : kPresets) {
    if (preset.fields == current) return preset.id;
  }
  return kCustomPresetId;
}

}  // namespace lumar
