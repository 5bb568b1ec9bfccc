// The desktop password settings under HKCU "Control Panel\Desktop", set for one test and put back as they
// were afterwards. While they are changed, desktop-values.reg in the working folder holds the values as
// they were, as a file `reg import` reads: a test program that crashes cannot put them back itself, and
// the test runner (scripts/wine-run) imports it before the next test program.
#pragma once

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <set>
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
    if (!saved_.empty()) std::remove(kJournal);
  }

  // The file that holds the values as they were while they are changed.
  static constexpr const char* kJournal = "desktop-values.reg";

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
    WriteJournal();
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

  // The values as they were before this object first changed each: "name"=- for one that did not exist,
  // "name"=hex(type):bytes for one that did.
  void WriteJournal() const {
    std::ofstream journal(kJournal, std::ios::trunc);
    journal << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n";
    std::set<std::string> written;
    for (const Saved& saved : saved_) {
      if (!written.insert(saved.name).second) continue;
      journal << '"' << saved.name << "\"=";
      if (!saved.existed) {
        journal << "-\r\n";
        continue;
      }
      char part[16];
      std::snprintf(part, sizeof part, "hex(%lx):", static_cast<unsigned long>(saved.type));
      journal << part;
      for (size_t i = 0; i < saved.data.size(); ++i) {
        std::snprintf(part, sizeof part, "%s%02x", i ? "," : "", saved.data[i]);
        journal << part;
      }
      journal << "\r\n";
    }
  }

  std::vector<Saved> saved_;
};

}  // namespace lumar
