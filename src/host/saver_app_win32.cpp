// Start-up, window procedure, message loop, frame step and shutdown of the saver.
#include "host/saver_app_win32.h"

#include <commctrl.h>
#include <mmsystem.h>

#include "config/config_dialog_win32.h"
#include "host/preview_pause_win32.h"
#include "platform/file_lookup_win32.h"
#include "platform/image.h"
#include "platform/image_scaling.h"
#include "platform/message_box_win32.h"
#include "platform/multimedia_clock_win32.h"
#include "render/device_limits_win32.h"
#include "settings/settings_registry_win32.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {

namespace {

// The window procedure reaches the running app through this; a process runs one app at a time.
SaverApp* activeApp = nullptr;

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (activeApp) return activeApp->WindowProcedure(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

void Inform(const char* text) { ShowMessage(text, MB_OK | MB_ICONINFORMATION); }

// Dialog 101 over the record, with the lists and the identity the enumeration found.
bool RunConfigurationDialog(HINSTANCE instance, SettingsState& settings, AdapterModes& modes) {
  ConfigDialogContext context;
  context.record = &settings.parameters;
  context.modes = &modes.lists;
  context.desktop = ToDisplayMode(modes.desktopMode);
  context.adapterIdentifier = reinterpret_cast<const uint8_t*>(&modes.identifier);
  if (RunConfigDialog(instance, GetForegroundWindow(), context) == -1) {
    Inform("The configuration dialog could not be shown.");
    return false;
  }
  return true;
}

}  // namespace

SaverApp::SaverApp(HINSTANCE instance, const MillisecondClock& clock)
    : instance_(instance), clock_(clock), field_(std::make_unique<WaveField>()) {
  configureDialog_ = RunConfigurationDialog;
}

SaverApp::~SaverApp() {
  if (activeApp == this) activeApp = nullptr;
}

void SaverApp::SetDeviceFactory(DeviceFactory factory) { deviceFactory_ = std::move(factory); }

int SaverApp::Run(const std::string& arguments) {
  if (StartUp(arguments)) {
    ShowWindow(mainWindow_, SW_SHOWDEFAULT);
    UpdateWindow(mainWindow_);
    MessageLoop();
  }
  Shutdown();
  return 0;
}

bool SaverApp::DetectWin9x() const {
  if (probe_.isWin9x) return probe_.isWin9x();
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
  return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool SaverApp::EnumerateModes(const char* outOfMemoryMessage) {
  const HRESULT hr = EnumerateAdapterModes(direct3d_, modes_);
  if (hr == E_OUTOFMEMORY) Inform(outOfMemoryMessage);
  if (FAILED(hr)) {
    direct3d_->Release();
    direct3d_ = nullptr;
    return false;
  }
  settings_.parameters.deviceBehaviorFlags = modes_.behaviorFlags;
  return true;
}

bool SaverApp::StartUp(const std::string& arguments) {
  activeApp = this;
  // 1-2. Run mode and platform family.
  const CommandLine commandLine = ParseCommandLine(arguments);
  mode_ = commandLine.mode;
  const HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(commandLine.parentWindow));
  isWin9x_ = DetectWin9x();

  // 3. Direct3D 9.
  direct3d_ = direct3dCreator_(kDirect3DVersion);
  if (!direct3d_) {
    Inform("Application requred DirectX 9.0b or higher");
    return false;
  }
  // 4-5. Settings and the system's password settings, in every mode.
  LoadSettings(settings_, direct3d_);
  ReadPasswordSettings(isWin9x_, password_);
  ParameterSet& record = settings_.parameters;

  // 6. Modes without a window of their own.
  if (mode_ == ScreenSaverMode::Configure) {
    if (!EnumerateModes("Not enought memory for enumeration of modes")) return false;
    direct3d_->Release();
    direct3d_ = nullptr;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    configureDialog_(instance_, settings_, modes_);
    return false;
  }
  if (mode_ == ScreenSaverMode::ChangePassword) {
    RunPasswordChange(parent);
    return false;
  }

  // 7. Timer resolution.
  timerPeriod_ = RequestFinestTimerPeriod();
  if (timerPeriod_ == 0) {
    direct3d_->Release();
    direct3d_ = nullptr;
    Inform("Bad timer resolution");
    return false;
  }

  // 8. A fresh record takes the desktop's mode, which must be one the adapter lists.
  if (settings_.settingsWereReset) {
    if (!EnumerateModes("Not enought memory for enumeration modes")) return false;
    record.screenWidth = modes_.desktopMode.Width;
    record.screenHeight = modes_.desktopMode.Height;
    record.screenRefresh = modes_.desktopMode.RefreshRate;
    record.screenFormat = static_cast<int32_t>(modes_.desktopMode.Format);
    if (!DesktopModeListed(modes_.lists, ToDisplayMode(modes_.desktopMode))) {
      Inform("Current mode not supported by DirectX");
      direct3d_->Release();
      direct3d_ = nullptr;
      return false;
    }
  }

  // 9. The ripples' random sequence: the same every run unless "Random Start" is set.
  random_.Srand(record.randomStart ? GetTickCount() : 1u);

  // 10-11. The window, hidden until start-up succeeds.
  if (!CreateMainWindow(parent)) return false;
  ApplyRunOverrides();

  // 11. Run set-up and, for the Desktop picture, the snapshot.
  const DesktopSize desktop{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int maxTextureEdge = QueryDeviceLimits(direct3d_).LargestSquareTexture();
  // The user's picture is used only when it still exists, decodes and fits in memory; otherwise the run
  // shows the desktop, so a damaged or huge file never leaves the user without a saver. The picture is
  // decoded here, once, and handed to the first texture creation.
  const FileExistsCheck pictureUsable = [this, maxTextureEdge](const char* path) {
    userPicture_ = Image{};
    const uint32_t maxEdge = maxTextureEdge > 0 ? static_cast<uint32_t>(maxTextureEdge) : kMaxImageEdge;
    return PictureFileExists(path) && LoadTexturePicture(path, maxEdge, userPicture_) == ImageStatus::kOk;
  };
  SetupResult setup = PrepareWaveField(*field_, record, desktop, pictureUsable, maxTextureEdge);
  if (setup == SetupResult::InvalidSettings) {
    // A stored record the field cannot run (damaged on this machine): run the defaults instead of
    // failing, keeping the chosen screen mode.
    ResetToDefaultsKeepingScreenMode(settings_);
    ApplyRunOverrides();
    setup = PrepareWaveField(*field_, record, desktop, pictureUsable, maxTextureEdge);
  }
  if (setup != SetupResult::Ok) {
    Inform(setup == SetupResult::OutOfMemory ? "Not enough memory for the wave field"
                                             : "Screen size not supported");
    return false;
  }
  fieldPrepared_ = true;
  if (record.texture == kTextureDesktop) {
    snapshot_.Take(field_->constants);
  }

  // 12. Device and resources.
  RenderContext context;
  context.record = &record;
  context.field = field_.get();
  context.snapshot = &snapshot_;
  context.userPicture = &userPicture_;
  context.clock = &clock_;
  context.instance = instance_;
  context.preview = mode_ == ScreenSaverMode::Preview;
  renderer_ = std::make_unique<Renderer>(context);
  if (deviceFactory_) renderer_->SetDeviceFactory(deviceFactory_);
  if (FAILED(renderer_->CreateRenderDevice(direct3d_, mainWindow_))) return false;

  // 13. The clock runs and the first ripple starts at once.
  frameTimer_.Clear();
  frameTimer_.Start(clock_);
  SpawnSource(*field_, clock_, random_);
  return true;
}

void SaverApp::ApplyRunOverrides() {
  ParameterSet& record = settings_.parameters;
  if (mode_ == ScreenSaverMode::Preview) record.showFps = 0;
  if (mode_ == ScreenSaverMode::Saver && password_.ntSecure) record.texture = kTextureSky;
}

bool SaverApp::CreateMainWindow(HWND parent) {
  if (mode_ == ScreenSaverMode::Preview) {
    RECT area{};
    GetWindowRect(parent, &area);
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SaverWindowProc;
    wc.hInstance = instance_;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassA(&wc)) return false;
    classRegistered_ = true;
    mainWindow_ = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE, 0, 0, area.right - area.left,
                                  area.bottom - area.top, parent, nullptr, instance_, nullptr);
    return mainWindow_ != nullptr;
  }

  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  saverEvent_ = CreateEventA(&security, TRUE, FALSE, kSaverEventName);
  if (!saverEvent_) return false;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 1, &previousSaverRunning_, 0);
  saverRunningSet_ = true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = SaverWindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExA(&wc)) return false;
  classRegistered_ = true;
  mainWindow_ =
      CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, "Lumar", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance_, nullptr);
  return mainWindow_ != nullptr;
}

void SaverApp::MessageLoop() {
  MSG msg{};
  while (msg.message != WM_QUIT) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    IdlePass();
  }
}

void SaverApp::IdlePass() {
  if (mode_ == ScreenSaverMode::Preview) {
    // A full-screen instance holds the event unsignalled while it runs: the preview waits for it, serving
    // its messages, and stops waiting when that instance is gone without signalling.
    HANDLE running = OpenEventA(EVENT_ALL_ACCESS, FALSE, kSaverEventName);
    if (running) {
      WaitWhileFullScreenRuns(running);
      CloseHandle(running);
    }
  }
  if (!passwordDialogActive_ && !closedDown_) FrameStep();
}

void SaverApp::FrameStep() {
  WaveField& field = *field_;
  DecideSpawn(field, clock_, random_);
  frameTime_ = frameTimer_.Elapsed(clock_);
  RetireAndUpdateSources(field, clock_);
  if (renderer_ && renderer_->PrepareFrame()) renderer_->RenderFrame(frameTime_);
}

void SaverApp::RequestDismiss() {
  // Input still queued behind the quit message must not ask for the password again: the device and the
  // Direct3D object are gone by then.
  if (mode_ != ScreenSaverMode::Saver || passwordDialogActive_ || closedDown_) return;
  if (isWin9x_ && password_.verifyPasswordProc) {
    CheckPassword();
    return;
  }
  CloseDown();
}

void SaverApp::CheckPassword() {
  ClearSources(field_->sourceSet);
  renderer_->ReleaseDevice(false);
  ShowWindow(mainWindow_, SW_RESTORE);
  ShowWindow(mainWindow_, SW_SHOWMAXIMIZED);
  passwordDialogActive_ = true;
  const BOOL accepted = password_.verifyPasswordProc(mainWindow_);
  passwordDialogActive_ = false;
  if (accepted) {
    CloseDown();
    return;
  }
  input_.ResetMoveCount();
  SetCursor(nullptr);
  if (FAILED(renderer_->CreateRenderDevice(direct3d_, mainWindow_))) {
    CloseDown();
    return;
  }
  RestartAnimation();
}

void SaverApp::RestartAnimation() {
  frameTimer_.Clear();
  frameTimer_.Start(clock_);
  SpawnSource(*field_, clock_, random_);
}

void SaverApp::CloseDown() {
  if (mode_ == ScreenSaverMode::Saver && saverRunningSet_) {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    saverRunningSet_ = false;
  }
  if (renderer_) renderer_->ReleaseDevice(true);
  snapshot_.Release();
  if (direct3d_) {
    direct3d_->Release();
    direct3d_ = nullptr;
  }
  closedDown_ = true;
  PostQuitMessage(0);
}

void SaverApp::Shutdown() {
  // A start-up that failed half-way never ran CloseDown: release what it made.
  if (saverRunningSet_) {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    saverRunningSet_ = false;
  }
  if (renderer_) renderer_->ReleaseDevice(true);
  renderer_.reset();
  snapshot_.Release();
  if (direct3d_) {
    direct3d_->Release();
    direct3d_ = nullptr;
  }
  if (field_) ClearSources(field_->sourceSet);
  if (mainWindow_ && mode_ == ScreenSaverMode::Saver) {
    // The window would end with the process; it goes first so that the class can be unregistered.
    // Its WM_DESTROY must not run CloseDown again, so the procedure no longer reaches this app.
    if (activeApp == this) activeApp = nullptr;
    DestroyWindow(mainWindow_);
    mainWindow_ = nullptr;
  }
  if (classRegistered_) {
    UnregisterClassA(kWindowClass, instance_);
    classRegistered_ = false;
  }
  if (fieldPrepared_) {
    field_ = std::make_unique<WaveField>();  // frees the tables of the run
    fieldPrepared_ = false;
  }
  if (saverEvent_) {
    SetEvent(saverEvent_);
    CloseHandle(saverEvent_);
    saverEvent_ = nullptr;
  }
  UnloadPasswordLibrary(password_);
  if (timerPeriod_) {
    timeEndPeriod(timerPeriod_);
    timerPeriod_ = 0;
  }
  if (activeApp == this) activeApp = nullptr;
}

LRESULT SaverApp::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool saver = mode_ == ScreenSaverMode::Saver;
  switch (message) {
    case WM_DESTROY:
      CloseDown();
      break;
    case WM_ACTIVATEAPP:
      if (wParam == FALSE && saver) RequestDismiss();
      break;
    case WM_SETCURSOR:
      if (saver && !passwordDialogActive_) {
        SetCursor(nullptr);
      } else {
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
      }
      break;
    case WM_KEYDOWN:
      if (saver) RequestDismiss();
      break;
    case WM_SYSCOMMAND:
      if (saver && (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_CLOSE ||
                    wParam == SC_SCREENSAVE))
        return 0;
      break;
    case WM_MOUSEMOVE:
      if (saver &&
          input_.MouseMovedTo(static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))))
        RequestDismiss();
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (saver) RequestDismiss();
      break;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMSUSPEND && !password_.verifyPasswordProc) RequestDismiss();
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace lumar
