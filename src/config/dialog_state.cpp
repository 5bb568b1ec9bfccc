// The configuration dialog's commands, as changes of the record and of the dialog's flags.
#include "config/dialog_state.h"

#include <cstring>

#include "resource_ids.h"
#include "settings/presets.h"

namespace lumar {

namespace {

const RadioPair kRadioPairs[kRadioPairCount] = {
    {&ParameterSet::optics, IDC_OPTICS_MIRROR, IDC_OPTICS_LENS},
    {&ParameterSet::zSides, IDC_ZSIDES_ONE, IDC_ZSIDES_BOTH},
    {&ParameterSet::fall, IDC_FALL_OUT, IDC_FALL_IN},
    {&ParameterSet::calculation, IDC_CALCULATION_FAST, IDC_CALCULATION_NORMAL},
    {&ParameterSet::view, IDC_VIEW_BOTTOM, IDC_VIEW_TOP},
};

const CheckBox kCheckBoxes[kCheckBoxCount] = {
    {&ParameterSet::showOrangeBar, IDC_SHOW_ORANGE_BAR},
    {&ParameterSet::showFps, IDC_SHOW_FPS},
    {&ParameterSet::randomStart, IDC_RANDOM_START},
    {&ParameterSet::useCurrentMode, IDC_CURRENT_MODE},
};

constexpr int kRainPresetId = 1;

}  // namespace

const RadioPair (&RadioPairs())[kRadioPairCount] { return kRadioPairs; }
const CheckBox (&CheckBoxes())[kCheckBoxCount] { return kCheckBoxes; }

void PresetListOpened(DialogState& state, int selectedItemData) {
  state.presetIdAtDropDown = selectedItemData;
  // A choice made on the closed list (arrow keys, wheel) sets the flag without a closing to clear it.
  state.selectionMadeInDropDown = false;
}

bool PresetListClosed(DialogState& state) {
  const bool reselectCustom = !state.selectionMadeInDropDown && state.presetIdAtDropDown == kCustomPresetId;
  state.selectionMadeInDropDown = false;
  return reselectCustom;
}

PresetChoice ChoosePreset(DialogState& state, ParameterSet& record, int id) {
  state.selectionMadeInDropDown = true;
  PresetChoice choice{LockChange::None, false};
  if (id == kTsunamiPresetId) {
    choice.lock = LockChange::Lock;
    state.allControlsLocked = true;
  } else if (state.allControlsLocked) {
    choice.lock = LockChange::Unlock;
    state.allControlsLocked = false;
  }
  const int32_t viewBefore = record.view;
  record.presetId = id;
  ApplyPreset(record, id);
  choice.viewChanged = record.view != viewBefore;
  return choice;
}

EffectChoice ChooseEffect(ParameterSet& record, int32_t effect) {
  EffectChoice choice{false, true, EnablingRule::Basis, false};
  if (effect == record.effect || (effect != kEffectBasis && effect != kEffectAquarium)) return choice;
  choice.changed = true;
  record.effect = effect;
  if (effect == kEffectBasis) {
    record.view = kViewTop;
  } else {
    choice.fullPresetList = false;
    choice.rule = EnablingRule::Aquarium;
    choice.selectRain = true;
    record.presetId = kRainPresetId;
  }
  ApplyPreset(record, record.presetId);
  return choice;
}

RadioOutcome ClickRadio(DialogState& state, ParameterSet& r, int buttonId) {
  RadioOutcome out{true, false, false, -1, -1};
  switch (buttonId) {
    case IDC_OPTICS_MIRROR:
    case IDC_OPTICS_LENS:
      r.optics = buttonId == IDC_OPTICS_MIRROR ? 1 : 0;
      break;
    case IDC_CALCULATION_FAST:
    case IDC_CALCULATION_NORMAL:
      r.calculation = buttonId == IDC_CALCULATION_FAST ? 1 : 0;
      out.broadeningEnabled = r.calculation == 0 ? 1 : 0;
      break;
    // The Geometry bound changes rule only between "one side, fall in" (rule a) and the rest.
    case IDC_ZSIDES_ONE:
    case IDC_ZSIDES_BOTH:
      r.zSides = buttonId == IDC_ZSIDES_ONE ? 1 : 0;
      out.recomputeGeometry = r.fall == 0;
      break;
    case IDC_FALL_IN:
    case IDC_FALL_OUT:
      r.fall = buttonId == IDC_FALL_OUT ? 1 : 0;
      out.recomputeGeometry = r.zSides == 1;
      break;
    // A click on the view already shown changes nothing: a second "bottom" would otherwise overwrite the
    // remembered zSides with the forced "both".
    case IDC_VIEW_TOP:
      if (r.view != kViewTop) {
        r.view = kViewTop;
        r.zSides = state.savedZSides;
      }
      out.zSidesEnabled = 1;
      out.updateRanges = true;
      break;
    case IDC_VIEW_BOTTOM:
      if (r.view != kViewBottom) {
        r.view = kViewBottom;
        state.savedZSides = r.zSides;
        r.zSides = 0;
      }
      out.zSidesEnabled = 0;
      out.updateRanges = true;
      break;
    default:
      out.handled = false;
      break;
  }
  return out;
}

int32_t BroadeningShown(const ParameterSet& r) { return r.calculation == 1 ? 0 : r.broadening; }

int32_t TextureAfterListing(int32_t texture, UserPicture picture) {
  const bool noEntry = picture == UserPicture::None || picture == UserPicture::Missing;
  return (noEntry && texture > kTextureSky) ? kTextureDesktop : texture;
}

void UseDesktopMode(ParameterSet& r, const DisplayMode& desktop) {
  r.screenWidth = desktop.width;
  r.screenHeight = desktop.height;
  r.screenRefresh = desktop.refreshRate;
  r.screenFormat = desktop.format;
}

int ColorPosition(const AdapterModeLists& lists, int32_t format) {
  for (std::size_t i = 0; i < lists.foundFormats.size(); ++i) {
    if (lists.foundFormats[i] == format) return static_cast<int>(i);
  }
  return -1;
}

int ChooseColorFormat(ParameterSet& r, const AdapterModeLists& lists, int colorPosition) {
  if (colorPosition < 0 || static_cast<std::size_t>(colorPosition) >= lists.foundFormats.size()) return -1;
  r.screenFormat = lists.foundFormats[static_cast<std::size_t>(colorPosition)];
  const DisplayModeList& modes = ModeListForFormat(lists, r.screenFormat);
  const int same = FindMode(modes, r.screenWidth, r.screenHeight);
  if (same >= 0) return same;
  if (modes.empty()) return -1;
  UseDesktopMode(r, modes.front());
  return 0;
}

bool ChooseMode(ParameterSet& r, const AdapterModeLists& lists, int modePosition) {
  const DisplayModeList& modes = ModeListForFormat(lists, r.screenFormat);
  if (modePosition < 0 || static_cast<std::size_t>(modePosition) >= modes.size()) return false;
  UseDesktopMode(r, modes[static_cast<std::size_t>(modePosition)]);
  return true;
}

void StoreReadBack(ParameterSet& r, const DialogReadBack& c, const DisplayMode& desktop,
                   const uint8_t (&identifier)[kAdapterIdentifierSize]) {
  r.showFps = c.showFps ? 1 : 0;
  r.useCurrentMode = c.useCurrentMode ? 1 : 0;
  r.savedDesktopWidth = desktop.width;
  r.savedDesktopHeight = desktop.height;
  r.savedDesktopRefresh = desktop.refreshRate;
  r.savedDesktopFormat = desktop.format;
  std::memcpy(r.adapterIdentifier, identifier, kAdapterIdentifierSize);
  r.optics = c.mirror ? 1 : 0;
  r.zSides = c.oneSide ? 1 : 0;
  r.fall = c.fallOut ? 1 : 0;
  r.calculation = c.fast ? 1 : 0;
  r.randomStart = c.randomStart ? 1 : 0;
  r.speed = c.speed;
  r.reliefOptical = c.optical;
  r.reliefLight = c.light;
  r.reliefGeometry = c.geometry;
  r.broadening = c.broadening;
  r.geometryMax = c.geometryRangeMax;
}

}  // namespace lumar
