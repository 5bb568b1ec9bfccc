// The nine sliders of the configuration dialog: which field each edits, its range, its value label, and
// the bounds of the four ranges that follow from other parameters. Slider positions are the record's
// integers themselves; only the labels scale (Space by 0.02, Time by 0.001).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/parameter_set.h"

namespace lumar {

enum class Slider { WaveLength, Speed, Drops, Broadening, Space, Time, Optical, Light, Geometry };
constexpr std::size_t kSliderCount = 9;

enum class LabelFormat {
  Integer,      // "%u" of the value
  Fiftieths,    // "%5.2f" of value x 0.02
  Thousandths,  // "%6.3f" of value x 0.001
};

struct SliderRange {
  int32_t min;
  int32_t max;
};

struct SliderDefinition {
  Slider slider;
  int sliderId;
  int captionId;
  int labelId;
  int32_t ParameterSet::*field;
  LabelFormat format;
  SliderRange fixedRange;  // for the four dependent sliders: the lower end and an unused upper end
  bool dependent;          // the upper end follows other parameters (Speed, Optical, Light, Geometry)
};

// All nine, in the order of the dialog from top to bottom.
const SliderDefinition (&SliderDefinitions())[kSliderCount];
const SliderDefinition& DefinitionOf(Slider slider);
// nullptr when the id is not a slider's window.
const SliderDefinition* FindSliderById(int sliderId);

// The rule that fixes the Geometry bound: the first that applies, in this order.
enum class GeometryRule {
  OneSideFallIn,  // a: zSides one and fall in
  TopBasis,       // b: view top and the Basis effect
  Aquarium,       // c: the Aquarium effect
  Other,          // d
};

GeometryRule SelectGeometryRule(const ParameterSet& record);
// The bound of one rule for a wave length (and, for rule a, a drop rate; below 1 counts as 1).
int32_t GeometryBound(GeometryRule rule, int32_t waveLength, int32_t drops);

struct DependentBounds {
  int32_t speedMax;
  int32_t opticalMax;
  int32_t lightMax;
  int32_t geometryMax;
};

// Bounds of the Speed, Optical, Light and Geometry ranges for the record as it stands.
DependentBounds ComputeDependentBounds(const ParameterSet& record);

// The range a slider offers for the record as it stands.
SliderRange RangeOf(Slider slider, const ParameterSet& record);

// The label text of a value in a slider's format ("%u", "%5.2f" of x 0.02, "%6.3f" of x 0.001).
std::string FormatSliderLabel(LabelFormat format, int32_t value);
std::string FormatSliderLabel(Slider slider, int32_t value);

// A trackbar keeps its position inside its range.
int32_t ClampToRange(int32_t position, SliderRange range);

// What a range update gives one slider: the new range, the position the control is asked to take (it
// clamps it) and the label, which shows the smaller of the stored value and the bound.
struct SliderSetting {
  Slider slider;
  SliderRange range;
  int32_t requestedPosition;
  std::string label;
};

SliderSetting DependentSliderSetting(Slider slider, int32_t bound, const ParameterSet& record);

// The range update of Speed, Optical, Light and Geometry, in that order. Stores the Geometry bound in
// geometryMax; the four stored values themselves stay as they are.
struct DependentSettings {
  SliderSetting speed, optical, light, geometry;
};
DependentSettings UpdateDependentRanges(ParameterSet& record);

// After Drops moves: with one side and fall in, the Geometry bound follows rule a alone and is stored in
// geometryMax; otherwise nothing changes and the result is empty (has = false).
struct OptionalSliderSetting {
  bool has;
  SliderSetting setting;
};
OptionalSliderSetting GeometryAfterDropsMoved(ParameterSet& record);

// Redoes the Geometry range alone after a change of zSides, fall or the rule, storing geometryMax.
SliderSetting UpdateGeometryRange(ParameterSet& record);

}  // namespace lumar
