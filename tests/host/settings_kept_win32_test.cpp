// Start-up with settings saved under another driver, resolution and refresh rate: the full-screen run
// keeps the user's look and switches and takes this desktop's mode and this adapter's device flags; the
// configuration dialog gets the same record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/saver_app_win32.h"
#include "host/stored_record_win32.h"
#include "platform/message_box_win32.h"
#include "platform/millisecond_clock.h"
#include "settings/presets.h"
#include "settings/settings_registry_win32.h"

namespace lumar {
namespace {

// The record the configuration dialog would have opened over.
ParameterSet dialogRecord;
bool RecordDialog(HINSTANCE, SettingsState& settings, AdapterModes&) {
  dialogRecord = settings.parameters;
  return true;
}

class SettingsKeptTest : public test::StoredSettingsTest {
 protected:
  // A user's record as saved on another machine: "Kite" with a changed speed, a picture, every switch
  // away from its default, a chosen full-screen mode, and another driver, resolution and refresh rate.
  static ParameterSet SavedElsewhere() {
    ParameterSet record = test::AcceptedRecord();
    ApplyPreset(record, 25);
    record.presetId = 25;
    record.speed += 7;
    record.texture = kTextureSky;
    std::strcpy(record.textureFile, "C:\\pictures\\harbour.jpg");
    record.showFps = 1;
    record.randomStart = 1;
    record.showOrangeBar = 0;
    record.useCurrentMode = 0;
    record.adapterIdentifier[600] ^= 0x33;  // another driver version
    record.savedDesktopWidth += 640;
    record.savedDesktopRefresh += 15;
    record.screenWidth = 4096;  // a mode of a display that is gone
    record.screenHeight = 2160;
    record.deviceBehaviorFlags = 0x1234;
    return record;
  }
};

TEST_F(SettingsKeptTest, FullScreenKeepsTheLookAndTakesThisDesktopsMode) {
  const ParameterSet saved = SavedElsewhere();
  ASSERT_TRUE(WriteSettings(saved));
  ManualClock clock(5000);
  SaverApp app(GetModuleHandleA(nullptr), clock);
  ASSERT_TRUE(app.StartUp("/s")) << (shownMessages.empty() ? "" : shownMessages[0]);
  const ParameterSet& r = app.settings().parameters;
  EXPECT_EQ(app.settings().settingsWereReset, 1);
  EXPECT_EQ(r.presetId, 25);
  EXPECT_EQ(GetEffectFields(r), GetEffectFields(saved));
  EXPECT_STREQ(r.textureFile, saved.textureFile);
  EXPECT_EQ(r.showFps, 1);
  EXPECT_EQ(r.randomStart, 1);
  EXPECT_EQ(r.showOrangeBar, 0);
  EXPECT_EQ(r.useCurrentMode, 0);
  EXPECT_EQ(r.screenWidth, static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_EQ(r.screenHeight, static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN)));
  EXPECT_TRUE(r.deviceBehaviorFlags == 0x20 || r.deviceBehaviorFlags == 0x40) << r.deviceBehaviorFlags;
  EXPECT_TRUE(shownMessages.empty()) << shownMessages[0];
  app.Close();
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  // Nothing is written back: the registry keeps the old record until the dialog's OK.
  ParameterSet stored{};
  ASSERT_TRUE(ReadSettings(stored));
  EXPECT_EQ(std::memcmp(&stored, &saved, sizeof saved), 0);
}

TEST_F(SettingsKeptTest, TheDialogGetsTheKeptRecordInThisDesktopsMode) {
  const ParameterSet saved = SavedElsewhere();
  ASSERT_TRUE(WriteSettings(saved));
  ManualClock clock(5000);
  SaverApp app(GetModuleHandleA(nullptr), clock);
  dialogRecord = ParameterSet{};
  app.SetConfigureDialog(RecordDialog);
  EXPECT_FALSE(app.StartUp(""));  // no arguments: the dialog, as "/c"
  const ParameterSet& shown = dialogRecord;
  EXPECT_EQ(app.mode(), ScreenSaverMode::Configure);
  EXPECT_EQ(shown.presetId, 25);
  EXPECT_EQ(GetEffectFields(shown), GetEffectFields(saved));
  EXPECT_EQ(shown.useCurrentMode, 0);
  EXPECT_EQ(shown.screenWidth, static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_TRUE(shown.deviceBehaviorFlags == 0x20 || shown.deviceBehaviorFlags == 0x40);
  EXPECT_TRUE(shownMessages.empty());
}

}  // namespace
}  // namespace lumar
