// Reading the administrators' settings from raw registry values.
#include "settings/policy.h"

#include <cstring>

#include "settings/presets.h"

namespace lumar {

namespace {

bool IsString(const RegistryValue& value) {
  return value.type == kRegString || value.type == kRegExpandString;
}

bool IsDword(const RegistryValue& value) { return value.type == kRegDword && value.bytes.size() == 4; }

uint32_t DwordOf(const RegistryValue& value) {
  uint32_t number = 0;
  std::memcpy(&number, value.bytes.data(), sizeof number);
  return number;
}

}  // namespace

std::vector<char> StringText(const RegistryValue& value) {
  std::vector<char> text;
  if (!IsString(value)) return text;
  for (uint8_t byte : value.bytes) {
    if (byte == 0) break;
    text.push_back(static_cast<char>(byte));
  }
  return text;
}

PolicySetting ReadSecurePolicy(const RegistryValue& value) {
  if (!value.present) return PolicySetting::NotSet;
  if (IsDword(value)) return DwordOf(value) == 0 ? PolicySetting::Off : PolicySetting::On;
  const std::vector<char> text = StringText(value);
  const bool zero = IsString(value) && text.size() == 1 && text[0] == '0';
  return zero ? PolicySetting::Off : PolicySetting::On;
}

bool ReadUserSecureValue(const RegistryValue& value) {
  // The bytes as a 4-byte buffer receives them, whatever the type: more than four fail the read.
  if (!value.present || value.bytes.size() > 4) return false;
  char buffer[4] = {};
  std::memcpy(buffer, value.bytes.data(), value.bytes.size());
  buffer[3] = '\0';
  return std::strcmp(buffer, "0") != 0;
}

PolicySetting ReadSwitchPolicy(const RegistryValue& value) {
  if (!value.present) return PolicySetting::NotSet;
  if (IsDword(value)) return DwordOf(value) == 0 ? PolicySetting::Off : PolicySetting::On;
  return PolicySetting::On;
}

bool Decide(PolicySetting first, bool fallback) {
  return first == PolicySetting::NotSet ? fallback : first == PolicySetting::On;
}

bool Decide(PolicySetting first, PolicySetting second, bool fallback) {
  return Decide(first, Decide(second, fallback));
}

int PresetIdByName(const char* name) {
  if (!name) return 0;
  for (const Preset& preset : PresetTable()) {
    if (preset.name && std::strcmp(preset.name, name) == 0) return preset.id;
  }
  return 0;
}

}  // namespace lumar
