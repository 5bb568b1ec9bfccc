// The configuration dialog (resource 101): edits the settings record in place and writes it on OK.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "render/display_modes.h"
#include "settings/parameter_set.h"

namespace lumar {

// What the dialog reaches outside itself. An empty member means the real system call.
struct ConfigDialogServices {
  std::function<bool(const char* path)> fileExists;
  // The file-open dialog for a picture; false when the user cancels.
  std::function<bool(HWND owner, const char* initialDirectory, std::string& chosen)> choosePicture;
  std::function<void(const char* url)> openPage;
  // The user's guide the link button opens (UserGuideCandidates); empty when it is nowhere to be found.
  std::function<std::string()> findUserGuide;
  // A message box over the dialog, titled "Lumar".
  std::function<void(HWND owner, const char* text)> tell;
  std::function<bool(const ParameterSet& record)> writeSettings;
  // How the preview pane makes its Direct3D object; null means Direct3DCreate9.
  IDirect3D9*(WINAPI* createDirect3D)(UINT sdkVersion) = nullptr;
};

struct ConfigDialogContext {
  ParameterSet* record = nullptr;
  const AdapterModeLists* modes = nullptr;
  DisplayMode desktop{};                       // the desktop mode found by the enumeration
  const uint8_t* adapterIdentifier = nullptr;  // kAdapterIdentifierSize bytes of adapter 0
  ConfigDialogServices services;
  INT_PTR result = 0;        // 1 after OK, 2 after Cancel
  bool livePreview = false;  // set by RunConfigDialog ("PreviewPane") and CreateConfigDialog: the pane shows
};

// Runs the dialog modally, with the live preview pane unless "PreviewPane" turns it off; returns 1 after
// OK, 2 after Cancel, -1 when it could not be created.
INT_PTR RunConfigDialog(HINSTANCE instance, HWND owner, ConfigDialogContext& context);

// The same dialog without its own message loop (tests drive it with messages). The context must outlive
// the window. This one has the live preview pane only `withPreview`.
HWND CreateConfigDialog(HINSTANCE instance, HWND owner, ConfigDialogContext& context,
                        bool withPreview = false);

}  // namespace lumar
