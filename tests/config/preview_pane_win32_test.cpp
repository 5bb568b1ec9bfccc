// The dialog's live preview pane in process: it stands against the dialog's right edge and draws; a
// picture it cannot show gives the pane's one line why (its text) while the dialog goes on working; it
// hides with the minimised dialog; the dialog without the pane is the dialog as it always was.
#include "config/preview_pane_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "config/config_dialog_win32.h"
#include "platform/picture_files_win32.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

const std::string kPictures = "Z:" LUMAR_SOURCE_DIR "/tests/platform/pictures/";

class PreviewPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    SettingsState settings;
    ResetToDefaults(settings);
    record_ = settings.parameters;
    modes_.modesX8R8G8B8 = {{1024, 768, 60, 22}};
    modes_.foundFormats = {22};
    context_.record = &record_;
    context_.modes = &modes_;
    context_.desktop = {1024, 768, 60, 22};
    context_.services.writeSettings = [](const ParameterSet&) {
      ADD_FAILURE() << "the preview wrote the settings";
      return false;
    };
  }
  void TearDown() override {
    if (dialog_) DestroyWindow(dialog_);
  }

  void Open(bool withPreview = true) {
    dialog_ = CreateConfigDialog(GetModuleHandleA(nullptr), nullptr, context_, withPreview);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOWNORMAL);
  }
  // The pane the dialog owns, or null.
  HWND Pane() const {
    for (HWND w = FindWindowExA(nullptr, nullptr, "LumarPreviewPane", nullptr); w;
         w = FindWindowExA(nullptr, w, "LumarPreviewPane", nullptr)) {
      if (GetWindow(w, GW_OWNER) == dialog_) return w;
    }
    return nullptr;
  }
  std::string PaneText() const {
    char text[128] = {};
    GetWindowTextA(Pane(), text, sizeof text);
    return text;
  }
  // Runs the dialog's messages for up to `ms` or until `done`.
  template <typename Done>
  void Pump(DWORD ms, Done done) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms && !done()) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dialog_, &message)) DispatchMessageA(&message);
      }
      Sleep(5);
    }
  }
  void UsePicture(const std::string& path) {
    record_.texture = kTextureFile;
    std::snprintf(record_.textureFile, sizeof record_.textureFile, "%s", path.c_str());
  }

  ParameterSet record_{};
  AdapterModeLists modes_;
  ConfigDialogContext context_;
  HWND dialog_ = nullptr;
};

TEST_F(PreviewPaneTest, StandsAgainstTheDialogsRightEdgeAndDraws) {
  Open();
  HWND pane = Pane();
  ASSERT_NE(pane, nullptr);
  Pump(5000, [pane] { return IsWindowVisible(pane) != FALSE; });
  ASSERT_TRUE(IsWindowVisible(pane));
  RECT dialog{}, area{};
  GetWindowRect(dialog_, &dialog);
  GetWindowRect(pane, &area);
  EXPECT_EQ(area.left, dialog.right);
  EXPECT_EQ(area.top, dialog.top);
  EXPECT_LE(area.bottom, dialog.bottom);
  Pump(1000, [] { return false; });
  EXPECT_EQ(PaneText(), "");  // drawing: no panel
  // It follows the dialog.
  SetWindowPos(dialog_, nullptr, dialog.left + 10, dialog.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  GetWindowRect(pane, &area);
  EXPECT_EQ(area.left, dialog.right + 10);
  EXPECT_EQ(area.top, dialog.top + 20);
  // Minimised, it hides.
  ShowWindow(dialog_, SW_MINIMIZE);
  Pump(1000, [pane] { return !IsWindowVisible(pane); });
  EXPECT_FALSE(IsWindowVisible(pane));
}

TEST_F(PreviewPaneTest, APictureItCannotShowGivesItsOneLineWhy) {
  const std::string empty = test::TempFile("lumar_pane_empty.png");
  ASSERT_TRUE(test::WriteBytes(empty, {}));
  const struct {
    std::string path;
    const char* text;
  } cases[] = {
      {kPictures + "quarters_truncated.png", "The picture cannot be shown"},
      {kPictures + "declares_30000x30000.png", "The picture cannot be shown: too large"},
      {empty, "The picture cannot be shown: truncated"},
      {kPictures + "jpeg_named.png", ""},  // a JPEG by its content: drawn
      {kPictures + "quarters.gif", ""},
  };
  for (const auto& c : cases) {
    UsePicture(c.path);
    Open();
    ASSERT_NE(Pane(), nullptr) << c.path;
    Pump(5000, [&] { return !PaneText().empty(); });
    EXPECT_EQ(PaneText().rfind(c.text, 0), 0u) << c.path << ": " << PaneText();
    // The dialog goes on: its controls still work.
    EXPECT_EQ(SendDlgItemMessageA(dialog_, 1105, CB_GETCOUNT, 0, 0) > 0, true) << c.path;
    DestroyWindow(dialog_);
    dialog_ = nullptr;
  }
  DeleteFileA(empty.c_str());
}

TEST_F(PreviewPaneTest, WithoutThePaneTheDialogIsAsBefore) {
  Open(false);
  EXPECT_EQ(Pane(), nullptr);
  RECT window{};
  GetWindowRect(dialog_, &window);
  RECT units{0, 0, 383, 260};
  MapDialogRect(dialog_, &units);
  RECT client{};
  GetClientRect(dialog_, &client);
  EXPECT_EQ(client.right, units.right);
}

}  // namespace
}  // namespace lumar
