// The enabling rules of the configuration dialog as lists of control ids.
#include "config/enabling_rules.h"

#include "resource_ids.h"

namespace lumar {

namespace {

#define VIEW_GROUP IDC_VIEW_GROUP, IDC_VIEW_TOP, IDC_VIEW_BOTTOM
#define ZSIDES_GROUP IDC_ZSIDES_GROUP, IDC_ZSIDES_ONE, IDC_ZSIDES_BOTH
#define FALL_GROUP IDC_FALL_GROUP, IDC_FALL_IN, IDC_FALL_OUT
#define CALCULATION_GROUP IDC_CALCULATION_GROUP, IDC_CALCULATION_FAST, IDC_CALCULATION_NORMAL
#define OPTICS_GROUP IDC_OPTICS_GROUP, IDC_OPTICS_MIRROR, IDC_OPTICS_LENS
#define TEXTURE_CHOICE IDC_TEXTURE_LIST, IDC_TEXTURE_CAPTION, IDC_BROWSE
#define SLIDER(name) IDC_##name##_SLIDER, IDC_##name##_CAPTION, IDC_##name##_LABEL

const int kBasisEnables[] = {TEXTURE_CHOICE, VIEW_GROUP, ZSIDES_GROUP, FALL_GROUP};
const int kAquariumDisables[] = {VIEW_GROUP, ZSIDES_GROUP, FALL_GROUP, TEXTURE_CHOICE};
const int kOtherEffectsEnables[] = {SLIDER(SPEED), TEXTURE_CHOICE};
const int kOtherEffectsDisables[] = {SLIDER(WAVE_LENGTH), SLIDER(GEOMETRY), CALCULATION_GROUP,
                                     OPTICS_GROUP,        ZSIDES_GROUP,     FALL_GROUP};
// Everything that shapes the ripples except Broadening, which follows the calculation alone.
const int kLocked[] = {VIEW_GROUP,       ZSIDES_GROUP,     FALL_GROUP,          CALCULATION_GROUP,
                       OPTICS_GROUP,     SLIDER(SPEED),    SLIDER(WAVE_LENGTH), SLIDER(DROPS),
                       SLIDER(SPACE),    SLIDER(TIME),     SLIDER(LIGHT),       SLIDER(OPTICAL),
                       SLIDER(GEOMETRY), IDC_FADING_GROUP, IDC_RELIEF_GROUP};

const int kModeLists[] = {IDC_MODE_LIST, IDC_COLOR_LIST};
const int kBroadening[] = {SLIDER(BROADENING)};
const int kZSides[] = {ZSIDES_GROUP};

#undef VIEW_GROUP
#undef ZSIDES_GROUP
#undef FALL_GROUP
#undef CALCULATION_GROUP
#undef OPTICS_GROUP
#undef TEXTURE_CHOICE
#undef SLIDER

template <std::size_t N>
constexpr ControlIds Ids(const int (&ids)[N]) {
  return ControlIds{ids, N};
}
constexpr ControlIds kNone{nullptr, 0};

}  // namespace

RuleControls ControlsOf(EnablingRule rule) {
  switch (rule) {
    case EnablingRule::Basis:
      return {Ids(kBasisEnables), kNone};
    case EnablingRule::Aquarium:
      return {kNone, Ids(kAquariumDisables)};
    case EnablingRule::OtherEffects:
      return {Ids(kOtherEffectsEnables), Ids(kOtherEffectsDisables)};
    case EnablingRule::Lock:
      return {kNone, Ids(kLocked)};
    case EnablingRule::Unlock:
      return {Ids(kLocked), kNone};
  }
  return {kNone, kNone};
}

bool EffectRule(int32_t effect, EnablingRule& rule) {
  switch (effect) {
    case 0:
      rule = EnablingRule::Basis;
      return true;
    case 1:
      rule = EnablingRule::Aquarium;
      return true;
    case 2:
    case 3:
      rule = EnablingRule::OtherEffects;
      return true;
    default:
      return false;
  }
}

void ApplyEnablingRule(EnablingRule rule, const std::function<void(int id, bool enabled)>& enable) {
  const RuleControls controls = ControlsOf(rule);
  for (int id : controls.enables) enable(id, true);
  for (int id : controls.disables) enable(id, false);
}

ControlIds ModeListControls() { return Ids(kModeLists); }
ControlIds BroadeningControls() { return Ids(kBroadening); }
ControlIds ZSidesControls() { return Ids(kZSides); }

}  // namespace lumar
