// Desktop values changed for one test: put back afterwards, and recorded as they were while changed, so that
// the test runner can put them back after a test program that crashed.
#include "host/desktop_values_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace lumar {
namespace {

const char* const kName = "LumarTestDesktopValue";

std::string Journal() {
  std::ifstream file(DesktopValues::kJournal);
  std::stringstream text;
  text << file.rdbuf();
  return file ? text.str() : "";
}

// The value's type and bytes as "type:bytes in hex", or "absent".
std::string Stored() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "no key";
  DWORD type = 0;
  BYTE data[64] = {};
  DWORD size = sizeof data;
  const LONG result = RegQueryValueExA(key, kName, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return "absent";
  std::string text = std::to_string(type) + ":";
  char part[4];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(part, sizeof part, "%02x", data[i]);
    text += part;
  }
  return text;
}

void Remove() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, kName);
  RegCloseKey(key);
}

TEST(DesktopValues, AreRecordedAsTheyWereWhileChangedAndPutBackAfterwards) {
  struct Case {
    bool existedBefore;
    const char* journalLine;  // how the value as it was reads in the record
    const char* after;
  } cases[] = {
      {false, "\"LumarTestDesktopValue\"=-", "absent"},
      {true, "\"LumarTestDesktopValue\"=hex(4):07,00,00,00", "4:07000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.journalLine);
    Remove();
    std::remove(DesktopValues::kJournal);
    if (c.existedBefore) {
      HKEY key = nullptr;
      ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_WRITE,
                                nullptr, &key, nullptr),
                ERROR_SUCCESS);
      const DWORD seven = 7;
      RegSetValueExA(key, kName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), sizeof seven);
      RegCloseKey(key);
    }
    {
      DesktopValues values;
      values.SetDword(kName, 1);
      values.SetString(kName, "changed twice");  // the record keeps the value from before the first change
      const std::string journal = Journal();
      EXPECT_NE(journal.find("[HKEY_CURRENT_USER\\Control Panel\\Desktop]"), std::string::npos) << journal;
      EXPECT_NE(journal.find(c.journalLine), std::string::npos) << journal;
      EXPECT_EQ(journal.find("changed twice"), std::string::npos) << journal;
    }
    EXPECT_EQ(Stored(), c.after);
    EXPECT_EQ(Journal(), "") << "the record outlived the changes";
  }
  Remove();
}

}  // namespace
}  // namespace lumar
