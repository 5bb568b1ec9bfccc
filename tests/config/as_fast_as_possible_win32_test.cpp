// The dialog's "As fast as possible" box: it shows the DWORD kept beside the record, OK stores what it
// shows, Cancel stores nothing, and the record itself never carries it.
// commctrl.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstring>

#include "config/config_dialog_win32.h"
#include "resource_ids.h"
#include "settings/frame_pacing_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

class AsFastAsPossibleBox : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    DeleteSettingsKey();
    SettingsState settings;
    ResetToDefaults(settings);
    record_ = settings.parameters;
    modes_.modesX8R8G8B8 = {{1024, 768, 60, 22}};
    modes_.foundFormats = {22};
    context_.record = &record_;
    context_.modes = &modes_;
    context_.desktop = {1024, 768, 60, 22};
    context_.services.writeSettings = [this](const ParameterSet& record) {
      written_ = record;
      ++writes_;
      return true;
    };
  }
  void TearDown() override {
    if (dialog_) DestroyWindow(dialog_);
    DeleteSettingsKey();
  }
  void Open() {
    dialog_ = CreateConfigDialog(GetModuleHandleA(nullptr), nullptr, context_);
    ASSERT_NE(dialog_, nullptr);
  }
  bool Checked() const { return IsDlgButtonChecked(dialog_, IDC_AS_FAST_AS_POSSIBLE) == BST_CHECKED; }
  void Click(int id) { SendDlgItemMessageA(dialog_, id, BM_CLICK, 0, 0); }

  ParameterSet record_{};
  ParameterSet written_{};
  int writes_ = 0;
  AdapterModeLists modes_;
  ConfigDialogContext context_;
  HWND dialog_ = nullptr;
};

TEST_F(AsFastAsPossibleBox, ShowsTheStoredValueAndOkStoresTheBox) {
  struct Case {
    const char* what;
    bool stored, click, expected;
  };
  const Case cases[] = {
      {"off, left", false, false, false},
      {"off, ticked", false, true, true},
      {"on, left", true, false, true},
      {"on, unticked", true, true, false},
  };
  ParameterSet first{};
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteAsFastAsPossible(c.stored)) << c.what;
    Open();
    EXPECT_EQ(Checked(), c.stored) << c.what;
    if (c.click) Click(IDC_AS_FAST_AS_POSSIBLE);
    Click(IDOK);
    EXPECT_EQ(ReadAsFastAsPossible(), c.expected) << c.what;
    // The record is written as ever, byte for byte the same whatever the box says.
    if (&c == &cases[0]) first = written_;
    EXPECT_EQ(std::memcmp(&written_, &first, sizeof first), 0) << c.what;
    DestroyWindow(dialog_);
    dialog_ = nullptr;
  }
  EXPECT_EQ(writes_, 4);
}

TEST_F(AsFastAsPossibleBox, CancelStoresNothing) {
  Open();
  EXPECT_FALSE(Checked()) << "off by default";
  Click(IDC_AS_FAST_AS_POSSIBLE);
  Click(IDCANCEL);
  EXPECT_FALSE(ReadAsFastAsPossible());
  EXPECT_EQ(writes_, 0);
}

}  // namespace
}  // namespace lumar
