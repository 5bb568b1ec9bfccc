// The message box shows its text through the Unicode call: the adapter check's Russian words, stored in
// code page 1251, read back from the box's own window as the real Cyrillic letters.
#include "platform/message_box_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace lumar {
namespace {

// The seventh adapter check's message as the program stores it, and as a person must read it.
constexpr const char* kStoredText =
    "Not supported MultiSampleType = D3DMULTISAMPLE_NONE "
    "\xE4\xEB\xFF \xEE\xEA\xEE\xED\xED\xEE\xE3\xEE \xF0\xE5\xE6\xE8\xEC\xE0";
constexpr const wchar_t* kShownText =
    L"Not supported MultiSampleType = D3DMULTISAMPLE_NONE "
    L"\u0434\u043B\u044F \u043E\u043A\u043E\u043D\u043D\u043E\u0433\u043E "
    L"\u0440\u0435\u0436\u0438\u043C\u0430";

TEST(MessageText, CodePage1251BecomesUnicodeAndAsciiStaysAsItIs) {
  const struct {
    const char* stored;
    const wchar_t* shown;
  } cases[] = {
      {kStoredText, kShownText},
      {"Unable to detect current mode", L"Unable to detect current mode"},
      {"", L""},
      {"\xC0\xFF", L"\u0410\u044F"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageTextToUnicode(c.stored), c.shown) << c.stored;
  EXPECT_EQ(MessageTextToUnicode(nullptr), L"");
}

// The static control of a message box whose text mentions "MultiSampleType", read as Unicode.
struct FoundText {
  std::wstring text;
};

BOOL CALLBACK ReadChildText(HWND child, LPARAM found) {
  wchar_t buffer[512] = {};
  GetWindowTextW(child, buffer, 512);
  if (std::wstring(buffer).find(L"MultiSampleType") != std::wstring::npos) {
    reinterpret_cast<FoundText*>(found)->text = buffer;
    return FALSE;
  }
  return TRUE;
}

TEST(UnicodeMessageBox, ShowsTheCyrillicWordsAsUnicode) {
  const MessageSink previous = SetMessageSink(nullptr);
  std::thread shower([] { ShowMessage(kStoredText, MB_OK | MB_ICONINFORMATION); });
  HWND box = nullptr;
  for (int i = 0; i < 200 && !box; ++i) {
    box = FindWindowW(L"#32770", L"Lumar");
    if (!box) Sleep(50);
  }
  FoundText found;
  if (box) EnumChildWindows(box, ReadChildText, reinterpret_cast<LPARAM>(&found));
  wchar_t title[64] = {};
  if (box) GetWindowTextW(box, title, 64);
  // Closing the box ends the thread whatever was read.
  for (int i = 0; i < 100 && box && IsWindow(box); ++i) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    Sleep(50);
  }
  shower.join();
  SetMessageSink(previous);
  ASSERT_NE(box, nullptr) << "no message box titled Lumar appeared";
  EXPECT_STREQ(title, L"Lumar");
  EXPECT_EQ(found.text, kShownText);
}

}  // namespace
}  // namespace lumar
