// Which dialog controls each enabling rule turns on and off. A control a rule does not name keeps its
// state. An option group means its frame and both radio buttons; a slider means the slider, its caption
// and its value label.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace lumar {

enum class EnablingRule {
  Basis,         // effect 0
  Aquarium,      // effect 1
  OtherEffects,  // effects 2 and 3, which the Effect list does not offer
  Lock,          // while "Tsunami" is chosen
  Unlock,
};

struct ControlIds {
  const int* ids;
  std::size_t count;
  const int* begin() const { return ids; }
  const int* end() const { return ids + count; }
};

struct RuleControls {
  ControlIds enables;
  ControlIds disables;
};

RuleControls ControlsOf(EnablingRule rule);

// The effect rule for a stored effect; false for values that have none.
bool EffectRule(int32_t effect, EnablingRule& rule);

// Calls enable(id, state) for every control the rule names: enabled ones first, then disabled ones.
void ApplyEnablingRule(EnablingRule rule, const std::function<void(int id, bool enabled)>& enable);

// Controls whose state follows one field rather than a rule.
ControlIds ModeListControls();    // Mode and Color lists: enabled while "Current Mode" is clear
ControlIds BroadeningControls();  // enabled while calculation is normal
ControlIds ZSidesControls();      // disabled while the view is from the bottom

}  // namespace lumar
