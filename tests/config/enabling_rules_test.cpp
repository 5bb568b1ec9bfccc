#include "config/enabling_rules.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "resource_ids.h"

namespace lumar {
namespace {

std::set<int> AsSet(ControlIds ids) { return std::set<int>(ids.begin(), ids.end()); }

const std::set<int> kView{IDC_VIEW_GROUP, IDC_VIEW_TOP, IDC_VIEW_BOTTOM};
const std::set<int> kZSides{IDC_ZSIDES_GROUP, IDC_ZSIDES_ONE, IDC_ZSIDES_BOTH};
const std::set<int> kFall{IDC_FALL_GROUP, IDC_FALL_IN, IDC_FALL_OUT};
const std::set<int> kTexture{IDC_TEXTURE_LIST, IDC_TEXTURE_CAPTION, IDC_BROWSE};

std::set<int> Union(std::initializer_list<std::set<int>> sets) {
  std::set<int> all;
  for (const auto& s : sets) all.insert(s.begin(), s.end());
  return all;
}

TEST(EnablingRules, EffectRules) {
  const RuleControls basis = ControlsOf(EnablingRule::Basis);
  EXPECT_EQ(AsSet(basis.enables), Union({kTexture, kView, kZSides, kFall}));
  EXPECT_EQ(basis.disables.count, 0u);

  const RuleControls aquarium = ControlsOf(EnablingRule::Aquarium);
  EXPECT_EQ(aquarium.enables.count, 0u);
  EXPECT_EQ(AsSet(aquarium.disables), Union({kTexture, kView, kZSides, kFall}));

  const RuleControls other = ControlsOf(EnablingRule::OtherEffects);
  EXPECT_EQ(AsSet(other.enables), Union({kTexture, {IDC_SPEED_SLIDER, IDC_SPEED_CAPTION, IDC_SPEED_LABEL}}));
  EXPECT_EQ(AsSet(other.disables),
            Union({kZSides,
                   kFall,
                   {IDC_WAVE_LENGTH_SLIDER, IDC_WAVE_LENGTH_CAPTION, IDC_WAVE_LENGTH_LABEL},
                   {IDC_GEOMETRY_SLIDER, IDC_GEOMETRY_CAPTION, IDC_GEOMETRY_LABEL},
                   {IDC_CALCULATION_GROUP, IDC_CALCULATION_FAST, IDC_CALCULATION_NORMAL},
                   {IDC_OPTICS_GROUP, IDC_OPTICS_MIRROR, IDC_OPTICS_LENS}}));
}

TEST(EnablingRules, LockSparesBroadeningListsBoxesAndButtons) {
  const std::set<int> locked = AsSet(ControlsOf(EnablingRule::Lock).disables);
  EXPECT_EQ(locked.size(), 15u + 24u + 2u);  // five groups, eight sliders, two frames
  EXPECT_EQ(ControlsOf(EnablingRule::Lock).disables.count, locked.size());  // no id twice
  for (int id : {IDC_FADING_GROUP, IDC_RELIEF_GROUP, IDC_SPEED_LABEL, IDC_OPTICAL_CAPTION, IDC_VIEW_TOP,
                 IDC_CALCULATION_NORMAL, IDC_OPTICS_LENS, IDC_DROPS_SLIDER, IDC_TIME_LABEL}) {
    EXPECT_EQ(locked.count(id), 1u) << id;
  }
  for (int id : {IDC_BROADENING_SLIDER, IDC_BROADENING_CAPTION, IDC_BROADENING_LABEL, IDC_MODE_LIST,
                 IDC_COLOR_LIST, IDC_PRESET_LIST, IDC_EFFECT_LIST, IDC_TEXTURE_LIST, IDC_CURRENT_MODE,
                 IDC_SHOW_FPS, IDC_LINK_BUTTON, IDC_BROWSE, 1, 2}) {
    EXPECT_EQ(locked.count(id), 0u) << id;
  }
  EXPECT_EQ(ControlsOf(EnablingRule::Lock).enables.count, 0u);
  EXPECT_EQ(AsSet(ControlsOf(EnablingRule::Unlock).enables), locked);
  EXPECT_EQ(ControlsOf(EnablingRule::Unlock).disables.count, 0u);
}

TEST(EnablingRules, ApplyingLockThenUnlockRestoresEverything) {
  std::map<int, bool> enabled;
  const auto set = [&](int id, bool on) { enabled[id] = on; };
  ApplyEnablingRule(EnablingRule::Lock, set);
  for (const auto& [id, on] : enabled) EXPECT_FALSE(on) << id;
  ApplyEnablingRule(EnablingRule::Unlock, set);
  for (const auto& [id, on] : enabled) EXPECT_TRUE(on) << id;
  // Aquarium then Basis leaves the texture choice enabled again.
  ApplyEnablingRule(EnablingRule::Aquarium, set);
  EXPECT_FALSE(enabled[IDC_BROWSE]);
  ApplyEnablingRule(EnablingRule::Basis, set);
  EXPECT_TRUE(enabled[IDC_BROWSE]);
  EXPECT_TRUE(enabled[IDC_FALL_OUT]);
}

TEST(EnablingRules, EffectRuleForStoredEffects) {
  EnablingRule rule = EnablingRule::Lock;
  ASSERT_TRUE(EffectRule(0, rule));
  EXPECT_EQ(rule, EnablingRule::Basis);
  ASSERT_TRUE(EffectRule(1, rule));
  EXPECT_EQ(rule, EnablingRule::Aquarium);
  ASSERT_TRUE(EffectRule(2, rule));
  EXPECT_EQ(rule, EnablingRule::OtherEffects);
  ASSERT_TRUE(EffectRule(3, rule));
  EXPECT_EQ(rule, EnablingRule::OtherEffects);
  EXPECT_FALSE(EffectRule(4, rule));
  EXPECT_FALSE(EffectRule(-1, rule));
}

TEST(EnablingRules, FieldTiedControls) {
  EXPECT_EQ(AsSet(ModeListControls()), (std::set<int>{IDC_MODE_LIST, IDC_COLOR_LIST}));
  EXPECT_EQ(AsSet(BroadeningControls()),
            (std::set<int>{IDC_BROADENING_SLIDER, IDC_BROADENING_CAPTION, IDC_BROADENING_LABEL}));
  EXPECT_EQ(AsSet(ZSidesControls()), kZSides);
}

}  // namespace
}  // namespace lumar
