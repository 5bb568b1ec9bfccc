#include "settings/parameter_set.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "settings/presets.h"

namespace lumar {
namespace {

struct Machine {
  uint8_t identifier[kAdapterIdentifierSize];
  DisplayMode desktop{1024, 768, 60, kFormatX8R8G8B8};
  Machine() {
    for (std::size_t i = 0; i < kAdapterIdentifierSize; ++i) identifier[i] = static_cast<uint8_t>(i * 7 + 3);
  }
};

// A record as the dialog's OK would have saved it on `machine`.
SettingsState SavedOn(const Machine& machine) {
  SettingsState s;
  ResetToDefaults(s);
  s.parameters.presetId = 17;
  s.parameters.waveLength = 150;
  s.parameters.savedDesktopWidth = machine.desktop.width;
  s.parameters.savedDesktopHeight = machine.desktop.height;
  s.parameters.savedDesktopRefresh = machine.desktop.refreshRate;
  s.parameters.savedDesktopFormat = machine.desktop.format;
  std::memcpy(s.parameters.adapterIdentifier, machine.identifier, kAdapterIdentifierSize);
  return s;
}

bool IsDefaults(const ParameterSet& r) {
  SettingsState d;
  ResetToDefaults(d);
  return std::memcmp(&r, &d.parameters, sizeof r) == 0;
}

TEST(ParameterSet, RecordIsTheRegistryLayout) {
  // The struct is the registry value byte for byte: a field's bytes land at its documented offset.
  ParameterSet r{};
  r.speed = 0x01020304;
  r.showOrangeBar = 1;
  r.screenFormat = kFormatR5G6B5;
  std::strcpy(r.textureFile, "C:\\x.bmp");
  const auto* bytes = reinterpret_cast<const uint8_t*>(&r);
  EXPECT_EQ(sizeof r, 1488u);
  EXPECT_EQ(bytes[4], 0x04);  // little-endian at offset 4
  EXPECT_EQ(bytes[7], 0x01);
  EXPECT_EQ(bytes[1484], 1);
  EXPECT_EQ(bytes[1480], 23);
  EXPECT_EQ(std::memcmp(bytes + 104, "C:\\x.bmp", 9), 0);
}

TEST(ParameterSet, DefaultsAreClippingWithItsId) {
  SettingsState s;
  std::memset(&s.parameters, 0xAB, sizeof s.parameters);
  ResetToDefaults(s);
  const ParameterSet& r = s.parameters;
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_EQ(r.presetId, 5);
  EXPECT_EQ(MatchPreset(r), 5);
  EXPECT_EQ(GetEffectFields(r), FindPreset(5)->fields);
  EXPECT_EQ(r.useCurrentMode, 1);
  EXPECT_EQ(r.showOrangeBar, 1);
  EXPECT_EQ(r.effect, kEffectBasis);
  // Everything else is zero: screen mode, identifier, saved mode, path, switches.
  EXPECT_EQ(r.screenWidth, 0u);
  EXPECT_EQ(r.deviceBehaviorFlags, 0u);
  EXPECT_EQ(r.geometryMax, 0);
  EXPECT_EQ(r.textureFile[0], '\0');
  for (uint8_t b : r.adapterIdentifier) ASSERT_EQ(b, 0);
  // Applying "Clipping" to the defaults changes nothing.
  ParameterSet copy = r;
  ApplyPreset(copy, 5);
  EXPECT_EQ(std::memcmp(&copy, &r, sizeof r), 0);
}

TEST(ParameterSet, SetEffectFieldsTouchesOnlyTheFifteen) {
  ParameterSet r;
  std::memset(&r, 0x5A, sizeof r);
  ParameterSet before = r;
  SetEffectFields(r, EffectFields{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  EXPECT_EQ(r.waveLength, 1);
  EXPECT_EQ(r.speed, 2);
  EXPECT_EQ(r.broadening, 3);
  EXPECT_EQ(r.spaceFading, 4);
  EXPECT_EQ(r.timeFading, 5);
  EXPECT_EQ(r.drops, 6);
  EXPECT_EQ(r.reliefOptical, 7);
  EXPECT_EQ(r.reliefLight, 8);
  EXPECT_EQ(r.reliefGeometry, 9);
  EXPECT_EQ(r.texture, 10);
  EXPECT_EQ(r.optics, 11);
  EXPECT_EQ(r.zSides, 12);
  EXPECT_EQ(r.fall, 13);
  EXPECT_EQ(r.calculation, 14);
  EXPECT_EQ(r.view, 15);
  // Restore the fifteen and the whole record is as before.
  SetEffectFields(r, GetEffectFields(before));
  EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
}

TEST(ParameterSet, RunFallbackKeepsTheScreenModeAndDeviceFlags) {
  SettingsState s = SavedOn(Machine());
  ParameterSet& r = s.parameters;
  r.waveLength = -1;
  r.screenWidth = 1280;
  r.screenHeight = 1024;
  r.screenRefresh = 75;
  r.screenFormat = kFormatR5G6B5;
  r.deviceBehaviorFlags = 0x40;
  ResetToDefaultsKeepingScreenMode(s);
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_EQ(r.waveLength, 700);
  EXPECT_EQ(r.presetId, 5);
  EXPECT_EQ(r.savedDesktopWidth, 0u);
  EXPECT_EQ(r.screenWidth, 1280u);
  EXPECT_EQ(r.screenHeight, 1024u);
  EXPECT_EQ(r.screenRefresh, 75u);
  EXPECT_EQ(r.screenFormat, kFormatR5G6B5);
  EXPECT_EQ(r.deviceBehaviorFlags, 0x40u);
}

TEST(LoadValidation, AcceptsARecordSavedOnThisMachine) {
  Machine m;
  SettingsState s = SavedOn(m);
  s.settingsWereReset = 1;
  const ParameterSet saved = s.parameters;
  EXPECT_EQ(ValidateLoadedSettings(s, true, m.identifier, m.desktop), LoadOutcome::Accepted);
  EXPECT_EQ(s.settingsWereReset, 0);
  EXPECT_EQ(std::memcmp(&s.parameters, &saved, sizeof saved), 0);
}

TEST(LoadValidation, FailedReadGivesDefaults) {
  Machine m;
  SettingsState s = SavedOn(m);
  EXPECT_EQ(ValidateLoadedSettings(s, false, m.identifier, m.desktop), LoadOutcome::ReadFailed);
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_TRUE(IsDefaults(s.parameters));
}

// A record as a user leaves it: a preset, its effect fields changed, a picture, every switch away from
// its default, and the mode it was saved in.
SettingsState UsersRecordSavedOn(const Machine& machine) {
  SettingsState s = SavedOn(machine);
  ParameterSet& r = s.parameters;
  ApplyPreset(r, 12);
  r.presetId = 12;
  r.speed += 3;  // no longer the preset's: the dialog would show "Custom"
  r.geometryMax = 990;
  r.effect = kEffectAquarium;
  r.texture = kTextureFile;
  std::strcpy(r.textureFile, "C:\\Users\\me\\Pictures\\lake.jpg");
  r.showFps = 1;
  r.randomStart = 1;
  r.showOrangeBar = 0;
  r.useCurrentMode = 0;
  r.deviceBehaviorFlags = 0x40;
  r.screenWidth = 800;  // a full-screen mode the user picked
  r.screenHeight = 600;
  r.screenRefresh = 72;
  r.screenFormat = kFormatR5G6B5;
  return s;
}

// The bytes of everything but the adapter and mode fields, in record order.
std::vector<uint8_t> Choices(const ParameterSet& r) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&r);
  std::vector<uint8_t> kept(bytes, bytes + offsetof(ParameterSet, savedDesktopWidth));
  kept.insert(kept.end(), bytes + offsetof(ParameterSet, useCurrentMode),
              bytes + offsetof(ParameterSet, deviceBehaviorFlags));
  kept.insert(kept.end(), bytes + offsetof(ParameterSet, randomStart),
              bytes + offsetof(ParameterSet, adapterIdentifier));
  kept.insert(kept.end(), bytes + offsetof(ParameterSet, showOrangeBar), bytes + sizeof r);
  return kept;
}

TEST(LoadValidation, NewHardwareKeepsTheChoicesAndTakesTheModeAfresh) {
  const Machine saved;
  Machine refresh = saved;
  refresh.desktop.refreshRate = 75;  // 60 -> 75 Hz
  Machine resolution = saved;
  resolution.desktop = {1920, 1080, 60, kFormatX8R8G8B8};
  Machine height = saved;
  height.desktop.height = 769;
  Machine driver = saved;
  driver.identifier[512] ^= 1;  // the driver version, inside the identifier
  Machine lastByte = saved;
  lastByte.identifier[kAdapterIdentifierSize - 1] ^= 0x80;
  Machine everything = resolution;  // docked to another screen on another adapter
  everything.identifier[0] ^= 0xFF;
  everything.desktop.format = kFormatA2R10G10B10;
  const struct {
    const char* what;
    Machine now;
  } cases[] = {{"refresh rate", refresh}, {"resolution", resolution},           {"height only", height},
               {"driver", driver},        {"identifier's last byte", lastByte}, {"everything", everything}};
  for (const auto& c : cases) {
    SettingsState s = UsersRecordSavedOn(saved);
    const std::vector<uint8_t> chosen = Choices(s.parameters);
    EXPECT_EQ(ValidateLoadedSettings(s, true, c.now.identifier, c.now.desktop), LoadOutcome::Rejected)
        << c.what;
    const ParameterSet& r = s.parameters;
    EXPECT_EQ(s.settingsWereReset, 1) << c.what;
    EXPECT_EQ(Choices(r), chosen) << c.what << ": a choice of the user was lost";
    EXPECT_EQ(r.presetId, 12) << c.what;
    EXPECT_STREQ(r.textureFile, "C:\\Users\\me\\Pictures\\lake.jpg") << c.what;
    // The adapter and the mode as a first run has them, the full-screen mode the current desktop's.
    EXPECT_EQ(r.screenWidth, c.now.desktop.width) << c.what;
    EXPECT_EQ(r.screenHeight, c.now.desktop.height) << c.what;
    EXPECT_EQ(r.screenRefresh, c.now.desktop.refreshRate) << c.what;
    EXPECT_EQ(r.screenFormat, c.now.desktop.format) << c.what;
    EXPECT_EQ(r.deviceBehaviorFlags, 0u) << c.what;
    EXPECT_EQ(r.savedDesktopWidth, 0u) << c.what;
    EXPECT_EQ(r.savedDesktopHeight, 0u) << c.what;
    EXPECT_EQ(r.savedDesktopRefresh, 0u) << c.what;
    EXPECT_EQ(r.savedDesktopFormat, 0) << c.what;
    for (uint8_t b : r.adapterIdentifier) ASSERT_EQ(b, 0) << c.what;
  }
}

TEST(LoadValidation, ZeroIdentifierOrAModeOfAScreenNoLongerThereKeepsTheLook) {
  const Machine m;
  // Saved with an identifier of zeros (Direct3D could not report one), and in a mode of a display that
  // is gone: both fail the comparison, keep the look and take the current desktop mode.
  SettingsState zeroIdentifier = UsersRecordSavedOn(m);
  std::memset(zeroIdentifier.parameters.adapterIdentifier, 0, kAdapterIdentifierSize);
  SettingsState goneScreen = UsersRecordSavedOn(m);
  goneScreen.parameters.savedDesktopWidth = 2560;
  goneScreen.parameters.savedDesktopHeight = 1600;
  goneScreen.parameters.screenWidth = 2560;
  goneScreen.parameters.screenHeight = 1600;
  for (SettingsState* s : {&zeroIdentifier, &goneScreen}) {
    const std::vector<uint8_t> chosen = Choices(s->parameters);
    EXPECT_EQ(ValidateLoadedSettings(*s, true, m.identifier, m.desktop), LoadOutcome::Rejected);
    EXPECT_EQ(Choices(s->parameters), chosen);
    EXPECT_EQ(s->parameters.screenWidth, 1024u);
    EXPECT_EQ(s->parameters.screenHeight, 768u);
  }
}

TEST(LoadValidation, ShortValueGivesTheDefaults) {
  const Machine m;
  for (std::size_t size : {std::size_t{0}, std::size_t{4}, std::size_t{100}, kParameterSetSize - 1}) {
    // Read over a zero record: the start holds a user's values, the rest stays zero.
    SettingsState stored = UsersRecordSavedOn(m);
    SettingsState s;
    std::memcpy(&s.parameters, &stored.parameters, size);
    EXPECT_EQ(ValidateLoadedSettings(s, true, m.identifier, m.desktop, size), LoadOutcome::Incomplete)
        << size;
    EXPECT_EQ(s.settingsWereReset, 1) << size;
    EXPECT_TRUE(IsDefaults(s.parameters)) << size;
  }
  // The whole record, even one that happens to carry this machine's identity, is not short.
  SettingsState whole = UsersRecordSavedOn(m);
  EXPECT_EQ(ValidateLoadedSettings(whole, true, m.identifier, m.desktop, kParameterSetSize),
            LoadOutcome::Accepted);
}

TEST(LoadValidation, IgnoresTheDesktopFormat) {
  Machine m;
  SettingsState s = SavedOn(m);
  Machine now = m;
  now.desktop.format = kFormatR5G6B5;
  EXPECT_EQ(ValidateLoadedSettings(s, true, now.identifier, now.desktop), LoadOutcome::Accepted);
  EXPECT_EQ(s.parameters.presetId, 17);
}

TEST(LoadValidation, KeepsOutOfRangeValuesAndRepairsAnUnterminatedPath) {
  Machine m;
  SettingsState s = SavedOn(m);
  s.parameters.reliefOptical = 99999;
  s.parameters.waveLength = -5;
  s.parameters.texture = 77;
  std::memset(s.parameters.textureFile, 'A', kTextureFileSize);  // no NUL anywhere
  EXPECT_EQ(ValidateLoadedSettings(s, true, m.identifier, m.desktop), LoadOutcome::Accepted);
  EXPECT_EQ(s.parameters.reliefOptical, 99999);
  EXPECT_EQ(s.parameters.waveLength, -5);
  EXPECT_EQ(s.parameters.texture, 77);
  EXPECT_EQ(s.parameters.textureFile[0], '\0');
  EXPECT_EQ(s.parameters.view, 0);  // the byte after the path is untouched

  // A path that ends exactly at the last byte is kept.
  std::memset(s.parameters.textureFile, 'B', kTextureFileSize - 1);
  s.parameters.textureFile[kTextureFileSize - 1] = '\0';
  EXPECT_FALSE(RepairTextureFile(s.parameters));
  EXPECT_EQ(s.parameters.textureFile[0], 'B');
}

TEST(LoadValidation, AnyBytesLoadSafely) {
  // Whatever the registry held, validation gives a usable record with a terminated path.
  Machine m;
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    SettingsState s;
    auto* bytes = reinterpret_cast<uint8_t*>(&s.parameters);
    for (std::size_t i = 0; i < sizeof s.parameters; ++i) bytes[i] = static_cast<uint8_t>(random());
    if (round % 2) {  // half of them carry this machine's identity and must be kept
      s.parameters.savedDesktopWidth = m.desktop.width;
      s.parameters.savedDesktopHeight = m.desktop.height;
      s.parameters.savedDesktopRefresh = m.desktop.refreshRate;
      std::memcpy(s.parameters.adapterIdentifier, m.identifier, kAdapterIdentifierSize);
    }
    const LoadOutcome outcome = ValidateLoadedSettings(s, true, m.identifier, m.desktop);
    EXPECT_EQ(outcome, round % 2 ? LoadOutcome::Accepted : LoadOutcome::Rejected);
    EXPECT_NE(std::memchr(s.parameters.textureFile, 0, kTextureFileSize), nullptr);
  }
}

}  // namespace
}  // namespace lumar
