// Start-up, window procedure, message loop, frame step and shutdown of the saver.
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
    CloseDown();
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
  const HRESULT hr = EnumerateAdapterModes(direct3d_.get(), modes_);
  if (hr == E_OUTOFMEMORY) Inform(outOfMemoryMessage);
  if (FAILED(hr)) {
    direct3d_.reset();
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
  direct3d_.reset(direct3dCreator_(kDirect3DVersion));
  if (!direct3d_) {
    Inform("Application requred DirectX 9.0b or higher");
    return false;
  }
  // 4-5. Settings (the value beside the record first) and the system's password settings, in every mode.
  asFastAsPossible_ = ReadAsFastAsPossible();
  LoadSettings(settings_, direct3d_.get());
  ReadPasswordSettings(isWin9x_, password_);
  ParameterSet& record = settings_.parameters;

  // 6. Modes without a window of their own.
  if (mode_ == ScreenSaverMode::Configure) {
    if (!EnumerateModes("Not enought memory for enumeration of modes")) return false;
    direct3d_.reset();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    configureDialog_(instance_, settings_, modes_);
    return false;
  }
  if (mode_ == ScreenSaverMode::ChangePassword) {
    RunPasswordChange(parent);
    return false;
  }

  // 7. Timer resolution: raised while frames are drawn, given back while the loop rests.
  if (!timerResolution_) timerResolution_ = &systemTimerResolution_;
  timerPeriod_ = FinestTimerPeriod();
  RaiseTimerResolution(true);
  if (timerPeriod_ == 0) {
    direct3d_.reset();
    Inform("Bad timer resolution");
    return false;
  }

  // 8. A fresh record takes the desktop's mode, which must be one the adapter lists.
  if (settings_.settingsWereReset && !TakeDesktopMode()) return false;

  // 9. The ripples' random sequence: the same every run unless "Random Start" is set.
  seed_ = record.randomStart ? GetTickCount() : 1u;
  SaverScreen& screen = primary();
  screen.random.Srand(seed_);

  // 10-11. The window, hidden until start-up succeeds, then the run set-up and the snapshot.
  if (!OpenPrimary(parent)) return false;
  // The other monitors photograph their parts of the desktop before any device exists.
  std::vector<MonitorArea> monitors;
  if (mode_ == ScreenSaverMode::Saver && monitorSource_) monitors = monitorSource_();
  for (const MonitorArea& monitor : monitors) {
    if (monitor.primary) primaryMonitor_ = monitor;
  }
  OpenOtherMonitors(monitors, false);  // as a monitor that arrives later, but for its device

  // 12. Device and resources: the primary's first, its window the focus window of the others.
  if (!CreateScreenDevice(screen)) return false;
  for (size_t i = 1; i < screens_.size(); ++i) CreateScreenDevice(*screens_[i]);

  // 13. The clock runs and the first ripple starts at once.
  frameTimer_.Clear();
  frameTimer_.Start(clock_);
  for (auto& each : screens_) each->StartRipples(clock_);
  WatchSystemState();
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
    direct3d_.reset();
    return false;
  }
  return true;
}

bool SaverApp::OpenPrimary(HWND parent) {
  SaverScreen& screen = primary();
  if (!RegisterWindows()) return false;
  screen.monitor.primary = true;
  if (mode_ == ScreenSaverMode::Preview) {
    RECT area{};
    GetWindowRect(parent, &area);
    screen.monitor.area = RECT{0, 0, area.right - area.left, area.bottom - area.top};
  } else {
    screen.monitor.area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  if (!OpenScreenWindow(screen, parent)) return false;
  ApplyRunOverrides();

  // 11. Run set-up and, for the Desktop picture, the snapshot.
  // The user's picture is used only when it still exists, decodes and fits in memory; otherwise the run
  // shows the desktop, so a damaged or huge file never leaves the user without a saver. The picture is
  // decoded here, once, and kept for the run: every texture of every screen is made from it.
  const int maxTextureEdge = QueryDeviceLimits(direct3d_.get(), screen.adapter).LargestSquareTexture();
  const FileExistsCheck pictureUsable = [&screen, maxTextureEdge](const char* path) {
    screen.picture.reset();
    const uint32_t maxEdge = maxTextureEdge > 0 ? static_cast<uint32_t>(maxTextureEdge) : kMaxImageEdge;
    auto decoded = std::make_shared<Image>();
    if (!PictureFileExists(path) ||
        LoadTexturePicture(path, maxEdge, *decoded, DecodeWithImagingComponent) != ImageStatus::kOk)
      return false;
    screen.picture = std::move(decoded);
    return true;
  };
  SetupResult setup = PrepareScreen(screen, pictureUsable);
  if (setup == SetupResult::InvalidSettings) {
    // A stored record the field cannot run (damaged on this machine): run the defaults instead of
    // failing, keeping the chosen screen mode.
    ResetToDefaultsKeepingScreenMode(settings_);
    ApplyRunOverrides();
    setup = PrepareScreen(screen, pictureUsable);
  }
  if (setup != SetupResult::Ok) {
    Inform(setup == SetupResult::OutOfMemory ? "Not enough memory for the wave field"
                                             : "Screen size not supported");
    return false;
  }
  return true;
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
    if (screen->window == window) return screen.get();
  }
  return nullptr;
}

bool SaverApp::RegisterWindows() {
  if (mode_ == ScreenSaverMode::Preview) {
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SaverWindowProc;
    wc.hInstance = instance_;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassA(&wc)) return false;
    classRegistered_ = true;
    return true;
  }

  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  saverEvent_ = CreateEventA(&security, TRUE, FALSE, kSaverEventName);
  if (!saverEvent_) return false;
  // A run that is ending may still hold the event, signalled or about to be: this run starts it afresh,
  // so that a preview waits for this one.
  if (GetLastError() == ERROR_ALREADY_EXISTS) ResetEvent(saverEvent_);
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
  return true;
}

void SaverApp::MessageLoop() {
  MSG msg{};
  for (;;) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    ++loopPasses_;
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
  HandleRecorded();
  if (passwordDialogActive_ || closedDown_) return;
  const LoopPlan plan = loopState_.Plan(clock_.Now());
  if (plan.frameStep) {
    RaiseTimerResolution(true);
    FrameStep();
  } else {
    Rest(plan);
  }
}

void SaverApp::HandleRecorded() {
  // While the password dialog is up nothing is acted on; what it let through is forgotten afterwards.
  if (passwordDialogActive_ || closedDown_) return;
  if (closeRequested_) {
    closeRequested_ = false;
    CloseDown();
    return;
  }
  if (dismissRequested_) {
    dismissRequested_ = false;
    RequestDismiss();
    if (closedDown_) return;
  }
  // A display change while nothing can be seen (displays off, the session hidden: the snapshot of a
  // desktop that is not the input desktop is black) waits until the run is visible again.
  if (displayChangePending_ && !loopState_.displaysOff() && !loopState_.sessionHidden()) {
    ApplyDisplayChange();
    UpdatePowerPacing();  // the fastest monitor may have changed
  }
  if (powerStatusPending_) UpdatePowerPacing();
}

void SaverApp::RaiseTimerResolution(bool raised) {
  if (raised == timerRaised_ || timerPeriod_ == 0 || !timerResolution_) return;
  timerRaised_ = raised;
  if (raised) {
    timerResolution_->Begin(timerPeriod_);
  } else {
    timerResolution_->End(timerPeriod_);
  }
}

void SaverApp::Rest(const LoopPlan& plan) {
  // Fine waits only between paced frames: displays off, a hidden session or every device lost cost the
  // system nothing.
  RaiseTimerResolution(plan.paced);
  DWORD milliseconds = plan.waitMilliseconds == LoopPlan::kForever ? INFINITE : plan.waitMilliseconds;
  HANDLE handles[1] = {};
  DWORD count = 0;
  if (plan.paced && paceTimer_) {
    // The next frame is due when the timer fires, at the timer's finer resolution; the time-out, the
    // same, is only a backstop.
    LARGE_INTEGER due{};
    due.QuadPart = -10000LL * static_cast<LONGLONG>(milliseconds);
    if (SetWaitableTimer(paceTimer_, &due, 0, nullptr, nullptr, FALSE)) handles[count++] = paceTimer_;
  }
  if (loopWait_) {
    loopWait_(count, handles, milliseconds);
  } else {
    MsgWaitForMultipleObjects(count, count ? handles : nullptr, FALSE, milliseconds, QS_ALLINPUT);
  }
}

void SaverApp::FrameStep() {
  const uint32_t started = clock_.Now();
  ++frameSteps_;
  for (auto& screen : screens_) screen->DecideSpawn(clock_);
  frameTime_ = frameTimer_.Elapsed(clock_);
  bool drawn = false;
  for (auto& screen : screens_) drawn = screen->UpdateAndDraw(clock_, frameTime_) || drawn;
  RenewDevices();
  // Nothing drawn anywhere (every device lost, or none to draw with): the loop waits before testing the
  // devices again instead of spinning.
  loopState_.RecordFrameStep(started, !drawn);
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
  dismissRequested_ = false;  // input while the dialog was up asks nothing more
  if (accepted) {
    CloseDown();
    return;
  }
  input_.ResetMoveCount();
  SetCursor(nullptr);
  if (FAILED(primary().renderer->CreateRenderDevice(direct3d_.get(), mainWindow()))) {
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
  // Restoring the screen mode while a full-screen device is released sends messages that may lead here
  // again: the flag goes first, and each pointer is cleared before its Release.
  if (closedDown_) return;
  closedDown_ = true;
  if (mode_ == ScreenSaverMode::Saver && saverRunningSet_) {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    saverRunningSet_ = false;
  }
  StopWatchingSystemState();
  ReleaseDevices(true);
  direct3d_.reset();
  PostQuitMessage(0);
}

void SaverApp::Shutdown() {
  // A start-up that failed half-way never ran CloseDown: release what it made.
  if (saverRunningSet_) {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, nullptr, 0);
    saverRunningSet_ = false;
  }
  StopWatchingSystemState();
  ReleaseDevices(true);
  direct3d_.reset();
  // The windows would end with the process; they go first so that the class can be unregistered.
  // Their WM_DESTROY must not run CloseDown again, so the procedure no longer reaches this app. Every
  // screen goes out the same way, the primary last; the primary's (empty) entry stays for the accessors.
  if (activeApp == this) activeApp = nullptr;
  for (size_t i = screens_.size(); i-- > 1;) CloseScreen(i);
  primary().Close();
  if (classRegistered_) {
    UnregisterClassA(kWindowClass, instance_);
    classRegistered_ = false;
  }
  if (saverEvent_) {
    SetEvent(saverEvent_);
    CloseHandle(saverEvent_);
    saverEvent_ = nullptr;
  }
  UnloadPasswordLibrary(password_);
  RaiseTimerResolution(false);
  timerPeriod_ = 0;
  if (activeApp == this) activeApp = nullptr;
}

}  // namespace lumar
