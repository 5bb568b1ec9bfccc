// Start-up of the preview with the user's own picture: a file that no longer decodes must give the
// Desktop picture and a running saver, as a missing file does; a good file is kept.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/preview_parent_win32.h"
#include "host/saver_app_win32.h"
#include "host/stored_record_win32.h"
#include "platform/message_box_win32.h"
#include "platform/millisecond_clock.h"
#include "platform/picture_files_win32.h"
#include "platform/test_pictures.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

class SaverStartUpTest : public test::StoredSettingsTest {
 protected:
  // Stores a record that this adapter and desktop accept, with the user picture `path`.
  static void StoreRecordWithPicture(const std::string& path) {
    ParameterSet record = test::AcceptedRecord();
    record.texture = kTextureFile;
    std::snprintf(record.textureFile, sizeof record.textureFile, "%s", path.c_str());
    ASSERT_TRUE(WriteSettings(record));
  }

  // Starts the preview, runs a few frame steps and shuts down; returns the picture the run used.
  int RunPreview() {
    auto parent = std::make_unique<test::PreviewParent>();
    ManualClock clock(5000);
    SaverApp app(GetModuleHandleA(nullptr), clock);
    const bool started = app.StartUp(parent->Arguments());
    EXPECT_TRUE(started);
    const int texture = app.settings().parameters.texture;
    EXPECT_EQ(app.settings().settingsWereReset, 0) << "the stored record was not accepted";
    if (started && app.renderer()) {
      for (int i = 0; i < 3; ++i) {
        clock.Advance(20);
        app.FrameStep();
      }
      EXPECT_EQ(app.renderer()->framesDrawn(), 3u);
    }
    // As when the control panel closes: the preview window goes with its parent, then the app shuts down.
    parent.reset();
    app.Close();
    MSG quit;
    while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    return texture;
  }
};

TEST_F(SaverStartUpTest, AnUndecodablePictureFallsBackToTheDesktop) {
  const std::string path = test::TempFile("lumar_undecodable.jpg");
  // A JPEG signature with nothing decodable behind it.
  ASSERT_TRUE(
      test::WriteBytes(path, std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}));
  StoreRecordWithPicture(path);
  EXPECT_EQ(RunPreview(), kTextureDesktop);
  EXPECT_TRUE(shownMessages.empty());
  DeleteFileA(path.c_str());
}

TEST_F(SaverStartUpTest, AMissingPictureFallsBackToTheDesktopAndAGoodOneIsKept) {
  const std::string path = test::TempFile("lumar_good_picture.bmp");
  DeleteFileA(path.c_str());
  StoreRecordWithPicture(path);
  EXPECT_EQ(RunPreview(), kTextureDesktop);
  ASSERT_TRUE(test::WriteBytes(path, test::BmpOf(test::Quadrants(64, 48))));
  StoreRecordWithPicture(path);
  EXPECT_EQ(RunPreview(), kTextureFile);
  EXPECT_TRUE(shownMessages.empty());
  DeleteFileA(path.c_str());
}

// Pictures in the other formats (the picture generator's files): those that decode are kept, a truncated
// PNG or one declaring 30000 x 30000 pixels gives the Desktop picture as an undecodable JPEG does.
TEST_F(SaverStartUpTest, OtherFormatsAreKeptOrFallBackAsAnUndecodableJpeg) {
  const std::string pictures = "Z:" LUMAR_SOURCE_DIR "/tests/platform/pictures/";
  const struct {
    const char* file;
    int texture;
  } cases[] = {{"quarters.png", kTextureFile},
               {"quarters.gif", kTextureFile},
               {"jpeg_named.png", kTextureFile},
               {"quarters_truncated.png", kTextureDesktop},
               {"declares_30000x30000.png", kTextureDesktop}};
  for (const auto& c : cases) {
    StoreRecordWithPicture(pictures + c.file);
    EXPECT_EQ(RunPreview(), c.texture) << c.file;
  }
  EXPECT_TRUE(shownMessages.empty());
}

}  // namespace
}  // namespace lumar
