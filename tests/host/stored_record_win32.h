// A settings record that start-up accepts on this machine (the adapter's identity and the desktop's mode
// as saved values), to be written to the registry (WriteSettings) as a user's settings would be.
#pragma once

#include <d3d9.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/message_box_win32.h"
#include "settings/parameter_set.h"
#include "settings/settings_registry_win32.h"

namespace lumar::test {

// The defaults, with this adapter and desktop as the saved and the chosen mode.
inline ParameterSet AcceptedRecord() {
  SettingsState settings;
  ResetToDefaults(settings);
  ParameterSet& record = settings.parameters;
  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!direct3d) return record;
  DisplayMode desktop;
  FetchAdapterIdentity(direct3d, record.adapterIdentifier, desktop);
  direct3d->Release();
  record.savedDesktopWidth = desktop.width;
  record.savedDesktopHeight = desktop.height;
  record.savedDesktopRefresh = desktop.refreshRate;
  record.savedDesktopFormat = desktop.format;
  record.screenWidth = desktop.width;
  record.screenHeight = desktop.height;
  record.screenRefresh = desktop.refreshRate;
  record.screenFormat = desktop.format;
  return record;
}

// A test that starts the program over stored settings: the messages it would show are caught in
// shownMessages instead, and the settings are deleted afterwards.
class StoredSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shownMessages.clear();
    previousSink_ = SetMessageSink(RecordMessage);
  }
  void TearDown() override {
    DeleteSettingsKey();
    SetMessageSink(previousSink_);
  }

  static inline std::vector<std::string> shownMessages;

 private:
  static void RecordMessage(const char* text, UINT) { shownMessages.emplace_back(text); }
  MessageSink previousSink_ = nullptr;
};

}  // namespace lumar::test
