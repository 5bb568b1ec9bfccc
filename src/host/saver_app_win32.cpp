// Start-up by run mode, the run's registration, the password check and the endings of the saver.
#include "host/saver_app_win32.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <wtsapi32.h>

#include <cstring>
#include <exception>

#include "config/config_dialog_win32.h"
#include "host/preview_pause_win32.h"
#include "platform/file_lookup_win32.h"
#include "platform/image.h"
#include "platform/image_scaling.h"
#include "platform/imaging_component_win32.h"
#include "platform/message_box_win32.h"
#include "platform/multimedia_clock_win32.h"
#include "render/device_limits_win32.h"
#include "settings/frame_pacing_win32.h"
#include "settings/policy_registry_win32.h"
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

SaverApp::SaverApp(HINSTANCE instance, const MillisecondClock& clock) : clock_(clock) {
  seams_.configureDialog = RunConfigurationDialog;
  seams_.monitorSource = ListMonitors;
  shared_.instance = instance;
  shared_.clock = &clock;
  screens_.push_back(std::make_unique<SaverScreen>(shared_));
}

SaverApp::~SaverApp() {
  if (activeApp == this) activeApp = nullptr;
}

int SaverApp::Run(const std::string& arguments) {
  // Every allocation of the run is guarded where it is made; one that is not (a library's) ends the run
  // as input would, never the process with an exception out of WinMain.
  try {
    if (StartUp(arguments)) {
      ShowWindow(mainWindow(), SW_SHOWDEFAULT);
      UpdateWindow(mainWindow());
      ShowOtherMonitors(1);
      MessageLoop();
    }
  } catch (const std::exception&) {
    EndRun();
  }
  Close();
  return 0;
}

bool SaverApp::DetectWin9x() const {
  if (seams_.probe.isWin9x) return seams_.probe.isWin9x();
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
  return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

bool SaverApp::EnumerateModes(const char* outOfMemoryMessage) {
  const HRESULT hr = EnumerateAdapterModes(shared_.direct3d.get(), modes_);
  if (hr == E_OUTOFMEMORY) Inform(outOfMemoryMessage);
  if (FAILED(hr)) {
    shared_.direct3d.reset();
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
  shared_.preview = mode_ == ScreenSaverMode::Preview;
  const HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(commandLine.parentWindow));
  isWin9x_ = DetectWin9x();
  // 3-5. Direct3D 9, the settings and the system's password settings, in every mode.
  if (!ReadSettings()) return false;
  // 6. Modes without a window of their own.
  if (RunWithoutWindow(parent)) return false;
  // 7. Timer resolution: raised while frames are drawn, given back while the loop rests.
  timer_.Open(seams_.timerResolution, FinestTimerPeriod());
  if (timer_.period() == 0) {
    shared_.direct3d.reset();
    Inform("Bad timer resolution");
    return false;
  }
  // 8. A fresh record takes the desktop's mode, which must be one the adapter lists.
  if (settings_.settingsWereReset && !TakeDesktopMode()) return false;
  // 9. The ripples' random sequence: the same every run unless "Random Start" is set.
  seed_ = settings_.parameters.randomStart ? GetTickCount() : 1u;
  // 10-11. The window, hidden until start-up succeeds, then the run set-up and the snapshot.
  if (!OpenPrimary(parent)) return false;
  // The other monitors photograph their parts of the desktop before any device exists.
  std::vector<MonitorArea> monitors;
  if (mode_ == ScreenSaverMode::Saver && seams_.monitorSource) monitors = seams_.monitorSource();
  for (const MonitorArea& monitor : monitors) {
    if (monitor.primary) primaryMonitor_ = monitor;
  }
  OpenOtherMonitors(monitors, false);  // as a monitor that arrives later, but for its device
  // 12-13. Devices, the clock and the first ripples.
  return StartDrawing();
}

bool SaverApp::ReadSettings() {
  shared_.direct3d.reset(seams_.direct3dCreator(kDirect3DVersion));
  if (!shared_.direct3d) {
    Inform("Application requred DirectX 9.0b or higher");
    return false;
  }
  // The value beside the record first.
  shared_.asFastAsPossible = ReadAsFastAsPossible();
  LoadSettings(settings_, shared_.direct3d.get());
  ReadPasswordSettings(isWin9x_, password_);
  return true;
}

bool SaverApp::RunWithoutWindow(HWND parent) {
  if (mode_ == ScreenSaverMode::Configure) {
    if (!EnumerateModes("Not enought memory for enumeration of modes")) return true;
    shared_.direct3d.reset();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    seams_.configureDialog(shared_.instance, settings_, modes_);
    return true;
  }
  if (mode_ == ScreenSaverMode::ChangePassword) {
    RunPasswordChange(parent);
    return true;
  }
  return false;
}

bool SaverApp::StartDrawing() {
  // 12. Device and resources: the primary's first, its window the focus window of the others.
  if (!primary().MakeDevice(nullptr, false)) return false;
  for (size_t i = 1; i < screens_.size(); ++i)
    screens_[i]->MakeDevice(mainWindow(), AdapterHeld(*screens_[i]));
  // 13. The clock runs and the first ripple starts at once.
  RestartAnimation();
  watch_.Open(mainWindow());
  UpdatePowerPacing();
  return true;
}

bool SaverApp::TakeDesktopMode() {
  ParameterSet& record = settings_.parameters;
  if (!EnumerateModes("Not enought memory for enumeration modes")) return false;
  record.screenWidth = modes_.desktopMode.Width;
  record.screenHeight = modes_.desktopMode.Height;
  record.screenRefresh = modes_.desktopMode.RefreshRate;
  record.screenFormat = static_cast<int32_t>(modes_.desktopMode.Format);
  if (!DesktopModeListed(modes_.lists, ToDisplayMode(modes_.desktopMode))) {
    Inform("Current mode not supported by DirectX");
    shared_.direct3d.reset();
    return false;
  }
  return true;
}

bool SaverApp::OpenPrimary(HWND parent) {
  if (!registration_.Open(shared_.instance, shared_.preview, SaverWindowProc)) return false;
  MonitorArea monitor;
  monitor.primary = true;
  if (mode_ == ScreenSaverMode::Preview) {
    RECT area{};
    GetWindowRect(parent, &area);
    monitor.area = RECT{0, 0, area.right - area.left, area.bottom - area.top};
  } else {
    monitor.area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  if (!primary().Open(monitor, seed_, parent)) return false;
  ApplyRunOverrides();
  // 11. Run set-up and, for the Desktop picture, the snapshot.
  SetupResult setup = PreparePrimary();
  if (setup == SetupResult::InvalidSettings) {
    // A stored record the field cannot run (damaged on this machine): run the defaults instead of
    // failing, keeping the chosen screen mode.
    ResetToDefaultsKeepingScreenMode(settings_);
    ApplyRunOverrides();
    setup = PreparePrimary();
  }
  if (setup != SetupResult::Ok) {
    Inform(setup == SetupResult::OutOfMemory ? "Not enough memory for the wave field"
                                             : "Screen size not supported");
    return false;
  }
  return true;
}

SetupResult SaverApp::PreparePrimary() {
  // The user's picture is used only when it still exists, decodes and fits in memory; otherwise the run
  // shows the desktop, so a damaged or huge file never leaves the user without a saver. The picture is
  // decoded here, once, and kept for the run: every texture of every screen is made from it.
  const int maxTextureEdge =
      QueryDeviceLimits(shared_.direct3d.get(), primary().adapter()).LargestSquareTexture();
  ScreenShared& shared = shared_;
  const FileExistsCheck pictureUsable = [&shared, maxTextureEdge](const char* path) {
    shared.picture.reset();
    const uint32_t maxEdge = maxTextureEdge > 0 ? static_cast<uint32_t>(maxTextureEdge) : kMaxImageEdge;
    auto decoded = std::make_shared<Image>();
    if (!PictureFileExists(path) ||
        LoadTexturePicture(path, maxEdge, *decoded, DecodeWithImagingComponent) != ImageStatus::kOk)
      return false;
    shared.picture = std::move(decoded);
    return true;
  };
  return primary().Prepare(settings_.parameters, pictureUsable);
}

void SaverApp::ApplyRunOverrides() {
  ParameterSet& record = settings_.parameters;
  if (mode_ == ScreenSaverMode::Preview) record.showFps = 0;
  if (mode_ == ScreenSaverMode::Saver && password_.ntSecure) record.texture = kTextureSky;
  // An administrator's policy may forbid showing the desktop on an unattended screen.
  if (mode_ == ScreenSaverMode::Saver && record.texture == kTextureDesktop && DesktopPictureForbidden())
    record.texture = kTextureSky;
}

SaverScreen* SaverApp::ScreenOf(HWND window) const {
  for (const auto& screen : screens_) {
    if (screen->window() == window) return screen.get();
  }
  return nullptr;
}

bool RunRegistration::Open(HINSTANCE instance, bool preview, WNDPROC procedure) {
  instance_ = instance;
  if (!preview) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
    event_ = CreateEventA(&security, TRUE, FALSE, kSaverEventName);
    if (!event_) return false;
    // A run that is ending may still hold the event, signalled or about to be: this run starts it afresh,
    // so that a preview waits for this one.
    if (GetLastError() == ERROR_ALREADY_EXISTS) ResetEvent(event_);
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 1, &previousRunning_, 0);
    runningSet_ = true;
  }
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  // The preview's parent shows grey until the first frame.
  if (preview) wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExA(&wc)) return false;
  classRegistered_ = true;
  return true;
}

void RunRegistration::ClearRunning() {
  if (!runningSet_) return;
  SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
  runningSet_ = false;
}

void RunRegistration::Close() {
  ClearRunning();
  if (classRegistered_) {
    UnregisterClassA(kWindowClass, instance_);
    classRegistered_ = false;
  }
  if (event_) {
    SetEvent(event_);
    CloseHandle(event_);
    event_ = nullptr;
  }
}

void SaverApp::RequestDismiss() {
  // Input still queued behind the quit message must not ask for the password again: the device and the
  // Direct3D object are gone by then.
  if (mode_ != ScreenSaverMode::Saver || passwordDialogActive_ || runEnded_) return;
  if (isWin9x_ && password_.verifyPasswordProc) {
    CheckPassword();
    return;
  }
  EndRun();
}

void SaverApp::CheckPassword() {
  // The other monitors keep their devices and their last frame while the dialog is up.
  for (auto& screen : screens_) screen->ClearRipples();
  primary().ReleaseDevice(false);
  ShowWindow(mainWindow(), SW_RESTORE);
  ShowWindow(mainWindow(), SW_SHOWMAXIMIZED);
  passwordDialogActive_ = true;
  const BOOL accepted = password_.verifyPasswordProc(mainWindow());
  passwordDialogActive_ = false;
  recorded_.dismiss = false;  // input while the dialog was up asks nothing more
  if (accepted) {
    EndRun();
    return;
  }
  input_.ResetMoveCount();
  SetCursor(nullptr);
  if (!primary().RestoreDevice()) {
    EndRun();
    return;
  }
  RestartAnimation();
}

void SaverApp::RestartAnimation() {
  frameTimer_.Clear();
  frameTimer_.Start(clock_);
  for (auto& screen : screens_) screen->StartRipples();
}

void SaverApp::EndRun() {
  // Restoring the screen mode while a full-screen device is released sends messages that may lead here
  // again: the flag goes first, and each pointer is cleared before its Release.
  if (runEnded_) return;
  runEnded_ = true;
  if (mode_ == ScreenSaverMode::Saver) registration_.ClearRunning();
  watch_.Close();
  ReleaseDevices(true);
  shared_.direct3d.reset();
  PostQuitMessage(0);
}

void SaverApp::Close() {
  // A start-up that failed half-way never ended the run: release what it made, without a quit message.
  registration_.ClearRunning();
  watch_.Close();
  ReleaseDevices(true);
  shared_.direct3d.reset();
  // The windows would end with the process; they go first so that the class can be unregistered.
  // Their WM_DESTROY must not end the run again, so the procedure no longer reaches this app. Every
  // screen goes out the same way, the primary last; the primary's (empty) entry stays for the accessors.
  if (activeApp == this) activeApp = nullptr;
  for (size_t i = screens_.size(); i-- > 1;) CloseScreen(i);
  primary().Close();
  registration_.Close();
  UnloadPasswordLibrary(password_);
  timer_.Close();
}

}  // namespace lumar
