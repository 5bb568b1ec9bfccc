// The configuration dialog from the real resource with the real dialog procedure, driven by the
// messages Windows sends when the user works it.
#include "config/config_dialog_win32.h"

// commctrl.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <d3d9.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "config/dialog_texts.h"
#include "config/slider_scales.h"
#include "config/user_guide.h"
#include "resource_ids.h"
#include "settings/presets.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

class ConfigDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    DeleteSettingsKey();
    SettingsState settings;
    ResetToDefaults(settings);
    record_ = settings.parameters;
    modes_.modesX8R8G8B8 = {{800, 600, 60, 22}, {1024, 768, 60, 22}, {1280, 1024, 60, 22}};
    modes_.modesR5G6B5 = {{640, 480, 60, 23}, {1024, 768, 75, 23}};
    modes_.foundFormats = {22, 23};
    for (std::size_t i = 0; i < sizeof identifier_; ++i) identifier_[i] = static_cast<uint8_t>(i * 31 + 7);
    context_.record = &record_;
    context_.modes = &modes_;
    context_.desktop = {1024, 768, 60, 22};
    context_.adapterIdentifier = identifier_;
    context_.services.choosePicture = [this](HWND, const char*, std::string& chosen) {
      if (chosenPictures_.empty()) return false;
      chosen = chosenPictures_.front();
      chosenPictures_.pop_front();
      return true;
    };
    context_.services.openPage = [this](const char* url) { openedPages_.push_back(url); };
    context_.services.findUserGuide = [this] { return userGuide_; };
    context_.services.tell = [this](HWND owner, const char* text) {
      EXPECT_EQ(owner, dialog_);
      toldTexts_.push_back(text);
    };
  }
  void TearDown() override {
    if (dialog_) DestroyWindow(dialog_);
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    DeleteSettingsKey();
  }

  void Open() {
    dialog_ = CreateConfigDialog(GetModuleHandleA(nullptr), nullptr, context_);
    ASSERT_NE(dialog_, nullptr);
  }

  std::string TempFile(const char* name) {
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    std::string path = std::string(directory) + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    files_.push_back(path);
    return path;
  }

  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendDlgItemMessageA(dialog_, id, message, wParam, lParam);
  }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  std::string Text(int id) const {
    char text[128] = {};
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    return text;
  }
  int Position(int slider) const { return static_cast<int>(Send(slider, TBM_GETPOS)); }
  int RangeMin(int slider) const { return static_cast<int>(Send(slider, TBM_GETRANGEMIN)); }
  int RangeMax(int slider) const { return static_cast<int>(Send(slider, TBM_GETRANGEMAX)); }

  // The user drags a slider: the control moves, then tells the dialog.
  void Slide(int slider, int position) {
    Send(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(Item(slider)));
  }
  void PageDown(int slider) {
    // A page step as the trackbar makes it: position += page size, clamped by the control.
    Send(slider, TBM_SETPOS, TRUE, Position(slider) - static_cast<int>(Send(slider, TBM_GETPAGESIZE)));
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_PAGEUP, 0), reinterpret_cast<LPARAM>(Item(slider)));
  }
  void Choose(int list, int position) {
    Send(list, CB_SETCURSEL, static_cast<WPARAM>(position));
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(list, CBN_SELENDOK), reinterpret_cast<LPARAM>(Item(list)));
  }
  int PositionOfPreset(int id) const {
    const int count = static_cast<int>(Send(IDC_PRESET_LIST, CB_GETCOUNT));
    for (int i = 0; i < count; ++i) {
      if (Send(IDC_PRESET_LIST, CB_GETITEMDATA, static_cast<WPARAM>(i)) == id) return i;
    }
    return -1;
  }
  // Opening the Preset list, choosing, and closing it, in the order the list reports them.
  void ChoosePresetFromList(int id) {
    Notify(IDC_PRESET_LIST, CBN_DROPDOWN);
    const int at = PositionOfPreset(id);
    ASSERT_GE(at, 0) << id;
    Choose(IDC_PRESET_LIST, at);
    Notify(IDC_PRESET_LIST, CBN_CLOSEUP);
  }
  void Notify(int list, int code) {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(list, code), reinterpret_cast<LPARAM>(Item(list)));
  }
  void Click(int button) { Send(button, BM_CLICK); }
  std::string ListText(int list, int position) const {
    char text[128] = {};
    if (position < 0) return "";
    Send(list, CB_GETLBTEXT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(text));
    return text;
  }
  std::string Selected(int list) const { return ListText(list, static_cast<int>(Send(list, CB_GETCURSEL))); }
  int Count(int list) const { return static_cast<int>(Send(list, CB_GETCOUNT)); }

  ParameterSet record_{};
  AdapterModeLists modes_;
  uint8_t identifier_[kAdapterIdentifierSize];
  ConfigDialogContext context_;
  std::deque<std::string> chosenPictures_;
  std::vector<std::string> openedPages_;
  std::string userGuide_ = "C:\\Program Files\\Lumar\\lumar-guide.html";
  std::vector<std::string> toldTexts_;
  std::vector<std::string> files_;
  HWND dialog_ = nullptr;
};

const int kParameterSliders[] = {IDC_WAVE_LENGTH_SLIDER, IDC_SPEED_SLIDER,   IDC_DROPS_SLIDER,
                                 IDC_SPACE_SLIDER,       IDC_TIME_SLIDER,    IDC_OPTICAL_SLIDER,
                                 IDC_LIGHT_SLIDER,       IDC_GEOMETRY_SLIDER};

TEST_F(ConfigDialogTest, DefaultsOpenWithEveryControlFilled) {
  Open();
  EXPECT_EQ(Text(IDC_WAVE_LENGTH_LABEL), "700");
  EXPECT_EQ(Text(IDC_SPACE_LABEL), " 0.00");
  EXPECT_EQ(Text(IDC_TIME_LABEL), " 0.010");
  EXPECT_EQ(RangeMin(IDC_SPEED_SLIDER), 1);
  EXPECT_EQ(RangeMax(IDC_SPEED_SLIDER), 3500);
  EXPECT_EQ(RangeMax(IDC_OPTICAL_SLIDER), 1050);
  EXPECT_EQ(RangeMax(IDC_LIGHT_SLIDER), 116);
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 700);
  EXPECT_EQ(Position(IDC_GEOMETRY_SLIDER), 320);
  EXPECT_EQ(record_.geometryMax, 700);
  EXPECT_EQ(Count(IDC_PRESET_LIST), 35);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Clipping");
  EXPECT_EQ(ListText(IDC_PRESET_LIST, 0), "Ameba");  // the list sorts
  EXPECT_EQ(Selected(IDC_EFFECT_LIST), "Basis");
  EXPECT_EQ(Selected(IDC_TEXTURE_LIST), "Desktop");
  EXPECT_TRUE(Checked(IDC_OPTICS_MIRROR));
  EXPECT_TRUE(Checked(IDC_ZSIDES_BOTH));
  EXPECT_TRUE(Checked(IDC_FALL_OUT));
  EXPECT_TRUE(Checked(IDC_CALCULATION_FAST));
  EXPECT_TRUE(Checked(IDC_VIEW_TOP));
  EXPECT_FALSE(Checked(IDC_VIEW_BOTTOM));
  EXPECT_TRUE(Checked(IDC_SHOW_ORANGE_BAR));
  EXPECT_FALSE(Checked(IDC_SHOW_FPS));
  // Fast calculation: Broadening disabled.
  EXPECT_FALSE(Enabled(IDC_BROADENING_SLIDER));
  EXPECT_FALSE(Enabled(IDC_BROADENING_CAPTION));
  EXPECT_TRUE(Enabled(IDC_ZSIDES_ONE));
}

TEST_F(ConfigDialogTest, CurrentModeShowsTheDesktopWithBothListsDisabled) {
  record_.screenWidth = 800;
  record_.screenHeight = 600;
  record_.screenFormat = 23;
  Open();
  EXPECT_EQ(record_.screenWidth, 1024u);
  EXPECT_EQ(record_.screenHeight, 768u);
  EXPECT_EQ(record_.screenRefresh, 60u);
  EXPECT_EQ(record_.screenFormat, 22);
  EXPECT_EQ(Selected(IDC_COLOR_LIST), "X8R8G8B8 (32)");
  EXPECT_EQ(Count(IDC_COLOR_LIST), 2);
  EXPECT_EQ(ListText(IDC_COLOR_LIST, 1), "R5G6B5 (16)");
  EXPECT_EQ(Selected(IDC_MODE_LIST), "1024 x 768");
  EXPECT_EQ(Count(IDC_MODE_LIST), 3);
  EXPECT_FALSE(Enabled(IDC_MODE_LIST));
  EXPECT_FALSE(Enabled(IDC_COLOR_LIST));

  Click(IDC_CURRENT_MODE);  // clear it: the lists open up
  EXPECT_EQ(record_.useCurrentMode, 0);
  EXPECT_TRUE(Enabled(IDC_MODE_LIST));
  Choose(IDC_COLOR_LIST, 1);  // R5G6B5 has 1024 x 768: the refresh rate stays
  EXPECT_EQ(record_.screenFormat, 23);
  EXPECT_EQ(record_.screenRefresh, 60u);
  EXPECT_EQ(Selected(IDC_MODE_LIST), "1024 x 768");
  Choose(IDC_MODE_LIST, 0);
  EXPECT_EQ(record_.screenWidth, 640u);
  EXPECT_EQ(record_.screenFormat, 23);
  Choose(IDC_COLOR_LIST, 0);  // no 640 x 480 in X8R8G8B8: the first mode
  EXPECT_EQ(record_.screenWidth, 800u);
  EXPECT_EQ(Selected(IDC_MODE_LIST), "800 x 600");
}

TEST_F(ConfigDialogTest, MetalThenSkyKeepsMetalSelected) {
  Open();
  ChoosePresetFromList(7);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Metal");
  EXPECT_EQ(record_.texture, 1);
  EXPECT_EQ(Selected(IDC_TEXTURE_LIST), "Metal");
  Choose(IDC_TEXTURE_LIST, 2);
  EXPECT_EQ(record_.texture, 2);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Metal");
  EXPECT_EQ(record_.presetId, 7);
}

TEST_F(ConfigDialogTest, MovingASliderBackRestoresThePresetName) {
  Open();
  Slide(IDC_SPEED_SLIDER, 76);
  EXPECT_EQ(record_.speed, 76);
  EXPECT_EQ(Text(IDC_SPEED_LABEL), "76");
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Custom");
  EXPECT_EQ(record_.presetId, 0);
  Slide(IDC_SPEED_SLIDER, 75);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Clipping");
  EXPECT_EQ(record_.presetId, 5);
}

TEST_F(ConfigDialogTest, CheckBoxesLeaveThePresetAsItIs) {
  Open();
  ChoosePresetFromList(7);      // "Metal"
  Choose(IDC_TEXTURE_LIST, 2);  // Sky: the values now match "Mercury", but the list keeps "Metal"
  for (int box : {IDC_SHOW_FPS, IDC_RANDOM_START, IDC_SHOW_ORANGE_BAR, IDC_CURRENT_MODE}) {
    Click(box);
    EXPECT_EQ(Selected(IDC_PRESET_LIST), "Metal") << box;
    EXPECT_EQ(record_.presetId, 7) << box;
  }
  Click(IDOK);
  EXPECT_EQ(record_.presetId, 7);
  EXPECT_EQ(record_.showFps, 1);
  EXPECT_EQ(record_.randomStart, 1);
}

TEST_F(ConfigDialogTest, OpeningAndClosingThePresetListKeepsCustom) {
  Open();
  Slide(IDC_TIME_SLIDER, 11);
  EXPECT_EQ(Text(IDC_TIME_LABEL), " 0.011");
  ASSERT_EQ(Selected(IDC_PRESET_LIST), "Custom");
  Notify(IDC_PRESET_LIST, CBN_DROPDOWN);
  EXPECT_EQ(Count(IDC_PRESET_LIST), 34);
  EXPECT_EQ(PositionOfPreset(0), -1);  // "Custom" cannot be chosen while open
  Notify(IDC_PRESET_LIST, CBN_CLOSEUP);
  EXPECT_EQ(Count(IDC_PRESET_LIST), 35);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Custom");
}

TEST_F(ConfigDialogTest, ChoosingOnTheClosedListThenOpeningAndClosingKeepsCustom) {
  Open();
  // Arrow keys or the wheel on the closed list: a choice without the list opening or closing.
  Choose(IDC_PRESET_LIST, PositionOfPreset(9));
  ASSERT_EQ(record_.presetId, 9);
  Slide(IDC_TIME_SLIDER, record_.timeFading + 1);
  ASSERT_EQ(Selected(IDC_PRESET_LIST), "Custom");
  Notify(IDC_PRESET_LIST, CBN_DROPDOWN);
  Notify(IDC_PRESET_LIST, CBN_CLOSEUP);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Custom");
}

TEST_F(ConfigDialogTest, TsunamiLocksAndAnotherPresetUnlocks) {
  Open();
  ChoosePresetFromList(kTsunamiPresetId);
  for (const SliderDefinition& d : SliderDefinitions()) {
    for (int id : {d.sliderId, d.captionId, d.labelId}) EXPECT_FALSE(Enabled(id)) << id;  // Broadening: fast
  }
  for (int id : {IDC_FADING_GROUP, IDC_RELIEF_GROUP, IDC_VIEW_TOP, IDC_CALCULATION_FAST, IDC_OPTICS_LENS,
                 IDC_ZSIDES_ONE, IDC_FALL_IN, IDC_SPEED_LABEL, IDC_GEOMETRY_CAPTION}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  for (int id : {IDC_PRESET_LIST, IDC_EFFECT_LIST, IDC_TEXTURE_LIST, IDOK, IDCANCEL, IDC_LINK_BUTTON}) {
    EXPECT_TRUE(Enabled(id)) << id;
  }
  EXPECT_TRUE(Checked(IDC_VIEW_BOTTOM));
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 233);  // bottom view: rule d

  ChoosePresetFromList(5);
  for (int slider : kParameterSliders) EXPECT_TRUE(Enabled(slider)) << slider;
  EXPECT_TRUE(Enabled(IDC_RELIEF_GROUP));
  EXPECT_TRUE(Enabled(IDC_ZSIDES_ONE));  // back to the top view
  EXPECT_TRUE(Checked(IDC_VIEW_TOP));
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 700);
}

TEST_F(ConfigDialogTest, PresetTsunamiStoredOpensLocked) {
  ApplyPreset(record_, kTsunamiPresetId);
  record_.presetId = kTsunamiPresetId;
  Open();
  for (int slider : kParameterSliders) EXPECT_FALSE(Enabled(slider)) << slider;
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Tsunami");
}

TEST_F(ConfigDialogTest, AquariumSelectsRainAndNarrowsTheRanges) {
  Open();
  Choose(IDC_EFFECT_LIST, 1);
  EXPECT_EQ(record_.effect, 1);
  EXPECT_EQ(Count(IDC_PRESET_LIST), 4);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Rain");
  EXPECT_EQ(record_.presetId, 1);
  EXPECT_EQ(record_.waveLength, 40);
  EXPECT_EQ(Position(IDC_WAVE_LENGTH_SLIDER), 40);
  EXPECT_EQ(RangeMin(IDC_SPEED_SLIDER), 1);
  EXPECT_EQ(RangeMax(IDC_SPEED_SLIDER), 506);
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 2);
  EXPECT_EQ(RangeMax(IDC_OPTICAL_SLIDER), 10);
  for (int id : {IDC_TEXTURE_LIST, IDC_BROWSE, IDC_VIEW_GROUP, IDC_ZSIDES_BOTH, IDC_FALL_OUT}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  EXPECT_TRUE(Enabled(IDC_BROADENING_SLIDER));  // Rain calculates normally

  Choose(IDC_EFFECT_LIST, 0);
  EXPECT_EQ(Count(IDC_PRESET_LIST), 35);
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Rain");
  EXPECT_TRUE(Enabled(IDC_TEXTURE_LIST));
  EXPECT_TRUE(Checked(IDC_VIEW_TOP));
}

TEST_F(ConfigDialogTest, SwitchingTheEffectShowsTheValuesInTheNewRanges) {
  Open();
  Choose(IDC_EFFECT_LIST, 1);
  Slide(IDC_WAVE_LENGTH_SLIDER, 700);
  for (int slider : {IDC_LIGHT_SLIDER, IDC_OPTICAL_SLIDER, IDC_GEOMETRY_SLIDER})
    Slide(slider, RangeMax(slider));
  ASSERT_EQ(Text(IDC_LIGHT_LABEL), "116");
  Slide(IDC_WAVE_LENGTH_SLIDER, 40);
  Choose(IDC_EFFECT_LIST, 0);
  struct Shown {
    int slider, label, max;
  };
  for (const Shown& s :
       {Shown{IDC_LIGHT_SLIDER, IDC_LIGHT_LABEL, 6}, Shown{IDC_OPTICAL_SLIDER, IDC_OPTICAL_LABEL, 60},
        Shown{IDC_GEOMETRY_SLIDER, IDC_GEOMETRY_LABEL, 20}}) {
    EXPECT_EQ(RangeMax(s.slider), s.max) << s.slider;
    EXPECT_EQ(Position(s.slider), s.max) << s.slider;
    EXPECT_EQ(Text(s.label), std::to_string(s.max)) << s.slider;  // the label shows what OK stores
  }
  Click(IDOK);
  EXPECT_EQ(record_.reliefLight, 6);
  EXPECT_EQ(record_.reliefOptical, 60);
  EXPECT_EQ(record_.reliefGeometry, 20);
}

TEST_F(ConfigDialogTest, AquariumRecordOpensWithFourPresets) {
  record_.effect = kEffectAquarium;
  ApplyPreset(record_, 17);
  record_.presetId = 17;
  Open();
  ASSERT_EQ(Count(IDC_PRESET_LIST), 4);
  EXPECT_EQ(ListText(IDC_PRESET_LIST, 0), "Custom");
  EXPECT_EQ(ListText(IDC_PRESET_LIST, 1), "Drops");
  EXPECT_EQ(ListText(IDC_PRESET_LIST, 2), "Rain");
  EXPECT_EQ(ListText(IDC_PRESET_LIST, 3), "Water");
  EXPECT_EQ(Selected(IDC_PRESET_LIST), "Drops");
  EXPECT_FALSE(Enabled(IDC_TEXTURE_LIST));
}

TEST_F(ConfigDialogTest, BottomThenTopRestoresZSides) {
  record_.zSides = 1;
  Open();
  ASSERT_TRUE(Checked(IDC_ZSIDES_ONE));
  Click(IDC_VIEW_BOTTOM);
  EXPECT_EQ(record_.view, 1);
  EXPECT_EQ(record_.zSides, 0);
  EXPECT_TRUE(Checked(IDC_ZSIDES_BOTH));
  EXPECT_FALSE(Enabled(IDC_ZSIDES_ONE));
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 233);
  Click(IDC_VIEW_TOP);
  EXPECT_EQ(record_.view, 0);
  EXPECT_EQ(record_.zSides, 1);
  EXPECT_TRUE(Checked(IDC_ZSIDES_ONE));
  EXPECT_FALSE(Checked(IDC_ZSIDES_BOTH));
  EXPECT_TRUE(Enabled(IDC_ZSIDES_GROUP));
}

TEST_F(ConfigDialogTest, OneSideFallInFollowsDrops) {
  record_.drops = 1;
  Open();
  Click(IDC_ZSIDES_ONE);
  Click(IDC_FALL_IN);
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 700);
  Slide(IDC_DROPS_SLIDER, 4);
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 350);
  EXPECT_EQ(Text(IDC_GEOMETRY_LABEL), "320");
  EXPECT_EQ(record_.geometryMax, 350);
  Click(IDC_FALL_OUT);
  EXPECT_EQ(RangeMax(IDC_GEOMETRY_SLIDER), 700);
}

TEST_F(ConfigDialogTest, FastAndNormalCalculation) {
  record_.calculation = 0;
  record_.broadening = 40;
  Open();
  EXPECT_TRUE(Enabled(IDC_BROADENING_SLIDER));
  EXPECT_EQ(Text(IDC_BROADENING_LABEL), "40");
  Click(IDC_CALCULATION_FAST);
  EXPECT_EQ(Position(IDC_BROADENING_SLIDER), 0);
  EXPECT_EQ(Text(IDC_BROADENING_LABEL), "0");
  EXPECT_FALSE(Enabled(IDC_BROADENING_LABEL));
  EXPECT_EQ(record_.broadening, 40);
  Click(IDC_CALCULATION_NORMAL);
  EXPECT_EQ(Position(IDC_BROADENING_SLIDER), 40);
  EXPECT_TRUE(Enabled(IDC_BROADENING_CAPTION));
}

TEST_F(ConfigDialogTest, PagingBelowTheMinimumStaysInRange) {
  record_.drops = 1;
  Open();
  PageDown(IDC_DROPS_SLIDER);
  EXPECT_EQ(record_.drops, 1);
  EXPECT_EQ(Text(IDC_DROPS_LABEL), "1");
}

TEST_F(ConfigDialogTest, BrowsingTwiceReplacesThePictureEntry) {
  Open();
  chosenPictures_ = {TempFile("lumar lake.jpg"), TempFile("lumar hill.bmp")};
  Click(IDC_BROWSE);
  ASSERT_EQ(Count(IDC_TEXTURE_LIST), 4);
  EXPECT_NE(Selected(IDC_TEXTURE_LIST).find("lumar lake"), std::string::npos);
  EXPECT_EQ(record_.texture, 3);
  EXPECT_STREQ(record_.textureFile, files_[0].c_str());
  Click(IDC_BROWSE);
  ASSERT_EQ(Count(IDC_TEXTURE_LIST), 4);
  EXPECT_NE(Selected(IDC_TEXTURE_LIST).find("lumar hill"), std::string::npos);
  EXPECT_STREQ(record_.textureFile, files_[1].c_str());
  Click(IDC_BROWSE);  // cancelled: nothing changes
  EXPECT_STREQ(record_.textureFile, files_[1].c_str());
  EXPECT_EQ(Count(IDC_TEXTURE_LIST), 4);
}

TEST_F(ConfigDialogTest, ExistingPictureIsListedAndSelected) {
  const std::string path = TempFile("lumar pond.jpg");
  std::strcpy(record_.textureFile, path.c_str());
  record_.texture = 3;
  Open();
  ASSERT_EQ(Count(IDC_TEXTURE_LIST), 4);
  EXPECT_NE(Selected(IDC_TEXTURE_LIST).find("lumar pond"), std::string::npos);
  EXPECT_EQ(record_.texture, 3);
}

TEST_F(ConfigDialogTest, DeletedPictureSelectsDesktop) {
  std::strcpy(record_.textureFile, "C:\\no such folder\\gone.jpg");
  record_.texture = 3;
  Open();
  EXPECT_EQ(Count(IDC_TEXTURE_LIST), 3);
  EXPECT_EQ(Selected(IDC_TEXTURE_LIST), "Desktop");
  EXPECT_EQ(record_.texture, 0);
}

TEST_F(ConfigDialogTest, LinkButtonOpensTheUserGuide) {
  Open();
  SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_LINK_BUTTON, BN_CLICKED),
               reinterpret_cast<LPARAM>(Item(IDC_LINK_BUTTON)));
  ASSERT_EQ(openedPages_.size(), 1u);
  EXPECT_EQ(openedPages_[0], "C:\\Program Files\\Lumar\\lumar-guide.html");
  EXPECT_TRUE(toldTexts_.empty());
  EXPECT_TRUE(IsWindow(dialog_));
}

TEST_F(ConfigDialogTest, LinkButtonWithoutTheGuideSaysWhereItShouldBe) {
  userGuide_.clear();
  Open();
  SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_LINK_BUTTON, BN_CLICKED),
               reinterpret_cast<LPARAM>(Item(IDC_LINK_BUTTON)));
  EXPECT_TRUE(openedPages_.empty()) << "opened " << openedPages_[0];
  ASSERT_EQ(toldTexts_.size(), 1u);
  EXPECT_EQ(toldTexts_[0], kUserGuideMissing);
  EXPECT_TRUE(IsWindow(dialog_));
}

TEST_F(ConfigDialogTest, DoubleClickOnTheLinkButtonOpensThePageOncePerClick) {
  Open();
  // The mouse as the button class sees it; an owner-drawn button reports the second press of a
  // double-click as BN_DOUBLECLICKED.
  const HWND button = Item(IDC_LINK_BUTTON);
  const LPARAM at = MAKELPARAM(5, 5);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(button, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(openedPages_.size(), 1u);
  SendMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageA(button, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(openedPages_.size(), 1u);
  SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDC_LINK_BUTTON, BN_DOUBLECLICKED),
               reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(openedPages_.size(), 1u);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);  // a later click opens it again
  SendMessageA(button, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(openedPages_.size(), 2u);
}

TEST_F(ConfigDialogTest, CancelWritesNothing) {
  Open();
  Slide(IDC_SPEED_SLIDER, 100);
  Click(IDCANCEL);
  EXPECT_EQ(context_.result, 2);
  ParameterSet stored{};
  EXPECT_FALSE(ReadSettings(stored));
}

TEST_F(ConfigDialogTest, OkStoresSliderPositionsAndWritesTheRecord) {
  record_.speed = 3500;
  record_.reliefGeometry = 320;
  record_.calculation = 0;
  record_.broadening = 30;
  Open();
  Slide(IDC_WAVE_LENGTH_SLIDER, 40);
  EXPECT_EQ(Position(IDC_SPEED_SLIDER), 1520);
  EXPECT_EQ(Text(IDC_SPEED_LABEL), "1520");
  EXPECT_EQ(record_.speed, 3500);
  Click(IDC_CALCULATION_FAST);
  Click(IDC_SHOW_FPS);
  Click(IDC_RANDOM_START);
  Click(IDOK);
  EXPECT_EQ(context_.result, 1);
  EXPECT_EQ(record_.speed, 1520);
  EXPECT_EQ(record_.reliefGeometry, 20);
  EXPECT_EQ(record_.geometryMax, 20);
  EXPECT_EQ(record_.broadening, 0);
  EXPECT_EQ(record_.calculation, 1);
  EXPECT_EQ(record_.showFps, 1);
  EXPECT_EQ(record_.randomStart, 1);
  EXPECT_EQ(record_.savedDesktopWidth, 1024u);
  EXPECT_EQ(record_.savedDesktopHeight, 768u);
  EXPECT_EQ(record_.savedDesktopRefresh, 60u);
  EXPECT_EQ(record_.savedDesktopFormat, 22);
  EXPECT_EQ(std::memcmp(record_.adapterIdentifier, identifier_, kAdapterIdentifierSize), 0);

  // The registry value is the record as it stands after the read-back, every byte of it.
  ParameterSet stored{};
  ASSERT_TRUE(ReadSettings(stored));
  EXPECT_EQ(stored.waveLength, 40);
  EXPECT_EQ(std::memcmp(&stored, &record_, sizeof stored), 0);
}

TEST_F(ConfigDialogTest, NextRunKeepsTheRecordWrittenByOk) {
  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(direct3d, nullptr);
  FetchAdapterIdentity(direct3d, identifier_, context_.desktop);
  Open();
  ChoosePresetFromList(12);  // "Medusa"
  Click(IDOK);
  ASSERT_EQ(context_.result, 1);
  SettingsState next;
  LoadSettings(next, direct3d);
  direct3d->Release();
  EXPECT_EQ(next.settingsWereReset, 0);
  EXPECT_EQ(next.parameters.presetId, 12);
  EXPECT_EQ(std::memcmp(&next.parameters, &record_, sizeof record_), 0);
}

// A 32-bit surface the test hands to the dialog's owner drawing.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
    std::fill(pixels_, pixels_ + width * height, 0x00123456u);
  }
  ~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const uint32_t p = pixels_[y * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int CountOf(COLORREF color, int y0, int y1) const {
    int count = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = 0; x < width_; ++x) count += At(x, y) == color;
    }
    return count;
  }

 private:
  int width_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  uint32_t* pixels_ = nullptr;
};

TEST_F(ConfigDialogTest, PresetEntriesAreDrawnInTheSelectionColours) {
  Open();
  Canvas canvas(160, 40);
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_COMBOBOX;
  item.CtlID = IDC_PRESET_LIST;
  item.itemID = static_cast<UINT>(PositionOfPreset(5));
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = ODS_SELECTED;
  item.hwndItem = Item(IDC_PRESET_LIST);
  item.hDC = canvas.dc();
  item.rcItem = {0, 0, 160, 20};
  SendMessageA(dialog_, WM_DRAWITEM, IDC_PRESET_LIST, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(canvas.At(159, 19), GetSysColor(COLOR_HIGHLIGHT));             // the whole item is filled
  EXPECT_GT(canvas.CountOf(GetSysColor(COLOR_HIGHLIGHTTEXT), 0, 20), 10);  // "Clipping" is written
  EXPECT_EQ(canvas.At(0, 30), RGB(0x12, 0x34, 0x56));                      // nothing outside the item

  item.itemID = static_cast<UINT>(-1);  // an empty list draws nothing
  item.rcItem = {0, 20, 160, 40};
  SendMessageA(dialog_, WM_DRAWITEM, IDC_PRESET_LIST, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(canvas.CountOf(RGB(0x12, 0x34, 0x56), 20, 40), 160 * 20);
}

TEST_F(ConfigDialogTest, TwoDialogsKeepTheirOwnState) {
  ParameterSet other = record_;
  ConfigDialogContext otherContext = context_;
  otherContext.record = &other;
  Open();
  HWND second = CreateConfigDialog(GetModuleHandleA(nullptr), nullptr, otherContext);
  ASSERT_NE(second, nullptr);
  Slide(IDC_SPEED_SLIDER, 90);
  EXPECT_EQ(record_.speed, 90);
  EXPECT_EQ(other.speed, 75);
  EXPECT_EQ(SendDlgItemMessageA(second, IDC_SPEED_SLIDER, TBM_GETPOS, 0, 0), 75);
  DestroyWindow(second);
}

// The text of every caption, check box, radio button, group title and push button fits its control at
// the display's DPI, and the dialog's font grows with the DPI (CTest runs this at 96 dpi and in a
// session of its own at 144, which it names in LUMAR_EXPECT_DPI).
TEST_F(ConfigDialogTest, EveryTextFitsItsControlAtTheScreensDpi) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (const char* expected = std::getenv("LUMAR_EXPECT_DPI")) {
    ASSERT_EQ(dpi, std::atoi(expected));
  }
  Open();
  struct Check {
    int dpi = 96;
    int checked = 0;
    std::vector<std::string> clipped;
    int fontHeight = 0;
  } check;
  check.dpi = dpi;
  EnumChildWindows(
      dialog_,
      [](HWND control, LPARAM data) -> BOOL {
        auto& c = *reinterpret_cast<Check*>(data);
        char name[32] = {}, text[128] = {};
        GetClassNameA(control, name, sizeof name);
        GetWindowTextA(control, text, sizeof text);
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        const LONG kind = style & BS_TYPEMASK;
        const bool button = std::strcmp(name, "Button") == 0;
        if (!text[0] || (std::strcmp(name, "Static") != 0 && !button) || (button && kind == BS_OWNERDRAW))
          return TRUE;
        RECT area;
        GetClientRect(control, &area);
        int room = area.right;
        // A check box or radio button spends its box and a gap on the left.
        if (button && kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON && kind != BS_GROUPBOX)
          room -= MulDiv(13 + 4, c.dpi, 96);
        if (button && kind == BS_GROUPBOX) room -= MulDiv(8, c.dpi, 96);
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &extent);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        c.fontHeight = std::max(c.fontHeight, static_cast<int>(metrics.tmHeight));
        ++c.checked;
        if (extent.cx > room || (kind != BS_GROUPBOX && extent.cy > area.bottom))
          c.clipped.push_back(std::string(text) + " (" + std::to_string(extent.cx) + "x" +
                              std::to_string(extent.cy) + " in " + std::to_string(room) + "x" +
                              std::to_string(area.bottom) + ")");
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&check));
  EXPECT_GT(check.checked, 30);
  for (const std::string& text : check.clipped) ADD_FAILURE() << "clipped at " << dpi << " dpi: " << text;
  // An 8-point font is 8/72 inch high, at least about that many pixels.
  EXPECT_GE(check.fontHeight, MulDiv(8, dpi, 72) - 1) << dpi << " dpi";
}

}  // namespace
}  // namespace lumar
