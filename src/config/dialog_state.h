// What the configuration dialog's commands do to the settings record and to the dialog's own flags,
// apart from the controls. The Windows dialog procedure calls these and then shows the outcome.
#pragma once

#include <cstdint>

#include "config/enabling_rules.h"
#include "render/display_modes.h"
#include "settings/parameter_set.h"

namespace lumar {

// The dialog's own state; all zero when it opens.
struct DialogState {
  bool allControlsLocked = false;  // the lock rule is in force ("Tsunami")
  int presetIdAtDropDown = 0;      // item data of the Preset entry selected when the list opened
  bool selectionMadeInDropDown = false;
  int32_t savedZSides = 0;  // zSides before "bottom", restored by "top"
};

// A radio pair: the field it sets and the buttons for 1 and for 0.
struct RadioPair {
  int32_t ParameterSet::*field;
  int buttonForOne;
  int buttonForZero;
};
constexpr std::size_t kRadioPairCount = 5;
const RadioPair (&RadioPairs())[kRadioPairCount];  // optics, zSides, fall, calculation, view

// A check box and the field it mirrors.
struct CheckBox {
  int32_t ParameterSet::*field;
  int button;
};
constexpr std::size_t kCheckBoxCount = 4;
const CheckBox (&CheckBoxes())[kCheckBoxCount];  // orange bar, FPS, random start, current mode

// --- Preset list ---

// The list opened with the entry of this item data selected.
void PresetListOpened(DialogState& state, int selectedItemData);
// The list closed; true when "Custom" is to be selected again (nothing was chosen and it was shown).
bool PresetListClosed(DialogState& state);

enum class LockChange { None, Lock, Unlock };
struct PresetChoice {
  LockChange lock;
  bool viewChanged;  // the z - sides group and buttons then follow the new view
};
// A preset chosen from the list: the lock rule follows "Tsunami", presetId := id and the preset is applied.
PresetChoice ChoosePreset(DialogState& state, ParameterSet& record, int id);

// --- Effect list ---

struct EffectChoice {
  bool changed;         // false: the effect was already chosen and nothing happens
  bool fullPresetList;  // which preset list to fill
  EnablingRule rule;
  bool selectRain;  // select "Rain" (Aquarium) rather than the entry of presetId
};
// Sets effect, view (top for Basis) and presetId ("Rain" for Aquarium), and applies presetId's preset.
EffectChoice ChooseEffect(ParameterSet& record, int32_t effect);

// --- Radio buttons ---

struct RadioOutcome {
  bool handled;            // the id is one of the ten radio buttons
  bool recomputeGeometry;  // the Geometry bound's rule may have changed between rules a and b
  bool updateRanges;       // the view changed: every dependent range is redone
  int zSidesEnabled;       // -1 untouched, else the z - sides group's new state
  int broadeningEnabled;   // -1 untouched, else the Broadening controls' new state
};
// The field change of a clicked radio button. Re-matching the preset follows every one of them.
RadioOutcome ClickRadio(DialogState& state, ParameterSet& record, int buttonId);

// The value the Broadening slider shows: 0 while the calculation is fast.
int32_t BroadeningShown(const ParameterSet& record);

// --- Texture list ---

enum class UserPicture {
  None,      // textureFile is empty
  Missing,   // the file does not exist
  Listed,    // its title is the fourth entry
  Untitled,  // the file exists but its title could not be taken: no entry
};
// The texture value after the list is filled: a user picture that is not there falls back to Desktop.
int32_t TextureAfterListing(int32_t texture, UserPicture picture);

// --- Screen mode ---

// The four screen fields := the desktop's mode.
void UseDesktopMode(ParameterSet& record, const DisplayMode& desktop);
// The Color list's position of screenFormat, or -1.
int ColorPosition(const AdapterModeLists& lists, int32_t format);
// A Color chosen: screenFormat changes; a mode of the same size keeps its refresh rate, otherwise the
// first mode of the new list is taken. Returns the Mode list position to select, -1 for none.
int ChooseColorFormat(ParameterSet& record, const AdapterModeLists& lists, int colorPosition);
// A Mode chosen from the list for screenFormat: false when the position is not in the list.
bool ChooseMode(ParameterSet& record, const AdapterModeLists& lists, int modePosition);

// --- OK ---

// The values OK takes from the controls.
struct DialogReadBack {
  bool showFps, useCurrentMode, mirror, oneSide, fallOut, fast, randomStart;
  int32_t speed, optical, light, geometry, broadening;  // slider positions
  int32_t geometryRangeMax;
};
void StoreReadBack(ParameterSet& record, const DialogReadBack& controls, const DisplayMode& desktop,
                   const uint8_t (&identifier)[kAdapterIdentifierSize]);

}  // namespace lumar
