#include "config/slider_scales.h"

#include <gtest/gtest.h>

#include <set>

#include "resource_ids.h"
#include "settings/presets.h"

namespace lumar {
namespace {

ParameterSet Record(int32_t waveLength) {
  SettingsState s;
  ResetToDefaults(s);
  s.parameters.waveLength = waveLength;
  return s.parameters;
}

// Records that select each Geometry rule.
ParameterSet RuleA(int32_t wl, int32_t drops) {
  ParameterSet r = Record(wl);
  r.zSides = 1;
  r.fall = 0;
  r.drops = drops;
  return r;
}
ParameterSet RuleB(int32_t wl) {
  ParameterSet r = Record(wl);
  r.zSides = 0;
  return r;
}
ParameterSet RuleC(int32_t wl) {
  ParameterSet r = RuleB(wl);
  r.effect = kEffectAquarium;
  return r;
}
ParameterSet RuleD(int32_t wl) {
  ParameterSet r = RuleB(wl);
  r.view = kViewBottom;
  return r;
}

TEST(DependentBounds, WaveLength700) {
  const DependentBounds basis = ComputeDependentBounds(RuleB(700));
  EXPECT_EQ(basis.speedMax, 3500);
  EXPECT_EQ(basis.opticalMax, 1050);
  EXPECT_EQ(basis.lightMax, 116);
  EXPECT_EQ(basis.geometryMax, 700);
  EXPECT_EQ(ComputeDependentBounds(RuleC(700)).speedMax, 1166);
  EXPECT_EQ(ComputeDependentBounds(RuleC(700)).opticalMax, 1050);  // above 80 the view makes no difference
  EXPECT_EQ(ComputeDependentBounds(RuleA(700, 10)).geometryMax, 221);
  EXPECT_EQ(ComputeDependentBounds(RuleC(700)).geometryMax, 40);
  EXPECT_EQ(ComputeDependentBounds(RuleD(700)).geometryMax, 233);
}

TEST(DependentBounds, WaveLength40) {
  const DependentBounds basis = ComputeDependentBounds(RuleB(40));
  EXPECT_EQ(basis.speedMax, 1520);
  EXPECT_EQ(basis.opticalMax, 60);
  EXPECT_EQ(basis.lightMax, 6);
  EXPECT_EQ(basis.geometryMax, 20);
  EXPECT_EQ(ComputeDependentBounds(RuleC(40)).speedMax, 506);
  EXPECT_EQ(ComputeDependentBounds(RuleC(40)).opticalMax, 10);
  EXPECT_EQ(ComputeDependentBounds(RuleD(40)).opticalMax, 10);
  EXPECT_EQ(ComputeDependentBounds(RuleA(40, 10)).geometryMax, 6);
  // trunc(0.22 x 40 - 5.8) in single-precision constants is 2, not the 3 of exact decimals.
  EXPECT_EQ(ComputeDependentBounds(RuleC(40)).geometryMax, 2);
  EXPECT_EQ(ComputeDependentBounds(RuleD(40)).geometryMax, 2);
}

TEST(DependentBounds, SinglePrecisionConstantsInDoubleArithmetic) {
  // Reference: the same formula spelled out; exact decimal arithmetic would disagree at 40.
  for (int32_t wl = 40; wl <= 80; ++wl) {
    const double expected = static_cast<double>(0.22f) * wl - static_cast<double>(5.8f);
    EXPECT_EQ(GeometryBound(GeometryRule::Other, wl, 1), static_cast<int32_t>(expected)) << wl;
    EXPECT_EQ(GeometryBound(GeometryRule::Aquarium, wl, 1), static_cast<int32_t>(expected)) << wl;
  }
  EXPECT_EQ(GeometryBound(GeometryRule::Other, 40, 1), 2);
  // 0.047 x 700 + 7.24 = 40.14 and 0.047 x 81 + 7.24 = 11.047.
  EXPECT_EQ(GeometryBound(GeometryRule::Aquarium, 81, 1), 11);
}

TEST(DependentBounds, BottomViewThresholds) {
  EXPECT_EQ(ComputeDependentBounds(RuleD(300)).geometryMax, 100);
  EXPECT_EQ(ComputeDependentBounds(RuleD(251)).geometryMax, 83);
  EXPECT_EQ(ComputeDependentBounds(RuleD(250)).geometryMax, 62);
  EXPECT_EQ(ComputeDependentBounds(RuleD(81)).geometryMax, 20);
  EXPECT_EQ(ComputeDependentBounds(RuleD(80)).geometryMax, 11);
  // The optical bound drops to WL div 4 at 80 and below only for the bottom view or Aquarium.
  EXPECT_EQ(ComputeDependentBounds(RuleD(81)).opticalMax, 121);
  EXPECT_EQ(ComputeDependentBounds(RuleD(80)).opticalMax, 20);
  EXPECT_EQ(ComputeDependentBounds(RuleB(80)).opticalMax, 120);
}

TEST(DependentBounds, RulesAAndBTestEightyInclusive) {
  EXPECT_EQ(GeometryBound(GeometryRule::TopBasis, 80, 1), 80);
  EXPECT_EQ(GeometryBound(GeometryRule::TopBasis, 79, 1), 78);  // trunc(1.5 x 79 - 40)
  EXPECT_EQ(GeometryBound(GeometryRule::OneSideFallIn, 80, 4), 40);
  EXPECT_EQ(GeometryBound(GeometryRule::OneSideFallIn, 79, 4), 39);  // trunc((118.5 - 40) / 2)
}

TEST(DependentBounds, OneSideFallInFollowsDrops) {
  EXPECT_EQ(ComputeDependentBounds(RuleA(300, 1)).geometryMax, 300);
  EXPECT_EQ(ComputeDependentBounds(RuleA(300, 4)).geometryMax, 150);
  EXPECT_EQ(ComputeDependentBounds(RuleA(700, 1)).geometryMax, 700);
  EXPECT_EQ(ComputeDependentBounds(RuleA(700, 4)).geometryMax, 350);
}

TEST(DependentBounds, RuleOrder) {
  // Rule a wins over the Aquarium and bottom-view rules.
  ParameterSet r = RuleA(700, 1);
  r.effect = kEffectAquarium;
  r.view = kViewBottom;
  EXPECT_EQ(SelectGeometryRule(r), GeometryRule::OneSideFallIn);
  EXPECT_EQ(SelectGeometryRule(RuleB(700)), GeometryRule::TopBasis);
  EXPECT_EQ(SelectGeometryRule(RuleC(700)), GeometryRule::Aquarium);
  EXPECT_EQ(SelectGeometryRule(RuleD(700)), GeometryRule::Other);
  ParameterSet other = RuleB(700);
  other.effect = 2;
  EXPECT_EQ(SelectGeometryRule(other), GeometryRule::Other);
  EXPECT_EQ(ComputeDependentBounds(other).speedMax, 3500);  // only Aquarium divides by 3
}

TEST(DependentBounds, UncheckedRegistryValuesStayDefined) {
  // Drop rates below 1 count as 1 and huge wave lengths saturate; sanitizers watch for overflow.
  EXPECT_EQ(GeometryBound(GeometryRule::OneSideFallIn, 300, 0), 300);
  EXPECT_EQ(GeometryBound(GeometryRule::OneSideFallIn, 300, -7), 300);
  ParameterSet huge = RuleB(INT32_MAX);
  const DependentBounds b = ComputeDependentBounds(huge);
  EXPECT_EQ(b.speedMax, INT32_MAX);
  EXPECT_EQ(b.opticalMax, INT32_MAX);
  ParameterSet negative = RuleD(INT32_MIN);
  EXPECT_LT(ComputeDependentBounds(negative).geometryMax, 0);
}

TEST(SliderLabels, FormatsOfTheNineSliders) {
  EXPECT_EQ(FormatSliderLabel(Slider::Space, 25), " 0.50");
  EXPECT_EQ(FormatSliderLabel(Slider::Space, 50), " 1.00");
  EXPECT_EQ(FormatSliderLabel(Slider::Space, 0), " 0.00");
  EXPECT_EQ(FormatSliderLabel(Slider::Time, 1), " 0.001");
  EXPECT_EQ(FormatSliderLabel(Slider::Time, 1000), " 1.000");
  EXPECT_EQ(FormatSliderLabel(Slider::WaveLength, 700), "700");
  EXPECT_EQ(FormatSliderLabel(Slider::Speed, 1520), "1520");
  EXPECT_EQ(FormatSliderLabel(Slider::Geometry, 0), "0");
  EXPECT_EQ(FormatSliderLabel(LabelFormat::Integer, -1), "4294967295");  // "%u" of a stored -1
}

TEST(SliderDefinitions, IdsFieldsAndFixedRanges) {
  std::set<int> ids;
  for (const SliderDefinition& d : SliderDefinitions()) {
    EXPECT_EQ(&DefinitionOf(d.slider), &d);
    EXPECT_EQ(FindSliderById(d.sliderId), &d);
    ids.insert({d.sliderId, d.captionId, d.labelId});
  }
  EXPECT_EQ(ids.size(), 27u);
  EXPECT_EQ(FindSliderById(IDC_SPEED_LABEL), nullptr);
  ParameterSet r = RuleB(700);
  EXPECT_EQ(&(r.*DefinitionOf(Slider::Time).field), &r.timeFading);
  EXPECT_EQ(&(r.*DefinitionOf(Slider::Optical).field), &r.reliefOptical);
  struct Expected {
    Slider slider;
    int32_t min, max;
  };
  for (const Expected& e :
       {Expected{Slider::WaveLength, 40, 700}, Expected{Slider::Speed, 1, 3500},
        Expected{Slider::Drops, 1, 40}, Expected{Slider::Broadening, 0, 100}, Expected{Slider::Space, 0, 50},
        Expected{Slider::Time, 1, 1000}, Expected{Slider::Optical, 0, 1050}, Expected{Slider::Light, 0, 116},
        Expected{Slider::Geometry, 0, 700}}) {
    const SliderRange range = RangeOf(e.slider, r);
    EXPECT_EQ(range.min, e.min) << static_cast<int>(e.slider);
    EXPECT_EQ(range.max, e.max) << static_cast<int>(e.slider);
  }
  EXPECT_EQ(DefinitionOf(Slider::Time).format, LabelFormat::Thousandths);
  EXPECT_EQ(DefinitionOf(Slider::Space).format, LabelFormat::Fiftieths);
}

TEST(UpdateDependentRanges, ShrinkingRangeClampsPositionAndLabelButKeepsField) {
  ParameterSet r = RuleB(700);
  r.speed = 3500;
  r.waveLength = 40;
  const DependentSettings s = UpdateDependentRanges(r);
  EXPECT_EQ(s.speed.range.min, 1);
  EXPECT_EQ(s.speed.range.max, 1520);
  EXPECT_EQ(ClampToRange(s.speed.requestedPosition, s.speed.range), 1520);
  EXPECT_EQ(s.speed.label, "1520");
  EXPECT_EQ(r.speed, 3500);  // OK later stores the slider position, 1520
  EXPECT_EQ(s.geometry.range.max, 20);
  EXPECT_EQ(r.geometryMax, 20);
  EXPECT_EQ(s.optical.label, "60");
  EXPECT_EQ(s.light.label, "6");
}

TEST(UpdateDependentRanges, AquariumAtForty) {
  ParameterSet r = RuleC(40);
  const DependentSettings s = UpdateDependentRanges(r);
  EXPECT_EQ(s.speed.range.max, 506);
  EXPECT_EQ(s.geometry.range.min, 0);
  EXPECT_EQ(s.geometry.range.max, 2);
  EXPECT_EQ(r.geometryMax, 2);
}

TEST(UpdateDependentRanges, LabelShowsTheSmallerOfStoredAndBound) {
  ParameterSet r = RuleB(700);
  r.reliefLight = 20;
  EXPECT_EQ(UpdateDependentRanges(r).light.label, "20");
  r.reliefLight = 500;
  EXPECT_EQ(UpdateDependentRanges(r).light.label, "116");
}

TEST(GeometryAfterDropsMoved, OnlyUnderOneSideFallIn) {
  ParameterSet r = RuleA(700, 1);
  r.geometryMax = 0;
  r.reliefGeometry = 500;
  OptionalSliderSetting s = GeometryAfterDropsMoved(r);
  ASSERT_TRUE(s.has);
  EXPECT_EQ(s.setting.range.max, 700);
  r.drops = 4;
  s = GeometryAfterDropsMoved(r);
  ASSERT_TRUE(s.has);
  EXPECT_EQ(s.setting.range.max, 350);
  EXPECT_EQ(s.setting.label, "350");
  EXPECT_EQ(r.geometryMax, 350);

  ParameterSet top = RuleB(700);
  top.geometryMax = 123;
  EXPECT_FALSE(GeometryAfterDropsMoved(top).has);
  EXPECT_EQ(top.geometryMax, 123);
}

TEST(ClampToRange, TrackbarBehaviour) {
  EXPECT_EQ(ClampToRange(0, {1, 40}), 1);
  EXPECT_EQ(ClampToRange(41, {1, 40}), 40);
  EXPECT_EQ(ClampToRange(7, {1, 40}), 7);
}

TEST(DependentBounds, EveryPresetLiesInsideItsRanges) {
  for (const Preset& p : PresetTable()) {
    ParameterSet r = Record(700);
    SetEffectFields(r, p.fields);
    for (const SliderDefinition& d : SliderDefinitions()) {
      const SliderRange range = RangeOf(d.slider, r);
      EXPECT_GE(r.*d.field, range.min) << p.id;
      EXPECT_LE(r.*d.field, range.max) << p.id << " slider " << d.sliderId;
    }
  }
}

}  // namespace
}  // namespace lumar
