// The desktop password settings under HKCU "Control Panel\Desktop", set for one test and put back as they
// were afterwards.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lumar {

class DesktopValues {
 public:
  DesktopValues() = default;
  DesktopValues(const DesktopValues&) = delete;
  DesktopValues& operator=(const DesktopValues&) = delete;
  ~DesktopValues() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) Restore(*it);
  }

  void SetDword(const char* name, DWORD value) {
    Write(name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  void SetString(const char* name, const std::string& value) {
    Write(name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  }

 private:
  struct Saved {
    std::string name;
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };

  static HKEY Open() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                    &key, nullptr);
    return key;
  }

  void Write(const char* name, DWORD type, const BYTE* data, DWORD size) {
    HKEY key = Open();
    if (!key) return;
    Saved saved;
    saved.name = name;
    DWORD length = 0;
    if (RegQueryValueExA(key, name, nullptr, &saved.type, nullptr, &length) == ERROR_SUCCESS) {
      saved.existed = true;
      saved.data.resize(length);
      RegQueryValueExA(key, name, nullptr, &saved.type, saved.data.data(), &length);
    }
    saved_.push_back(saved);
    RegSetValueExA(key, name, 0, type, data, size);
    RegCloseKey(key);
  }

  static void Restore(const Saved& saved) {
    HKEY key = Open();
    if (!key) return;
    if (saved.existed) {
      RegSetValueExA(key, saved.name.c_str(), 0, saved.type, saved.data.data(),
                     static_cast<DWORD>(saved.data.size()));
    } else {
      RegDeleteValueA(key, saved.name.c_str());
    }
    RegCloseKey(key);
  }

  std::vector<Saved> saved_;
};

}  // namespace lumar
