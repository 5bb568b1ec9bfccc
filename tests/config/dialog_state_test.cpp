#include "config/dialog_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/dialog_texts.h"
#include "config/slider_scales.h"
#include "config/user_guide.h"
#include "resource_ids.h"
#include "settings/presets.h"

namespace lumar {
namespace {

ParameterSet Defaults() {
  SettingsState s;
  ResetToDefaults(s);
  return s.parameters;
}

TEST(PresetList, OpeningAndClosingWithoutChoiceReselectsCustom) {
  DialogState state;
  PresetListOpened(state, kCustomPresetId);
  EXPECT_TRUE(PresetListClosed(state));
  // A named preset shown: the list keeps it by itself.
  PresetListOpened(state, 5);
  EXPECT_FALSE(PresetListClosed(state));
}

TEST(PresetList, ChoosingWhileOpenKeepsTheChoice) {
  DialogState state;
  ParameterSet r = Defaults();
  PresetListOpened(state, kCustomPresetId);
  ChoosePreset(state, r, 9);
  EXPECT_FALSE(PresetListClosed(state));
  EXPECT_FALSE(state.selectionMadeInDropDown);  // cleared for the next opening
  PresetListOpened(state, 9);
  EXPECT_FALSE(PresetListClosed(state));
}

TEST(PresetList, AChoiceOnTheClosedListDoesNotCountForTheNextOpening) {
  DialogState state;
  ParameterSet r = Defaults();
  ChoosePreset(state, r, 9);  // arrow keys on the closed list: no opening, no closing
  PresetListOpened(state, kCustomPresetId);
  EXPECT_TRUE(PresetListClosed(state));
}

TEST(ChoosePreset, TsunamiLocksAndAnotherUnlocks) {
  DialogState state;
  ParameterSet r = Defaults();
  PresetChoice c = ChoosePreset(state, r, kTsunamiPresetId);
  EXPECT_EQ(c.lock, LockChange::Lock);
  EXPECT_TRUE(c.viewChanged);  // Tsunami looks from the bottom
  EXPECT_TRUE(state.allControlsLocked);
  EXPECT_EQ(r.presetId, 28);
  EXPECT_EQ(r.reliefOptical, 497);
  EXPECT_EQ(r.view, kViewBottom);

  c = ChoosePreset(state, r, 27);  // "Dali", also from the bottom
  EXPECT_EQ(c.lock, LockChange::Unlock);
  EXPECT_FALSE(c.viewChanged);
  EXPECT_FALSE(state.allControlsLocked);
  EXPECT_EQ(MatchPreset(r), 27);

  c = ChoosePreset(state, r, 5);
  EXPECT_EQ(c.lock, LockChange::None);
  EXPECT_TRUE(c.viewChanged);
}

TEST(ChoosePreset, CustomChangesNoEffectField) {
  DialogState state;
  ParameterSet r = Defaults();
  r.speed = 333;
  ChoosePreset(state, r, kCustomPresetId);
  EXPECT_EQ(r.speed, 333);
  EXPECT_EQ(r.presetId, 0);
}

TEST(ChooseEffect, AquariumAppliesRainAndNarrowsSpeed) {
  ParameterSet r = Defaults();
  EffectChoice c = ChooseEffect(r, kEffectAquarium);
  ASSERT_TRUE(c.changed);
  EXPECT_FALSE(c.fullPresetList);
  EXPECT_TRUE(c.selectRain);
  EXPECT_EQ(c.rule, EnablingRule::Aquarium);
  EXPECT_EQ(r.effect, kEffectAquarium);
  EXPECT_EQ(r.presetId, 1);
  EXPECT_EQ(r.waveLength, 40);
  EXPECT_EQ(r.zSides, 1);  // as "Rain" has it, and as its button shows
  EXPECT_EQ(RangeOf(Slider::Speed, r).max, 506);
  EXPECT_EQ(RangeOf(Slider::Geometry, r).max, 2);

  EXPECT_FALSE(ChooseEffect(r, kEffectAquarium).changed);  // the same effect again: nothing
}

TEST(ChooseEffect, BasisForcesTopViewAndReappliesThePreset) {
  ParameterSet r = Defaults();
  ChooseEffect(r, kEffectAquarium);
  r.presetId = 17;  // "Drops" chosen under Aquarium
  r.view = kViewBottom;
  const EffectChoice c = ChooseEffect(r, kEffectBasis);
  ASSERT_TRUE(c.changed);
  EXPECT_TRUE(c.fullPresetList);
  EXPECT_FALSE(c.selectRain);
  EXPECT_EQ(c.rule, EnablingRule::Basis);
  EXPECT_EQ(r.effect, kEffectBasis);
  EXPECT_EQ(r.view, kViewTop);
  EXPECT_EQ(MatchPreset(r), 17);
  EXPECT_FALSE(ChooseEffect(r, 2).changed);  // the list offers no third effect
}

TEST(ClickRadio, BottomThenTopRestoresZSides) {
  DialogState state;
  ParameterSet r = Defaults();
  r.zSides = 1;
  RadioOutcome o = ClickRadio(state, r, IDC_VIEW_BOTTOM);
  EXPECT_TRUE(o.updateRanges);
  EXPECT_EQ(o.zSidesEnabled, 0);
  EXPECT_EQ(r.view, kViewBottom);
  EXPECT_EQ(r.zSides, 0);
  // A second click on "bottom" must not forget the remembered value.
  ClickRadio(state, r, IDC_VIEW_BOTTOM);
  o = ClickRadio(state, r, IDC_VIEW_TOP);
  EXPECT_EQ(o.zSidesEnabled, 1);
  EXPECT_EQ(r.view, kViewTop);
  EXPECT_EQ(r.zSides, 1);
  // "top" while already top keeps zSides.
  ClickRadio(state, r, IDC_VIEW_TOP);
  EXPECT_EQ(r.zSides, 1);
}

TEST(ClickRadio, GeometryRuleChangesOnlyBetweenOneSideFallInAndTheRest) {
  DialogState state;
  ParameterSet r = Defaults();                                           // both sides, fall out
  EXPECT_FALSE(ClickRadio(state, r, IDC_ZSIDES_ONE).recomputeGeometry);  // fall out: still rule b
  EXPECT_TRUE(ClickRadio(state, r, IDC_FALL_IN).recomputeGeometry);      // one side: now rule a
  EXPECT_EQ(SelectGeometryRule(r), GeometryRule::OneSideFallIn);
  EXPECT_TRUE(ClickRadio(state, r, IDC_ZSIDES_BOTH).recomputeGeometry);  // fall in: back to rule b
  EXPECT_FALSE(ClickRadio(state, r, IDC_FALL_OUT).recomputeGeometry);    // both sides: stays
  EXPECT_EQ(r.zSides, 0);
  EXPECT_EQ(r.fall, 1);
}

TEST(ClickRadio, CalculationOpticsAndUnknownIds) {
  DialogState state;
  ParameterSet r = Defaults();
  r.broadening = 40;
  RadioOutcome o = ClickRadio(state, r, IDC_CALCULATION_NORMAL);
  EXPECT_EQ(o.broadeningEnabled, 1);
  EXPECT_EQ(BroadeningShown(r), 40);
  o = ClickRadio(state, r, IDC_CALCULATION_FAST);
  EXPECT_EQ(o.broadeningEnabled, 0);
  EXPECT_EQ(BroadeningShown(r), 0);
  EXPECT_EQ(r.broadening, 40);  // kept until OK stores the slider position
  ClickRadio(state, r, IDC_OPTICS_LENS);
  EXPECT_EQ(r.optics, 0);
  ClickRadio(state, r, IDC_OPTICS_MIRROR);
  EXPECT_EQ(r.optics, 1);
  EXPECT_FALSE(ClickRadio(state, r, IDC_SHOW_FPS).handled);
}

TEST(RadioPairsAndCheckBoxes, MapFieldsToButtons) {
  ParameterSet r = Defaults();
  int fields = 0;
  for (const RadioPair& p : RadioPairs()) {
    EXPECT_NE(p.buttonForOne, p.buttonForZero);
    if (&(r.*p.field) == &r.fall) {
      EXPECT_EQ(p.buttonForOne, IDC_FALL_OUT);
      ++fields;
    }
    if (&(r.*p.field) == &r.view) {
      EXPECT_EQ(p.buttonForOne, IDC_VIEW_BOTTOM);
      ++fields;
    }
    if (&(r.*p.field) == &r.optics) {
      EXPECT_EQ(p.buttonForOne, IDC_OPTICS_MIRROR);
      ++fields;
    }
  }
  EXPECT_EQ(fields, 3);
  EXPECT_EQ(&(r.*CheckBoxes()[0].field), &r.showOrangeBar);
  EXPECT_EQ(CheckBoxes()[3].button, IDC_CURRENT_MODE);
}

TEST(TextureAfterListing, MissingPictureFallsBackToDesktop) {
  EXPECT_EQ(TextureAfterListing(3, UserPicture::Missing), 0);
  EXPECT_EQ(TextureAfterListing(3, UserPicture::None), 0);  // texture 3 with no path at all
  EXPECT_EQ(TextureAfterListing(2, UserPicture::Missing), 2);
  EXPECT_EQ(TextureAfterListing(3, UserPicture::Listed), 3);
  EXPECT_EQ(TextureAfterListing(3, UserPicture::Untitled), 3);  // kept, as stored
}

AdapterModeLists TwoFormats() {
  AdapterModeLists lists;
  lists.modesX8R8G8B8 = {{800, 600, 60, 22}, {1024, 768, 75, 22}};
  lists.modesR5G6B5 = {{640, 480, 60, 23}, {1024, 768, 60, 23}};
  lists.foundFormats = {22, 23};
  return lists;
}

TEST(ScreenMode, ColorKeepsTheSizeOrTakesTheFirstMode) {
  const AdapterModeLists lists = TwoFormats();
  ParameterSet r = Defaults();
  UseDesktopMode(r, {1024, 768, 85, 22});
  EXPECT_EQ(ColorPosition(lists, 22), 0);
  EXPECT_EQ(ColorPosition(lists, 35), -1);
  EXPECT_EQ(ChooseColorFormat(r, lists, 1), 1);
  EXPECT_EQ(r.screenFormat, 23);
  EXPECT_EQ(r.screenRefresh, 85u);  // same size: the refresh rate stays

  UseDesktopMode(r, {800, 600, 60, 22});
  EXPECT_EQ(ChooseColorFormat(r, lists, 1), 0);  // no 800 x 600 in R5G6B5
  EXPECT_EQ(r.screenWidth, 640u);
  EXPECT_EQ(r.screenHeight, 480u);
  EXPECT_EQ(r.screenFormat, 23);
  EXPECT_EQ(ChooseColorFormat(r, lists, 2), -1);

  ASSERT_TRUE(ChooseMode(r, lists, 1));
  EXPECT_EQ(r.screenWidth, 1024u);
  EXPECT_EQ(r.screenRefresh, 60u);
  EXPECT_FALSE(ChooseMode(r, lists, 2));
}

TEST(ScreenMode, ColorWithAnEmptyListChangesOnlyTheFormat) {
  AdapterModeLists lists = TwoFormats();
  lists.foundFormats.push_back(35);
  ParameterSet r = Defaults();
  UseDesktopMode(r, {800, 600, 60, 22});
  EXPECT_EQ(ChooseColorFormat(r, lists, 2), -1);
  EXPECT_EQ(r.screenFormat, 35);
  EXPECT_EQ(r.screenWidth, 800u);
}

TEST(StoreReadBack, TakesControlsDesktopAndIdentifier) {
  ParameterSet r = Defaults();
  uint8_t identifier[kAdapterIdentifierSize];
  for (std::size_t i = 0; i < kAdapterIdentifierSize; ++i) identifier[i] = static_cast<uint8_t>(i * 7);
  DialogReadBack c{true, false, false, true, false, true, true, 1520, 9, 8, 7, 0, 20};
  StoreReadBack(r, c, {1280, 1024, 75, 22}, identifier);
  EXPECT_EQ(r.showFps, 1);
  EXPECT_EQ(r.useCurrentMode, 0);
  EXPECT_EQ(r.optics, 0);
  EXPECT_EQ(r.zSides, 1);
  EXPECT_EQ(r.fall, 0);
  EXPECT_EQ(r.calculation, 1);
  EXPECT_EQ(r.randomStart, 1);
  EXPECT_EQ(r.speed, 1520);
  EXPECT_EQ(r.reliefOptical, 9);
  EXPECT_EQ(r.reliefLight, 8);
  EXPECT_EQ(r.reliefGeometry, 7);
  EXPECT_EQ(r.broadening, 0);
  EXPECT_EQ(r.geometryMax, 20);
  EXPECT_EQ(r.savedDesktopWidth, 1280u);
  EXPECT_EQ(r.savedDesktopHeight, 1024u);
  EXPECT_EQ(r.savedDesktopRefresh, 75u);
  EXPECT_EQ(r.savedDesktopFormat, 22);
  EXPECT_EQ(std::memcmp(r.adapterIdentifier, identifier, kAdapterIdentifierSize), 0);
}

TEST(DialogTexts, ColorModeAndLink) {
  EXPECT_STREQ(ColorFormatText(22), "X8R8G8B8 (32)");
  EXPECT_STREQ(ColorFormatText(24), "X1R5G5B5 (16)");
  EXPECT_STREQ(ColorFormatText(23), "R5G6B5 (16)");
  EXPECT_STREQ(ColorFormatText(35), "A2R10G10B10 (32)");
  EXPECT_STREQ(ColorFormatText(21), "A2R10G10B10 (32)");
  EXPECT_EQ(ModeEntryText({1024, 768, 60, 22}), "1024 x 768");
  // The link button's message names the file it looks for.
  EXPECT_NE(std::string(kUserGuideMissing).find(kUserGuideFile), std::string::npos);
  // Six strings, then the closing empty one.
  EXPECT_EQ(sizeof kPictureFilter, std::strlen("All graphics (*.bmp, *.jpg, *.jpeg)") + 1 +
                                       std::strlen("*.bmp;*.jpg;*.jpeg") + 1 + 15 + 6 + 21 + 13 + 1);
  EXPECT_STREQ(kPictureFilter + sizeof kPictureFilter - 14, "*.jpg;*.jpeg");
}

}  // namespace
}  // namespace lumar
