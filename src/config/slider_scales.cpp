// Slider ranges, the derived bounds and the value labels of the configuration dialog.
#include "config/slider_scales.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "resource_ids.h"

namespace lumar {

namespace {

// The slope and offset constants are single-precision values; the arithmetic around them is double.
// At a wave length of 40 this gives trunc(0.22 x 40 - 5.8) = 2, where exact decimals would give 3.
constexpr float kSmallSlope = 0.22f;
constexpr float kSmallOffset = 5.8f;
constexpr float kAquariumSlope = 0.047f;
constexpr float kAquariumOffset = 7.24f;

// Bounds are formed from values read unchecked from the registry: saturate instead of overflowing.
int32_t Saturate(double value) {
  constexpr double kLow = std::numeric_limits<int32_t>::min();
  constexpr double kHigh = std::numeric_limits<int32_t>::max();
  if (!(value >= kLow)) return std::numeric_limits<int32_t>::min();  // also NaN
  if (value > kHigh) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

int32_t Trunc(double value) { return Saturate(std::trunc(value)); }

int32_t SmallWaveBound(int32_t wl) {
  return Trunc(static_cast<double>(kSmallSlope) * wl - static_cast<double>(kSmallOffset));
}

const SliderDefinition kSliders[kSliderCount] = {
    {Slider::WaveLength,
     IDC_WAVE_LENGTH_SLIDER,
     IDC_WAVE_LENGTH_CAPTION,
     IDC_WAVE_LENGTH_LABEL,
     &ParameterSet::waveLength,
     LabelFormat::Integer,
     {40, 700},
     false},
    {Slider::Speed,
     IDC_SPEED_SLIDER,
     IDC_SPEED_CAPTION,
     IDC_SPEED_LABEL,
     &ParameterSet::speed,
     LabelFormat::Integer,
     {1, 0},
     true},
    {Slider::Drops,
     IDC_DROPS_SLIDER,
     IDC_DROPS_CAPTION,
     IDC_DROPS_LABEL,
     &ParameterSet::drops,
     LabelFormat::Integer,
     {1, 40},
     false},
    {Slider::Broadening,
     IDC_BROADENING_SLIDER,
     IDC_BROADENING_CAPTION,
     IDC_BROADENING_LABEL,
     &ParameterSet::broadening,
     LabelFormat::Integer,
     {0, 100},
     false},
    {Slider::Space,
     IDC_SPACE_SLIDER,
     IDC_SPACE_CAPTION,
     IDC_SPACE_LABEL,
     &ParameterSet::spaceFading,
     LabelFormat::Fiftieths,
     {0, 50},
     false},
    {Slider::Time,
     IDC_TIME_SLIDER,
     IDC_TIME_CAPTION,
     IDC_TIME_LABEL,
     &ParameterSet::timeFading,
     LabelFormat::Thousandths,
     {1, 1000},
     false},
    {Slider::Optical,
     IDC_OPTICAL_SLIDER,
     IDC_OPTICAL_CAPTION,
     IDC_OPTICAL_LABEL,
     &ParameterSet::reliefOptical,
     LabelFormat::Integer,
     {0, 0},
     true},
    {Slider::Light,
     IDC_LIGHT_SLIDER,
     IDC_LIGHT_CAPTION,
     IDC_LIGHT_LABEL,
     &ParameterSet::reliefLight,
     LabelFormat::Integer,
     {0, 0},
     true},
    {Slider::Geometry,
     IDC_GEOMETRY_SLIDER,
     IDC_GEOMETRY_CAPTION,
     IDC_GEOMETRY_LABEL,
     &ParameterSet::reliefGeometry,
     LabelFormat::Integer,
     {0, 0},
     true},
};

}  // namespace

const SliderDefinition (&SliderDefinitions())[kSliderCount] { return kSliders; }

const SliderDefinition& DefinitionOf(Slider slider) { return kSliders[static_cast<std::size_t>(slider)]; }

const SliderDefinition* FindSliderById(int sliderId) {
  for (const SliderDefinition& d : kSliders) {
    if (d.sliderId == sliderId) return &d;
  }
  return nullptr;
}

GeometryRule SelectGeometryRule(const ParameterSet& r) {
  if (r.zSides == 1 && r.fall == 0) return GeometryRule::OneSideFallIn;
  if (r.view == kViewTop && r.effect == kEffectBasis) return GeometryRule::TopBasis;
  if (r.effect == kEffectAquarium) return GeometryRule::Aquarium;
  return GeometryRule::Other;
}

int32_t GeometryBound(GeometryRule rule, int32_t wl, int32_t drops) {
  switch (rule) {
    case GeometryRule::OneSideFallIn: {
      // A stored drop rate of 0 or less would make k infinite or undefined.
      const double k = 1.0 / std::sqrt(static_cast<double>(std::max<int32_t>(drops, 1)));
      return wl >= 80 ? Trunc(k * wl) : Trunc(k * (1.5 * wl - 40.0));
    }
    case GeometryRule::TopBasis:
      return wl >= 80 ? wl : Trunc(1.5 * wl - 40.0);
    case GeometryRule::Aquarium:
      if (wl > 80) {
        return Trunc(static_cast<double>(kAquariumSlope) * wl + static_cast<double>(kAquariumOffset));
      }
      return SmallWaveBound(wl);
    case GeometryRule::Other:
      if (wl > 250) return wl / 3;
      if (wl > 80) return wl / 4;
      return SmallWaveBound(wl);
  }
  return 0;
}

DependentBounds ComputeDependentBounds(const ParameterSet& r) {
  const int32_t wl = r.waveLength;
  DependentBounds b{};
  const int64_t speedFull = 3 * static_cast<int64_t>(wl) + 1400;
  b.speedMax = Saturate(static_cast<double>(r.effect == kEffectAquarium ? speedFull / 3 : speedFull));
  const bool smallOptics = r.view == kViewBottom || r.effect != kEffectBasis;
  b.opticalMax = (smallOptics && wl <= 80) ? wl / 4 : Trunc(1.5 * wl);
  b.lightMax = wl / 6;
  b.geometryMax = GeometryBound(SelectGeometryRule(r), wl, r.drops);
  return b;
}

SliderRange RangeOf(Slider slider, const ParameterSet& r) {
  const SliderDefinition& d = DefinitionOf(slider);
  if (!d.dependent) return d.fixedRange;
  const DependentBounds b = ComputeDependentBounds(r);
  switch (slider) {
    case Slider::Speed:
      return {d.fixedRange.min, b.speedMax};
    case Slider::Optical:
      return {d.fixedRange.min, b.opticalMax};
    case Slider::Light:
      return {d.fixedRange.min, b.lightMax};
    default:
      return {d.fixedRange.min, b.geometryMax};
  }
}

std::string FormatSliderLabel(LabelFormat format, int32_t value) {
  char text[64];
  switch (format) {
    case LabelFormat::Integer:
      std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(static_cast<uint32_t>(value)));
      break;
    case LabelFormat::Fiftieths:
      std::snprintf(text, sizeof text, "%5.2f", value * 0.02);
      break;
    case LabelFormat::Thousandths:
      std::snprintf(text, sizeof text, "%6.3f", value * 0.001);
      break;
  }
  return text;
}

std::string FormatSliderLabel(Slider slider, int32_t value) {
  return FormatSliderLabel(DefinitionOf(slider).format, value);
}

int32_t ClampToRange(int32_t position, SliderRange range) {
  if (position > range.max) position = range.max;
  if (position < range.min) position = range.min;
  return position;
}

SliderSetting DependentSliderSetting(Slider slider, int32_t bound, const ParameterSet& r) {
  const SliderDefinition& d = DefinitionOf(slider);
  const int32_t stored = r.*d.field;
  return SliderSetting{
      slider, {d.fixedRange.min, bound}, stored, FormatSliderLabel(d.format, std::min(stored, bound))};
}

DependentSettings UpdateDependentRanges(ParameterSet& r) {
  const DependentBounds b = ComputeDependentBounds(r);
  DependentSettings s{DependentSliderSetting(Slider::Speed, b.speedMax, r),
                      DependentSliderSetting(Slider::Optical, b.opticalMax, r),
                      DependentSliderSetting(Slider::Light, b.lightMax, r),
                      DependentSliderSetting(Slider::Geometry, b.geometryMax, r)};
  r.geometryMax = b.geometryMax;
  return s;
}

OptionalSliderSetting GeometryAfterDropsMoved(ParameterSet& r) {
  if (SelectGeometryRule(r) != GeometryRule::OneSideFallIn) return {false, {}};
  const int32_t bound = GeometryBound(GeometryRule::OneSideFallIn, r.waveLength, r.drops);
  r.geometryMax = bound;
  return {true, DependentSliderSetting(Slider::Geometry, bound, r)};
}

SliderSetting UpdateGeometryRange(ParameterSet& r) {
  const int32_t bound = GeometryBound(SelectGeometryRule(r), r.waveLength, r.drops);
  r.geometryMax = bound;
  return DependentSliderSetting(Slider::Geometry, bound, r);
}

}  // namespace lumar
