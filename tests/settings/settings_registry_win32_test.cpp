// The registry round trip against the real (Wine) registry of the test prefix.
#include "settings/settings_registry_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "settings/presets.h"

namespace lumar {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath); }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath); }

  static bool KeyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  // The raw value as stored: its type and bytes; false when absent.
  static bool QueryValue(DWORD& type, std::vector<uint8_t>& data) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, kSettingsValueName, nullptr, &type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
      data.resize(size);
      rc = RegQueryValueExA(key, kSettingsValueName, nullptr, &type, data.data(), &size);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
  }

  static void StoreRaw(const std::vector<uint8_t>& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, kSettingsValueName, 0, REG_BINARY, bytes.data(),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // Direct3D 9 of this machine: the identity the record is validated against.
  struct Direct3D {
    IDirect3D9* object = Direct3DCreate9(D3D_SDK_VERSION);
    ~Direct3D() {
      if (object) object->Release();
    }
  };

  static bool IsDefaults(const ParameterSet& r) {
    SettingsState d;
    ResetToDefaults(d);
    return std::memcmp(&r, &d.parameters, sizeof r) == 0;
  }
};

TEST_F(RegistryTest, FirstRunWithNoKeyGivesDefaultsAndWritesNothing) {
  Direct3D d3d;
  ASSERT_NE(d3d.object, nullptr);
  SettingsState s;
  LoadSettings(s, d3d.object);
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_TRUE(IsDefaults(s.parameters));
  EXPECT_FALSE(KeyExists());
}

TEST_F(RegistryTest, WriteCreatesKeyAndExactBinaryValue) {
  ASSERT_FALSE(KeyExists());
  SettingsState s;
  ResetToDefaults(s);
  s.parameters.waveLength = 123;
  std::strcpy(s.parameters.textureFile, "C:\\pictures\\lake.jpg");
  ASSERT_TRUE(WriteSettings(s.parameters));
  DWORD type = 0;
  std::vector<uint8_t> stored;
  ASSERT_TRUE(QueryValue(type, stored));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(stored.size(), 1488u);
  EXPECT_EQ(std::memcmp(stored.data(), &s.parameters, 1488), 0);
}

TEST_F(RegistryTest, RecordRoundTripsByteForByte) {
  ParameterSet written;
  auto* bytes = reinterpret_cast<uint8_t*>(&written);
  for (std::size_t i = 0; i < sizeof written; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  ASSERT_TRUE(WriteSettings(written));
  ParameterSet read{};
  ASSERT_TRUE(ReadSettings(read));
  EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
}

TEST_F(RegistryTest, SavedRecordOfThisMachineIsKept) {
  Direct3D d3d;
  ASSERT_NE(d3d.object, nullptr);
  SettingsState saved;
  ResetToDefaults(saved);
  saved.parameters.presetId = 28;
  uint8_t identifier[kAdapterIdentifierSize];
  DisplayMode desktop;
  FetchAdapterIdentity(d3d.object, identifier, desktop);
  EXPECT_GT(desktop.width, 0u);
  std::memcpy(saved.parameters.adapterIdentifier, identifier, sizeof identifier);
  saved.parameters.savedDesktopWidth = desktop.width;
  saved.parameters.savedDesktopHeight = desktop.height;
  saved.parameters.savedDesktopRefresh = desktop.refreshRate;
  ASSERT_TRUE(WriteSettings(saved.parameters));

  SettingsState loaded;
  LoadSettings(loaded, d3d.object);
  EXPECT_EQ(loaded.settingsWereReset, 0);
  EXPECT_EQ(std::memcmp(&loaded.parameters, &saved.parameters, sizeof saved.parameters), 0);
}

// A value longer than the record (as a newer version may write) gives the defaults and stays as it was,
// byte for byte; the next OK overwrites it.
TEST_F(RegistryTest, OverlongValueFailsTheReadAndStaysUntilTheNextWrite) {
  const std::vector<uint8_t> newer(2000, 0x11);
  StoreRaw(newer);
  ParameterSet r{};
  EXPECT_FALSE(ReadSettings(r));
  Direct3D d3d;
  SettingsState s;
  LoadSettings(s, d3d.object);
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_TRUE(IsDefaults(s.parameters));
  DWORD type = 0;
  std::vector<uint8_t> stored;
  ASSERT_TRUE(QueryValue(type, stored));
  EXPECT_EQ(stored, newer);

  ASSERT_TRUE(WriteSettings(s.parameters));
  ASSERT_TRUE(QueryValue(type, stored));
  ASSERT_EQ(stored.size(), sizeof s.parameters);
  EXPECT_EQ(std::memcmp(stored.data(), &s.parameters, sizeof s.parameters), 0);
}

TEST_F(RegistryTest, ShortValueFillsTheStartAndIsRejectedButTheKeyStays) {
  std::vector<uint8_t> start(100, 0);
  start[0] = 0x2A;  // waveLength 42
  StoreRaw(start);
  ParameterSet r;
  std::memset(&r, 0, sizeof r);
  ASSERT_TRUE(ReadSettings(r));
  EXPECT_EQ(r.waveLength, 42);
  EXPECT_EQ(r.screenWidth, 0u);  // past the value: untouched

  Direct3D d3d;
  SettingsState s;
  LoadSettings(s, d3d.object);
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_TRUE(IsDefaults(s.parameters));
  EXPECT_TRUE(KeyExists());
  DWORD type = 0;
  std::vector<uint8_t> stored;
  ASSERT_TRUE(QueryValue(type, stored));
  EXPECT_EQ(stored.size(), 100u);
}

TEST_F(RegistryTest, ExactlySizedGarbageLoadsSafely) {
  std::vector<uint8_t> garbage(1488, 0xFF);  // path without a NUL, saved mode that matches nothing
  StoreRaw(garbage);
  Direct3D d3d;
  ASSERT_NE(d3d.object, nullptr);
  SettingsState s;
  LoadSettings(s, d3d.object);
  // A whole record of another machine: its values stay (the run set-up refuses what it cannot run),
  // the path is cut to empty, and the mode is this desktop's.
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_EQ(s.parameters.waveLength, -1);
  EXPECT_EQ(s.parameters.textureFile[0], '\0');
  uint8_t identifier[kAdapterIdentifierSize];
  DisplayMode desktop;
  FetchAdapterIdentity(d3d.object, identifier, desktop);
  EXPECT_EQ(s.parameters.screenWidth, desktop.width);
  EXPECT_EQ(s.parameters.savedDesktopWidth, 0u);
  EXPECT_TRUE(KeyExists());
}

// A user's record saved under another driver, resolution and refresh rate, read from the registry: the
// look, the picture and the switches stay; the mode and the adapter's identity are this machine's.
TEST_F(RegistryTest, RecordOfAnotherDriverAndModeKeepsTheUsersChoices) {
  Direct3D d3d;
  ASSERT_NE(d3d.object, nullptr);
  uint8_t identifier[kAdapterIdentifierSize];
  DisplayMode desktop;
  FetchAdapterIdentity(d3d.object, identifier, desktop);
  ASSERT_GT(desktop.width, 0u);

  const struct {
    const char* what;
    int identifierByte;  // -1: this adapter's identifier as it is
    uint32_t widthChange, refreshChange;
  } cases[] = {{"driver", 560, 0, 0},
               {"resolution", -1, 256, 0},
               {"refresh rate", -1, 0, 15},
               {"all three", 0, 640, 25}};
  for (const auto& c : cases) {
    SettingsState saved;
    ResetToDefaults(saved);
    ParameterSet& r = saved.parameters;
    ApplyPreset(r, 23);
    r.presetId = 23;
    r.drops = 33;
    r.texture = kTextureFile;
    std::strcpy(r.textureFile, "C:\\pictures\\harbour.bmp");
    r.showFps = 1;
    r.randomStart = 1;
    r.showOrangeBar = 0;
    r.useCurrentMode = 0;
    std::memcpy(r.adapterIdentifier, identifier, sizeof identifier);
    if (c.identifierByte >= 0) r.adapterIdentifier[c.identifierByte] ^= 0x5A;
    r.savedDesktopWidth = desktop.width + c.widthChange;
    r.savedDesktopHeight = desktop.height;
    r.savedDesktopRefresh = desktop.refreshRate + c.refreshChange;
    r.screenWidth = r.savedDesktopWidth;
    r.screenHeight = r.savedDesktopHeight;
    r.screenRefresh = r.savedDesktopRefresh;
    r.deviceBehaviorFlags = 0x20;
    ASSERT_TRUE(WriteSettings(r));

    SettingsState loaded;
    LoadSettings(loaded, d3d.object);
    const ParameterSet& l = loaded.parameters;
    EXPECT_EQ(loaded.settingsWereReset, 1) << c.what;
    EXPECT_EQ(l.presetId, 23) << c.what;
    EXPECT_EQ(GetEffectFields(l), GetEffectFields(r)) << c.what;
    EXPECT_STREQ(l.textureFile, r.textureFile) << c.what;
    EXPECT_EQ(l.showFps, 1) << c.what;
    EXPECT_EQ(l.randomStart, 1) << c.what;
    EXPECT_EQ(l.showOrangeBar, 0) << c.what;
    EXPECT_EQ(l.useCurrentMode, 0) << c.what;
    EXPECT_EQ(l.screenWidth, desktop.width) << c.what;
    EXPECT_EQ(l.screenHeight, desktop.height) << c.what;
    EXPECT_EQ(l.screenRefresh, desktop.refreshRate) << c.what;
    EXPECT_EQ(l.deviceBehaviorFlags, 0u) << c.what;
    EXPECT_EQ(l.savedDesktopWidth, 0u) << c.what;
    // Nothing is written back: the stored value is the old one until the dialog's OK.
    ParameterSet stored{};
    ASSERT_TRUE(ReadSettings(stored));
    EXPECT_EQ(std::memcmp(&stored, &r, sizeof r), 0) << c.what;
  }
}

TEST_F(RegistryTest, ReadReportsTheStoredLength) {
  for (std::size_t length : {std::size_t{1}, std::size_t{100}, std::size_t{1487}, std::size_t{1488}}) {
    StoreRaw(std::vector<uint8_t>(length, 0x01));
    ParameterSet r{};
    std::size_t stored = 0;
    ASSERT_TRUE(ReadSettings(r, &stored)) << length;
    EXPECT_EQ(stored, length);
  }
}

TEST_F(RegistryTest, DeleteWithoutKeyIsHarmless) {
  DeleteSettingsKey();
  EXPECT_FALSE(KeyExists());
  ASSERT_TRUE(WriteSettings(ParameterSet{}));
  DeleteSettingsKey();
  EXPECT_FALSE(KeyExists());
}

}  // namespace
}  // namespace lumar
