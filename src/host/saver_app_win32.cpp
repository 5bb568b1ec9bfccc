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
    : instance_(instance), clock_(clock), monitorSource_(ListMonitors) {
  configureDialog_ = RunConfigurationDialog;
  screens_.push_back(std::make_unique<SaverScreen>());
}

SaverApp::~SaverApp() {
  if (activeApp == this) activeApp = nullptr;
}

void SaverApp::SetDeviceFactory(DeviceFactory factory) { deviceFactory_ = std::move(factory); }

int SaverApp::Run(const std::string& arguments) {
  if (StartUp(arguments)) {
    ShowWindow(mainWindow(), SW_SHOWDEFAULT);
    UpdateWindow(mainWindow());
    ShowOtherMonitors();
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
  const uint32_t seed = record.randomStart ? GetTickCount() : 1u;
  primary().random.Srand(seed);

  // 10-11. The window, hidden until start-up succeeds.
  if (!CreateMainWindow(parent)) return false;
  ApplyRunOverrides();

  // 11. Run set-up and, for the Desktop picture, the snapshot.
  SaverScreen& screen = primary();
  const DesktopSize desktop{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int maxTextureEdge = QueryDeviceLimits(direct3d_).LargestSquareTexture();
  // The user's picture is used only when it still exists, decodes and fits in memory; otherwise the run
  // shows the desktop, so a damaged or huge file never leaves the user without a saver. The picture is
  // decoded here, once, and handed to the first texture creation.
  const FileExistsCheck pictureUsable = [&screen, maxTextureEdge](const char* path) {
    screen.picture = Image{};
    const uint32_t maxEdge = maxTextureEdge > 0 ? static_cast<uint32_t>(maxTextureEdge) : kMaxImageEdge;
    return PictureFileExists(path) && LoadTexturePicture(path, maxEdge, screen.picture) == ImageStatus::kOk;
  };
  SetupResult setup = PrepareWaveField(*screen.field, record, desktop, pictureUsable, maxTextureEdge);
  if (setup == SetupResult::InvalidSettings) {
    // A stored record the field cannot run (damaged on this machine): run the defaults instead of
    // failing, keeping the chosen screen mode.
    ResetToDefaultsKeepingScreenMode(settings_);
    ApplyRunOverrides();
    setup = PrepareWaveField(*screen.field, record, desktop, pictureUsable, maxTextureEdge);
  }
  if (setup != SetupResult::Ok) {
    Inform(setup == SetupResult::OutOfMemory ? "Not enough memory for the wave field"
                                             : "Screen size not supported");
    return false;
  }
  screen.fieldPrepared = true;
  if (record.texture == kTextureDesktop) {
    screen.snapshot.Take(screen.field->constants);
  }
  // The other monitors photograph their parts of the desktop before any device exists.
  if (mode_ == ScreenSaverMode::Saver) PrepareOtherMonitors(seed, maxTextureEdge);

  // 12. Device and resources.
  screen.MakeRenderer(&record, clock_, instance_, mode_ == ScreenSaverMode::Preview, deviceFactory_);
  if (FAILED(screen.renderer->CreateRenderDevice(direct3d_, screen.window))) return false;
  CreateOtherDevices();

  // 13. The clock runs and the first ripple starts at once.
  frameTimer_.Clear();
  frameTimer_.Start(clock_);
  for (auto& each : screens_) each->StartRipples(clock_);
  return true;
}

void SaverApp::PrepareOtherMonitors(uint32_t seed, int maxTextureEdge) {
  int index = 0;
  for (const MonitorArea& monitor : monitorSource_ ? monitorSource_() : std::vector<MonitorArea>{}) {
    // The primary's own monitor, however the system marks it, is already covered.
    if (monitor.primary || EqualRect(&monitor.area, &primary().monitor.area)) continue;
    ++index;
    const int width = monitor.area.right - monitor.area.left;
    const int height = monitor.area.bottom - monitor.area.top;
    if (width <= 0 || height <= 0) continue;
    auto screen = std::make_unique<SaverScreen>();
    screen->monitor = monitor;
    screen->random.Srand(MonitorSeed(seed, index));
    // Same window class, procedure and rules as the primary's; topmost over whatever that monitor shows.
    screen->window = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, "Lumar", WS_POPUP, monitor.area.left,
                                     monitor.area.top, width, height, nullptr, nullptr, instance_, nullptr);
    if (!screen->window) continue;
    // The run's record (after every fallback of the primary's set-up), at this monitor's size.
    ParameterSet& record = screen->ownRecord;
    record = settings_.parameters;
    record.screenWidth = static_cast<uint32_t>(width);
    record.screenHeight = static_cast<uint32_t>(height);
    // The primary's set-up has checked the user's picture and fallen back to the desktop where it was
    // unusable; each monitor takes a copy of the picture it decoded, which is never read again.
    const DesktopSize desktop{width, height};
    const FileExistsCheck checkedByPrimary = [](const char*) { return true; };
    screen->fieldPrepared = PrepareWaveField(*screen->field, record, desktop, checkedByPrimary,
                                             maxTextureEdge) == SetupResult::Ok;
    if (screen->fieldPrepared && record.texture == kTextureDesktop)
      screen->snapshot.Take(screen->field->constants, monitor.area.left, monitor.area.top);
    else if (screen->fieldPrepared && record.texture > kTextureSky)
      screen->picture = primary().picture;
    screens_.push_back(std::move(screen));
  }
}

void SaverApp::CreateOtherDevices() {
  for (size_t i = 1; i < screens_.size(); ++i) {
    SaverScreen& screen = *screens_[i];
    if (!screen.fieldPrepared) continue;  // stays black
    screen.MakeRenderer(&screen.ownRecord, clock_, instance_, false, deviceFactory_);
    const UINT adapter = AdapterOfMonitor(direct3d_, screen.monitor.monitor);
    if (FAILED(screen.renderer->CreateMonitorDevice(direct3d_, screen.window, adapter, mainWindow())))
      screen.ReleaseDevice(false);  // no device: the window is painted black
  }
}

void SaverApp::ShowOtherMonitors() {
  // Shown without taking the activation from the primary, whose window is the devices' focus window.
  for (size_t i = 1; i < screens_.size(); ++i) {
    ShowWindow(screens_[i]->window, SW_SHOWNOACTIVATE);
    UpdateWindow(screens_[i]->window);
  }
}

void SaverApp::ReleaseDevices(bool discardSnapshots) {
  // In the reverse order of creation: the primary's device, whose window is the focus window, goes last.
  for (size_t i = screens_.size(); i-- > 0;) screens_[i]->ReleaseDevice(discardSnapshots);
}

void SaverApp::DestroyOtherWindows() {
  for (size_t i = screens_.size(); i-- > 1;) {
    screens_[i]->Release();
    if (screens_[i]->window) DestroyWindow(screens_[i]->window);
  }
  screens_.resize(1);
}

SaverScreen* SaverApp::ScreenOf(HWND window) const {
  for (const auto& screen : screens_) {
    if (screen->window == window) return screen.get();
  }
  return nullptr;
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
    primary().window =
        CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE, 0, 0, area.right - area.left,
                        area.bottom - area.top, parent, nullptr, instance_, nullptr);
    return mainWindow() != nullptr;
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
  primary().window =
      CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, "Lumar", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance_, nullptr);
  primary().monitor.area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  primary().monitor.primary = true;
  return mainWindow() != nullptr;
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
  for (auto& screen : screens_) screen->DecideSpawn(clock_);
  frameTime_ = frameTimer_.Elapsed(clock_);
  for (auto& screen : screens_) screen->UpdateAndDraw(clock_, frameTime_);
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
  // The other monitors keep their devices and their last frame while the dialog is up.
  for (auto& screen : screens_) screen->ClearRipples();
  primary().renderer->ReleaseDevice(false);
  ShowWindow(mainWindow(), SW_RESTORE);
  ShowWindow(mainWindow(), SW_SHOWMAXIMIZED);
  passwordDialogActive_ = true;
  const BOOL accepted = password_.verifyPasswordProc(mainWindow());
  passwordDialogActive_ = false;
  if (accepted) {
    CloseDown();
    return;
  }
  input_.ResetMoveCount();
  SetCursor(nullptr);
  if (FAILED(primary().renderer->CreateRenderDevice(direct3d_, mainWindow()))) {
    CloseDown();
    return;
  }
  RestartAnimation();
}

void SaverApp::RestartAnimation() {
  frameTimer_.Clear();
  frameTimer_.Start(clock_);
  for (auto& screen : screens_) screen->StartRipples(clock_);
}

void SaverApp::CloseDown() {
  if (mode_ == ScreenSaverMode::Saver && saverRunningSet_) {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    saverRunningSet_ = false;
  }
  ReleaseDevices(true);
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
  ReleaseDevices(true);
  primary().renderer.reset();
  if (direct3d_) {
    direct3d_->Release();
    direct3d_ = nullptr;
  }
  primary().ClearRipples();
  // The windows would end with the process; they go first so that the class can be unregistered.
  // Their WM_DESTROY must not run CloseDown again, so the procedure no longer reaches this app.
  if (activeApp == this) activeApp = nullptr;
  DestroyOtherWindows();
  if (mainWindow() && mode_ == ScreenSaverMode::Saver) {
    DestroyWindow(mainWindow());
    primary().window = nullptr;
  }
  if (classRegistered_) {
    UnregisterClassA(kWindowClass, instance_);
    classRegistered_ = false;
  }
  primary().Release();  // frees the tables of the run
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
      if (saver) {
        // Counted over all the saver's windows together, at the pointer's place on the desktop (the
        // primary's window lies at the origin, so its own coordinates are that place).
        const SaverScreen* screen = ScreenOf(window);
        const int left = screen ? screen->monitor.area.left : 0;
        const int top = screen ? screen->monitor.area.top : 0;
        if (input_.MouseMovedTo(static_cast<int16_t>(static_cast<int16_t>(LOWORD(lParam)) + left),
                                static_cast<int16_t>(static_cast<int16_t>(HIWORD(lParam)) + top)))
          RequestDismiss();
      }
      break;
    case WM_PAINT: {
      // A monitor without a device is black, never the desktop it covers.
      const SaverScreen* screen = ScreenOf(window);
      if (saver && screen && screen != &primary() && !screen->drawing()) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
      }
      break;
    }
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
