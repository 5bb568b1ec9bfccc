// The registry round trip against the real (Wine) registry of the test prefix.
#include "settings/settings_registry_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

TEST_F(RegistryTest, OverlongValueFailsTheReadAndDeletesTheKey) {
  StoreRaw(std::vector<uint8_t>(2000, 0x11));
  ParameterSet r{};
  EXPECT_FALSE(ReadSettings(r));
  Direct3D d3d;
  SettingsState s;
  LoadSettings(s, d3d.object);
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_TRUE(IsDefaults(s.parameters));
  EXPECT_FALSE(KeyExists());
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
  SettingsState s;
  LoadSettings(s, d3d.object);
  EXPECT_EQ(s.settingsWereReset, 1);
  EXPECT_TRUE(IsDefaults(s.parameters));
  EXPECT_TRUE(KeyExists());
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
