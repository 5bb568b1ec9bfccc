#include "settings/presets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace lumar {
namespace {

ParameterSet RecordWith(const EffectFields& fields) {
  SettingsState s;
  ResetToDefaults(s);
  SetEffectFields(s.parameters, fields);
  return s.parameters;
}

int32_t& FieldAt(EffectFields& f, int index) {
  int32_t* all[] = {&f.waveLength, &f.speed,         &f.broadening,  &f.spaceFading,    &f.timeFading,
                    &f.drops,      &f.reliefOptical, &f.reliefLight, &f.reliefGeometry, &f.texture,
                    &f.optics,     &f.zSides,        &f.fall,        &f.calculation,    &f.view};
  return *all[index];
}

TEST(PresetTable, IdsRunFromOneToThirtyFiveWithNamesButThirty) {
  const auto& table = PresetTable();
  for (std::size_t i = 0; i < kPresetCount; ++i) {
    EXPECT_EQ(table[i].id, static_cast<int>(i + 1));
    EXPECT_EQ(FindPreset(table[i].id), &table[i]);
    EXPECT_EQ(table[i].name == nullptr, table[i].id == 30) << table[i].id;
  }
  EXPECT_EQ(FindPreset(0), nullptr);
  EXPECT_EQ(FindPreset(36), nullptr);
  EXPECT_EQ(FindPreset(-1), nullptr);
  EXPECT_STREQ(FindPreset(20)->name, "Ghostes");
  EXPECT_STREQ(FindPreset(35)->name, "Metamorphosis");
}

TEST(PresetTable, RowsSpotCheckAgainstTheTable) {
  const EffectFields rain{40, 120, 15, 40, 400, 12, 10, 4, 1, 0, 0, 1, 1, 0, 0};
  const EffectFields kite{700, 47, 61, 0, 10, 20, 486, 0, 30, 0, 0, 0, 0, 0, 1};
  const EffectFields unnamed{501, 141, 0, 29, 80, 20, 159, 4, 2, 0, 0, 0, 0, 1, 1};
  EXPECT_EQ(FindPreset(1)->fields, rain);
  EXPECT_EQ(FindPreset(34)->fields, kite);
  EXPECT_EQ(FindPreset(30)->fields, unnamed);
  EXPECT_EQ(FindPreset(21)->fields.speed, 3500);  // "Shiver" at the top of its speed range
}

TEST(MatchPreset, EveryRowMatchesItselfAndOnlyItself) {
  for (const Preset& preset : PresetTable()) {
    EXPECT_EQ(MatchPreset(RecordWith(preset.fields)), preset.id);
    // Any single field off by one matches no row or another row, never this one.
    for (int field = 0; field < 15; ++field) {
      for (int delta : {-1, 1}) {
        EffectFields changed = preset.fields;
        FieldAt(changed, field) += delta;
        EXPECT_NE(MatchPreset(RecordWith(changed)), preset.id) << preset.id << " field " << field;
      }
    }
  }
}

TEST(MatchPreset, NeighbouringRowsAreTellApart) {
  EffectFields water = FindPreset(2)->fields;
  water.spaceFading = 10;
  EXPECT_EQ(MatchPreset(RecordWith(water)), 17);  // "Drops"
  EffectFields rain = FindPreset(1)->fields;
  rain.waveLength = 41;
  EXPECT_EQ(MatchPreset(RecordWith(rain)), 0);
  EffectFields metal = FindPreset(7)->fields;
  metal.texture = kTextureSky;
  EXPECT_EQ(MatchPreset(RecordWith(metal)), 18);  // "Mercury"
}

TEST(MatchPreset, OnlyTheFifteenFieldsCount) {
  ParameterSet r = RecordWith(FindPreset(12)->fields);
  r.effect = kEffectAquarium;
  r.geometryMax = 999;
  r.showFps = 1;
  r.presetId = 3;
  std::strcpy(r.textureFile, "D:\\pic.jpg");
  EXPECT_EQ(MatchPreset(r), 12);
}

TEST(ApplyPreset, SetsTheFifteenAndNothingElse) {
  ParameterSet r = RecordWith(FindPreset(5)->fields);
  std::strcpy(r.textureFile, "C:\\pictures\\mine.jpg");
  r.texture = kTextureFile;
  r.presetId = 0;
  r.effect = kEffectAquarium;
  ApplyPreset(r, 18);  // "Mercury" shows Sky even over a chosen picture file
  EXPECT_EQ(r.texture, kTextureSky);
  EXPECT_STREQ(r.textureFile, "C:\\pictures\\mine.jpg");
  EXPECT_EQ(r.presetId, 0);  // the caller sets it
  EXPECT_EQ(r.effect, kEffectAquarium);
  EXPECT_EQ(GetEffectFields(r), FindPreset(18)->fields);
}

TEST(ApplyPreset, CustomAndUnknownIdsChangeNothing) {
  ParameterSet r = RecordWith(FindPreset(5)->fields);
  r.waveLength = 333;  // edited by hand
  const ParameterSet before = r;
  for (int id : {0, 36, -3, 1000}) {
    ApplyPreset(r, id);
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << id;
  }
}

std::vector<std::string> Names(const PresetListEntry* begin, const PresetListEntry* end) {
  std::vector<std::string> names;
  for (auto* e = begin; e != end; ++e) names.push_back(e->name);
  return names;
}

TEST(PresetLists, FullListHasEveryNamedPresetOnceAndCustom) {
  const auto& list = FullPresetList();
  std::set<int> ids;
  for (const PresetListEntry& e : list) {
    EXPECT_TRUE(ids.insert(e.id).second) << e.id;
    if (e.id == 0) {
      EXPECT_STREQ(e.name, "Custom");
    } else {
      ASSERT_NE(FindPreset(e.id), nullptr);
      EXPECT_STREQ(e.name, FindPreset(e.id)->name);
    }
  }
  EXPECT_EQ(ids.size(), 35u);
  EXPECT_EQ(ids.count(30), 0u);
  // Order of adding: "Custom", "Rain", "Dali", ... "Star" last.
  EXPECT_EQ(list[0].id, 0);
  EXPECT_EQ(list[2].id, 27);
  EXPECT_EQ(list[26].id, 25);  // "Flag" after "Swing"
  EXPECT_EQ(list[34].id, 8);
  // The list control sorts them into the order the user sees.
  auto names = Names(std::begin(list), std::end(list));
  std::sort(names.begin(), names.end());
  const std::vector<std::string> shown = {
      "Ameba",       "Antes", "Breeze", "Bubbles", "Clipping", "Crests",    "Custom",
      "Dali",        "Drops", "Film",   "Fingers", "Flag",     "Fungi",     "Ghostes",
      "Glass",       "Hills", "Kite",   "Medusa",  "Mercury",  "Metal",     "Metamorphosis",
      "Protoplasma", "Rain",  "River",  "Shiver",  "Solaris",  "Something", "Star",
      "Storm",       "Surf",  "Surge",  "Swamp",   "Swing",    "Tsunami",   "Water"};
  EXPECT_EQ(names, shown);
}

TEST(PresetLists, ShortListIsCustomRainWaterDrops) {
  const auto& list = ShortPresetList();
  EXPECT_EQ(Names(std::begin(list), std::end(list)),
            (std::vector<std::string>{"Custom", "Rain", "Water", "Drops"}));
  EXPECT_EQ(list[3].id, 17);
  auto names = Names(std::begin(list), std::end(list));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names[2], "Rain");  // "Rain" sits at position 2 of the sorted list
}

}  // namespace
}  // namespace lumar
