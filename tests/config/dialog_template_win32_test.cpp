// Dialog 101 as compiled into this executable: the template's bytes, and the dialog Windows builds from it.
// commctrl.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "resource_ids.h"

namespace lumar {
namespace {

// Window styles of each kind of control, as the dialog's layout gives them.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kText = kChild | SS_LEFT | WS_GROUP;
constexpr DWORD kList = kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kPresetList = kList | CBS_OWNERDRAWFIXED | CBS_SORT | CBS_HASSTRINGS;
constexpr DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kFrame = kChild | BS_GROUPBOX;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;
constexpr DWORD kFirstRadio = kRadio | WS_GROUP;
constexpr DWORD kSlider = kChild | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kLink = kChild | BS_OWNERDRAW | BS_FLAT | BS_BITMAP | WS_TABSTOP;
constexpr DWORD kDefault = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;

struct Expected {
  int id;
  const char* className;
  const char* text;
  DWORD style;
  short x, y, cx, cy;
};

// clang-format off
const Expected kLayout[] = {
    {IDC_MODE_CAPTION, "Static", "Mode", kText, 7, 9, 19, 8},
    {IDC_MODE_LIST, "ComboBox", "", kList, 42, 8, 106, 300},
    {IDC_STATIC, "Static", "Color", kText, 162, 10, 29, 17},
    {IDC_COLOR_LIST, "ComboBox", "", kList, 193, 8, 106, 100},
    {IDC_CURRENT_MODE, "Button", "Current Mode", kCheck, 314, 5, 58, 10},
    {IDC_SHOW_FPS, "Button", "Show FPS", kCheck, 314, 18, 57, 10},
    {IDC_STATIC, "Static", "Effect", kText, 7, 28, 20, 8},
    {IDC_EFFECT_LIST, "ComboBox", "", kList, 41, 27, 106, 67},
    {IDC_PRESET_CAPTION, "Static", "Preset", kText, 162, 28, 21, 8},
    {IDC_PRESET_LIST, "ComboBox", "", kPresetList, 193, 27, 106, 300},
    {IDC_RANDOM_START, "Button", "Random Start", kCheck, 314, 32, 59, 10},
    {IDC_TEXTURE_CAPTION, "Static", "Texture", kText, 7, 47, 31, 9},
    {IDC_TEXTURE_LIST, "ComboBox", "", kList, 41, 46, 106, 100},
    {IDC_BROWSE, "Button", "...", kPush, 151, 46, 13, 12},
    {IDC_SHOW_ORANGE_BAR, "Button", "Show Orange Bar", kCheck, 193, 48, 69, 10},
    {IDC_AS_FAST_AS_POSSIBLE, "Button", "As fast as possible", kCheck, 193, 59, 80, 10},
    {IDC_VIEW_GROUP, "Button", "View", kFrame, 319, 45, 58, 35},
    {IDC_VIEW_TOP, "Button", "top", kFirstRadio, 326, 55, 46, 8},
    {IDC_VIEW_BOTTOM, "Button", "bottom", kRadio, 326, 67, 46, 8},
    {IDC_CALCULATION_GROUP, "Button", "calculation", kFrame, 319, 80, 58, 35},
    {IDC_CALCULATION_FAST, "Button", "fast", kFirstRadio, 326, 90, 46, 8},
    {IDC_CALCULATION_NORMAL, "Button", "normal", kRadio, 326, 101, 37, 8},
    {IDC_OPTICS_GROUP, "Button", "optics", kFrame, 320, 115, 58, 35},
    {IDC_OPTICS_MIRROR, "Button", "mirror", kFirstRadio, 326, 125, 35, 8},
    {IDC_OPTICS_LENS, "Button", "lens", kRadio, 326, 136, 35, 8},
    {IDC_ZSIDES_GROUP, "Button", "z - sides", kFrame, 320, 154, 57, 35},
    {IDC_ZSIDES_ONE, "Button", "one", kFirstRadio, 326, 165, 31, 8},
    {IDC_ZSIDES_BOTH, "Button", "both", kRadio, 326, 176, 37, 8},
    {IDC_FALL_GROUP, "Button", "fall", kFrame, 320, 191, 58, 35},
    {IDC_FALL_IN, "Button", "in", kFirstRadio, 326, 201, 44, 8},
    {IDC_FALL_OUT, "Button", "out", kRadio, 326, 212, 49, 8},
    {IDC_WAVE_LENGTH_SLIDER, "msctls_trackbar32", "", kSlider, 7, 71, 165, 12},
    {IDC_WAVE_LENGTH_CAPTION, "Static", "Wave Length, px", kText, 184, 73, 56, 8},
    {IDC_WAVE_LENGTH_LABEL, "Static", "", kText, 255, 72, 29, 8},
    {IDC_SPEED_SLIDER, "msctls_trackbar32", "", kSlider, 7, 87, 165, 12},
    {IDC_SPEED_CAPTION, "Static", "Speed, px/s", kText, 184, 88, 40, 8},
    {IDC_SPEED_LABEL, "Static", "", kText, 256, 88, 22, 8},
    {IDC_DROPS_SLIDER, "msctls_trackbar32", "", kSlider, 7, 103, 165, 12},
    {IDC_DROPS_CAPTION, "Static", "Drops", kText, 184, 104, 28, 9},
    {IDC_DROPS_LABEL, "Static", "", kText, 256, 104, 20, 8},
    {IDC_BROADENING_SLIDER, "msctls_trackbar32", "", kSlider, 7, 119, 165, 12},
    {IDC_BROADENING_CAPTION, "Static", "Broadening, 1/px", kText, 184, 121, 59, 10},
    {IDC_BROADENING_LABEL, "Static", "", kText, 256, 121, 26, 8},
    {IDC_FADING_GROUP, "Button", "Fading", kFrame, 3, 141, 282, 42},
    {IDC_SPACE_SLIDER, "msctls_trackbar32", "", kSlider, 7, 150, 165, 12},
    {IDC_SPACE_CAPTION, "Static", "Space", kText, 184, 152, 64, 8},
    {IDC_SPACE_LABEL, "Static", "", kText, 256, 152, 21, 8},
    {IDC_TIME_SLIDER, "msctls_trackbar32", "", kSlider, 7, 166, 165, 12},
    {IDC_TIME_CAPTION, "Static", "Time, 1/c", kText, 184, 168, 64, 8},
    {IDC_TIME_LABEL, "Static", "", kText, 256, 167, 22, 9},
    {IDC_RELIEF_GROUP, "Button", "Relief", kFrame, 4, 189, 282, 59},
    {IDC_OPTICAL_SLIDER, "msctls_trackbar32", "", kSlider, 7, 199, 165, 12},
    {IDC_OPTICAL_CAPTION, "Static", "Optical", kText, 183, 200, 45, 8},
    {IDC_OPTICAL_LABEL, "Static", "", kText, 256, 200, 22, 8},
    {IDC_LIGHT_SLIDER, "msctls_trackbar32", "", kSlider, 7, 215, 165, 12},
    {IDC_LIGHT_CAPTION, "Static", "Light", kText, 183, 216, 34, 9},
    {IDC_LIGHT_LABEL, "Static", "", kText, 256, 216, 22, 8},
    {IDC_GEOMETRY_SLIDER, "msctls_trackbar32", "", kSlider, 7, 231, 165, 12},
    {IDC_GEOMETRY_CAPTION, "Static", "Geometry", kText, 183, 232, 68, 9},
    {IDC_GEOMETRY_LABEL, "Static", "", kText, 256, 232, 22, 8},
    {IDC_LINK_BUTTON, "Button", "", kLink, 290, 230, 29, 24},
    {IDOK, "Button", "OK", kDefault, 327, 228, 50, 14},
    {IDCANCEL, "Button", "Cancel", kPush, 327, 244, 50, 14},
};
// clang-format on
constexpr std::size_t kControlCount = sizeof kLayout / sizeof kLayout[0];

// --- The template's bytes ---

struct TemplateItem {
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::string className;
  std::string text;
};

struct DialogTemplate {
  DWORD style = 0;
  short cx = 0, cy = 0;
  std::string caption;
  WORD pointSize = 0;
  std::string font;
  std::vector<TemplateItem> items;
};

class Reader {
 public:
  Reader(const BYTE* data, std::size_t size) : begin_(data), at_(data), end_(data + size) {}
  template <typename T>
  T Read() {
    T value{};
    if (at_ + sizeof(T) > end_) throw std::runtime_error("template ends early");
    std::memcpy(&value, at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::string String() {
    std::string s;
    for (WORD c = Read<WORD>(); c != 0; c = Read<WORD>()) s += static_cast<char>(c);
    return s;
  }
  // A string or 0xFFFF and an ordinal; ordinals of the predefined classes become their names.
  std::string NameOrOrdinal() {
    const WORD first = Read<WORD>();
    if (first == 0xFFFF) {
      switch (Read<WORD>()) {
        case 0x80:
          return "Button";
        case 0x82:
          return "Static";
        case 0x85:
          return "ComboBox";
        default:
          return "#ordinal";
      }
    }
    at_ -= sizeof(WORD);
    return String();
  }
  void AlignToDword() {
    while ((at_ - begin_) % 4 != 0) ++at_;
  }

 private:
  const BYTE* begin_;
  const BYTE* at_;
  const BYTE* end_;
};

DialogTemplate ParseTemplate(const BYTE* data, std::size_t size) {
  Reader r(data, size);
  DialogTemplate t;
  t.style = r.Read<DWORD>();
  r.Read<DWORD>();  // extended style
  const WORD count = r.Read<WORD>();
  r.Read<short>();
  r.Read<short>();
  t.cx = r.Read<short>();
  t.cy = r.Read<short>();
  r.NameOrOrdinal();  // menu
  r.NameOrOrdinal();  // class
  t.caption = r.String();
  if (t.style & DS_SETFONT) {
    t.pointSize = r.Read<WORD>();
    t.font = r.String();
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignToDword();
    TemplateItem item;
    item.style = r.Read<DWORD>();
    r.Read<DWORD>();
    item.x = r.Read<short>();
    item.y = r.Read<short>();
    item.cx = r.Read<short>();
    item.cy = r.Read<short>();
    item.id = static_cast<short>(r.Read<WORD>());
    item.className = r.NameOrOrdinal();
    item.text = r.NameOrOrdinal();
    const WORD extra = r.Read<WORD>();
    for (WORD b = 0; b < extra; ++b) r.Read<BYTE>();
    t.items.push_back(item);
  }
  return t;
}

DialogTemplate LoadOwnTemplate() {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_CONFIGURE), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  if (!found) throw std::runtime_error("dialog 101 is not in the executable");
  HGLOBAL loaded = LoadResource(module, found);
  const auto* bytes = static_cast<const BYTE*>(LockResource(loaded));
  return ParseTemplate(bytes, SizeofResource(module, found));
}

TEST(DialogTemplate, DialogStyleSizeCaptionAndFont) {
  const DialogTemplate t = LoadOwnTemplate();
  EXPECT_EQ(t.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                        DS_CENTER | DS_SETFOREGROUND | DS_SETFONT));
  EXPECT_EQ(t.cx, 383);
  EXPECT_EQ(t.cy, 260);
  EXPECT_EQ(t.caption, "Lumar");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ(t.font, "MS Sans Serif");
}

TEST(DialogTemplate, EveryControlInOrderWithIdClassTextStyleAndRect) {
  const DialogTemplate t = LoadOwnTemplate();
  ASSERT_EQ(t.items.size(), kControlCount);
  for (std::size_t i = 0; i < kControlCount; ++i) {
    const Expected& e = kLayout[i];
    const TemplateItem& item = t.items[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(e.id));
    EXPECT_EQ(item.id, e.id);
    EXPECT_EQ(lstrcmpiA(item.className.c_str(), e.className), 0) << item.className;
    EXPECT_EQ(item.text, e.text);
    EXPECT_EQ(item.style, e.style);
    EXPECT_EQ(item.x, e.x);
    EXPECT_EQ(item.y, e.y);
    EXPECT_EQ(item.cx, e.cx);
    EXPECT_EQ(item.cy, e.cy);
  }
}

// --- The dialog Windows builds from it ---

INT_PTR CALLBACK PassiveProcedure(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class LiveDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONFIGURE), nullptr,
                                 PassiveProcedure, 0);
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override {
    if (dialog_) DestroyWindow(dialog_);
  }

  // Windows maps a control's origin and its size separately, each rounded on its own.
  RECT InPixels(short x, short y, short cx, short cy) const {
    RECT origin{x, y, x, y};
    RECT size{0, 0, cx, cy};
    MapDialogRect(dialog_, &origin);
    MapDialogRect(dialog_, &size);
    return RECT{origin.left, origin.top, origin.left + size.right, origin.top + size.bottom};
  }

  HWND dialog_ = nullptr;
};

TEST_F(LiveDialog, ControlsHaveTheirClassStyleAndPlace) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(dialog_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  ASSERT_EQ(children.size(), kControlCount);
  LONG listHeightDifference = -1;
  for (std::size_t i = 0; i < kControlCount; ++i) {
    const Expected& e = kLayout[i];
    HWND control = children[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(e.id));
    EXPECT_EQ(static_cast<short>(GetDlgCtrlID(control)), e.id);
    char className[64] = {};
    GetClassNameA(control, className, sizeof className);
    EXPECT_EQ(lstrcmpiA(className, e.className), 0) << className;
    const bool isList = std::strcmp(e.className, "ComboBox") == 0;
    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    // A combo box hands its scroll bar on to the list it drops down.
    const DWORD wanted = isList ? e.style & ~static_cast<DWORD>(WS_VSCROLL) : e.style;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;

    RECT actual;
    GetWindowRect(control, &actual);
    MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&actual), 2);
    const RECT expected = InPixels(e.x, e.y, e.cx, e.cy);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    if (isList) {
      // A closed list is one line high; the template's height is the open list's. How much of it the
      // system counts as the dropped part differs between systems, but by the same amount for every list.
      RECT dropped;
      SendMessageA(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      const LONG difference = (expected.bottom - expected.top) - (dropped.bottom - dropped.top);
      if (listHeightDifference < 0) listHeightDifference = difference;
      EXPECT_EQ(difference, listHeightDifference);
    } else {
      EXPECT_EQ(actual.bottom, expected.bottom);
    }
  }
}

TEST_F(LiveDialog, DialogSizeAndCaption) {
  RECT client;
  GetClientRect(dialog_, &client);
  const RECT expected = InPixels(0, 0, 383, 260);
  EXPECT_EQ(client.right, expected.right);
  EXPECT_EQ(client.bottom, expected.bottom);
  char caption[32] = {};
  GetWindowTextA(dialog_, caption, sizeof caption);
  EXPECT_STREQ(caption, "Lumar");
}

TEST_F(LiveDialog, EachRadioPairIsItsOwnGroup) {
  // Clicking one pair's button must not clear another pair's: every pair is checked, then each first
  // button is clicked.
  const int pairs[][2] = {{IDC_VIEW_TOP, IDC_VIEW_BOTTOM},
                          {IDC_CALCULATION_FAST, IDC_CALCULATION_NORMAL},
                          {IDC_OPTICS_MIRROR, IDC_OPTICS_LENS},
                          {IDC_ZSIDES_ONE, IDC_ZSIDES_BOTH},
                          {IDC_FALL_IN, IDC_FALL_OUT}};
  for (const auto& pair : pairs) CheckDlgButton(dialog_, pair[1], BST_CHECKED);
  for (const auto& pair : pairs) SendDlgItemMessageA(dialog_, pair[0], BM_CLICK, 0, 0);
  for (const auto& pair : pairs) {
    EXPECT_EQ(IsDlgButtonChecked(dialog_, pair[0]), BST_CHECKED) << pair[0];
    EXPECT_EQ(IsDlgButtonChecked(dialog_, pair[1]), BST_UNCHECKED) << pair[1];
  }
}

}  // namespace
}  // namespace lumar
