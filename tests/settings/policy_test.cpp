// Reading the administrators' settings from raw registry values, and which place decides.
#include "settings/policy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/presets.h"

namespace lumar {
namespace {

RegistryValue String(const std::string& text) {
  RegistryValue value{true, kRegString, {}};
  value.bytes.assign(text.begin(), text.end());
  value.bytes.push_back(0);
  return value;
}

RegistryValue Dword(uint32_t number) {
  RegistryValue value{true, kRegDword, std::vector<uint8_t>(4)};
  std::memcpy(value.bytes.data(), &number, 4);
  return value;
}

RegistryValue Raw(uint32_t type, std::vector<uint8_t> bytes) { return RegistryValue{true, type, bytes}; }

const RegistryValue kAbsent{};

TEST(SecurePolicy, OnlyAZeroTurnsItOffAndOnlyAnAbsentValueLeavesItToTheUser) {
  const struct {
    const char* label;
    RegistryValue value;
    PolicySetting expected;
  } cases[] = {
      {"absent", kAbsent, PolicySetting::NotSet},
      {"\"1\"", String("1"), PolicySetting::On},
      {"\"0\"", String("0"), PolicySetting::Off},
      {"\"0\" as REG_EXPAND_SZ", Raw(kRegExpandString, {'0', 0}), PolicySetting::Off},
      {"\"0\" without its NUL", Raw(kRegString, {'0'}), PolicySetting::Off},
      {"empty string", String(""), PolicySetting::On},
      {"no bytes at all", Raw(kRegString, {}), PolicySetting::On},
      {"\"10\"", String("10"), PolicySetting::On},
      {"\"00\"", String("00"), PolicySetting::On},
      {"a long text", String("0 but not really"), PolicySetting::On},
      {"DWORD 1", Dword(1), PolicySetting::On},
      {"DWORD 0", Dword(0), PolicySetting::Off},
      {"DWORD of two bytes", Raw(kRegDword, {0, 0}), PolicySetting::On},
      {"binary \"0\"", Raw(3, {'0', 0}), PolicySetting::On},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadSecurePolicy(c.value), c.expected) << c.label;
}

TEST(UserSecureValue, ReadsAsAFourByteBufferAsTheSaverLibraryDoes) {
  const struct {
    const char* label;
    RegistryValue value;
    bool secure;
  } cases[] = {
      {"absent", kAbsent, false},
      {"\"1\"", String("1"), true},
      {"\"0\"", String("0"), false},
      {"\"yes\"", String("yes"), true},
      {"empty", String(""), true},
      {"\"1000\" (too long)", String("1000"), false},
      {"\"10\"", String("10"), true},
      {"DWORD 0 (no text)", Dword(0), true},
      {"DWORD 48 (\"0\")", Dword(48), false},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadUserSecureValue(c.value), c.secure) << c.label;
}

TEST(SwitchPolicy, ADwordDecidesAndAnythingElsePresentForbids) {
  const struct {
    const char* label;
    RegistryValue value;
    PolicySetting expected;
  } cases[] = {
      {"absent", kAbsent, PolicySetting::NotSet}, {"DWORD 1", Dword(1), PolicySetting::On},
      {"DWORD 0", Dword(0), PolicySetting::Off},  {"DWORD 7", Dword(7), PolicySetting::On},
      {"\"0\"", String("0"), PolicySetting::On},  {"empty binary", Raw(3, {}), PolicySetting::On},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadSwitchPolicy(c.value), c.expected) << c.label;
}

TEST(Decide, TheFirstPlaceThatSetsSomethingWins) {
  using P = PolicySetting;
  const struct {
    P first, second;
    bool fallback, expected;
  } cases[] = {
      {P::NotSet, P::NotSet, false, false}, {P::NotSet, P::NotSet, true, true},
      {P::On, P::Off, false, true},         {P::Off, P::On, true, false},
      {P::NotSet, P::On, false, true},      {P::NotSet, P::Off, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decide(c.first, c.second, c.fallback), c.expected);
    EXPECT_EQ(Decide(c.first, c.fallback), c.first == P::NotSet ? c.fallback : c.first == P::On);
  }
}

TEST(StringText, StopsAtTheFirstNulAndIsEmptyForOtherTypes) {
  EXPECT_EQ(std::string(StringText(String("Kite")).data(), 4), "Kite");
  EXPECT_EQ(StringText(Raw(kRegString, {'a', 0, 'b'})).size(), 1u);
  EXPECT_TRUE(StringText(Dword(0x65746954)).empty());
}

TEST(MachineDefault, ANamedPresetGivesItsIdAndFieldsAndAnythingElseChangesNothing) {
  EXPECT_EQ(PresetIdByName("Kite"), 34);
  EXPECT_EQ(PresetIdByName("Rain"), 1);
  const char* unknown[] = {"kite", "Custom", "", " Kite", "Kite ", nullptr};
  for (const char* name : unknown) EXPECT_EQ(PresetIdByName(name), 0) << (name ? name : "(null)");

  SettingsState defaults;
  ResetToDefaults(defaults);
  SettingsState kite = defaults;
  ApplyMachineDefault(kite.parameters, 34);
  EXPECT_EQ(kite.parameters.presetId, 34);
  EXPECT_EQ(MatchPreset(kite.parameters), 34);
  for (int id : {0, 30, 36, -1}) {
    SettingsState unchanged = defaults;
    ApplyMachineDefault(unchanged.parameters, id);
    EXPECT_EQ(std::memcmp(&unchanged.parameters, &defaults.parameters, sizeof defaults.parameters), 0) << id;
  }
}

}  // namespace
}  // namespace lumar
