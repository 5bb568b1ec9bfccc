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
#include "platform/message_box_win32.h"
#include "platform/multimedia_clock_win32.h"
#include "render/device_limits_win32.h"
#include "settings/frame_pacing_win32.h"
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
  if (settings_.settingsWereReset) {
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
  }

  // 9. The ripples' random sequence: the same every run unless "Random Start" is set.
  seed_ = record.randomStart ? GetTickCount() : 1u;
  SaverScreen& screen = primary();
  screen.random.Srand(seed_);

  // 10-11. The window, hidden until start-up succeeds: the whole screen, or the preview's area.
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
  // decoded here, once, and handed to the first texture creation.
  const int maxTextureEdge = QueryDeviceLimits(direct3d_.get(), screen.adapter).LargestSquareTexture();
  const FileExistsCheck pictureUsable = [&screen, maxTextureEdge](const char* path) {
    screen.picture.reset();
    const uint32_t maxEdge = maxTextureEdge > 0 ? static_cast<uint32_t>(maxTextureEdge) : kMaxImageEdge;
    auto decoded = std::make_shared<Image>();
    if (!PictureFileExists(path) || LoadTexturePicture(path, maxEdge, *decoded) != ImageStatus::kOk)
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
  // The other monitors photograph their parts of the desktop before any device exists.
  std::vector<MonitorArea> monitors;
  if (mode_ == ScreenSaverMode::Saver && monitorSource_) monitors = monitorSource_();
  for (const MonitorArea& monitor : monitors) {
    if (monitor.primary) primaryMonitor_ = monitor;
  }
  std::vector<std::unique_ptr<SaverScreen>> others;
  for (const MonitorArea& monitor : monitors) {
    // The primary's own monitor, however the system marks it, is already covered.
    if (monitor.primary || EqualRect(&monitor.area, &screen.monitor.area)) continue;
    ++monitorIndex_;
    auto other = std::make_unique<SaverScreen>();
    other->monitor = monitor;
    other->random.Srand(MonitorSeed(seed_, monitorIndex_));
    if (!OpenScreenWindow(*other, nullptr)) continue;
    PrepareScreen(*other, nullptr);
    screens_.push_back(std::move(other));
  }

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

bool SaverApp::OpenScreenWindow(SaverScreen& screen, HWND parent) {
  const RECT& area = screen.monitor.area;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (!screen.isPrimary()) {
    if (width <= 0 || height <= 0) return false;
    screen.adapter = AdapterOfMonitor(direct3d_.get(), screen.monitor.monitor);
    // Same window class, procedure and rules as the primary's; topmost over whatever that monitor shows.
    screen.window = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, "Lumar", WS_POPUP, area.left, area.top,
                                    width, height, nullptr, nullptr, instance_, nullptr);
  } else if (mode_ == ScreenSaverMode::Preview) {
    screen.window = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, parent,
                                    nullptr, instance_, nullptr);
    screen.windowOwnedByParent = true;
  } else {
    screen.window = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, "Lumar", WS_POPUP, 0, 0, width, height,
                                    nullptr, nullptr, instance_, nullptr);
  }
  return screen.window != nullptr;
}

SetupResult SaverApp::PrepareScreen(SaverScreen& screen, const FileExistsCheck& pictureUsable) {
  const RECT& area = screen.monitor.area;
  ParameterSet& record = screen.isPrimary() ? settings_.parameters : screen.ownRecord;
  DesktopSize desktop{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  FileExistsCheck fileCheck = pictureUsable;
  if (!screen.isPrimary()) {
    // The run's record (after every fallback of the primary's set-up), at this monitor's size. The
    // primary's set-up has checked the user's picture and fallen back to the desktop where it was
    // unusable; each monitor takes a copy of the picture it decoded, which is never read again.
    record = settings_.parameters;
    desktop = DesktopSize{area.right - area.left, area.bottom - area.top};
    record.screenWidth = static_cast<uint32_t>(desktop.desktopWidth);
    record.screenHeight = static_cast<uint32_t>(desktop.desktopHeight);
    fileCheck = [](const char*) { return true; };
  }
  screen.record = &record;
  // The texture limit of the adapter that will draw this screen.
  const int maxTextureEdge = QueryDeviceLimits(direct3d_.get(), screen.adapter).LargestSquareTexture();
  const SetupResult setup = PrepareWaveField(*screen.field, record, desktop, fileCheck, maxTextureEdge);
  screen.fieldPrepared = setup == SetupResult::Ok;
  if (!screen.fieldPrepared) return setup;
  if (record.texture == kTextureDesktop)
    screen.snapshot.Take(screen.field->constants, area.left, area.top);
  else if (!screen.isPrimary() && record.texture > kTextureSky)
    screen.picture = primary().picture;  // shared, not copied: no allocation that could fail
  return setup;
}

bool SaverApp::CreateScreenDevice(SaverScreen& screen, bool tellUser) {
  if (!screen.fieldPrepared) return false;  // another monitor's screen stays black
  const bool preview = mode_ == ScreenSaverMode::Preview;
  if (!preview && !workers_ && MachineThreadCount() > 1)
    workers_ = std::make_shared<WorkerPool>(MachineThreadCount());
  screen.MakeRenderer(screen.record, clock_, instance_, preview, deviceFactory_, preview ? nullptr : workers_,
                      !asFastAsPossible_);
  if (screen.isPrimary())
    return SUCCEEDED(screen.renderer->CreateRenderDevice(direct3d_.get(), screen.window, tellUser));
  // Never full screen on an adapter that no adapter's monitor claims (the default one stands in), nor on
  // one another screen holds exclusively.
  bool exclusive = screen.monitor.monitor != nullptr && direct3d_ &&
                   screen.adapter < direct3d_->GetAdapterCount() &&
                   direct3d_->GetAdapterMonitor(screen.adapter) == screen.monitor.monitor;
  for (const auto& other : screens_) {
    if (other.get() != &screen && other->adapter == screen.adapter && other->renderer &&
        other->renderer->fullScreen())
      exclusive = false;
  }
  if (FAILED(screen.renderer->CreateMonitorDevice(direct3d_.get(), screen.window, screen.adapter,
                                                  mainWindow(), exclusive))) {
    screen.ReleaseDevice(false);  // no device: the window is painted black
    return false;
  }
  return true;
}

size_t SaverApp::OpenOtherMonitors(const std::vector<MonitorArea>& monitors) {
  const size_t before = screens_.size();
  for (const MonitorArea& monitor : monitors) {
    if (monitor.primary || EqualRect(&monitor.area, &primary().monitor.area)) continue;
    bool covered = false;
    for (const auto& screen : screens_) covered = covered || EqualRect(&screen->monitor.area, &monitor.area);
    if (covered) continue;
    ++monitorIndex_;
    auto screen = std::make_unique<SaverScreen>();
    screen->monitor = monitor;
    screen->monitor.primary = false;
    screen->random.Srand(MonitorSeed(seed_, monitorIndex_));
    if (!OpenScreenWindow(*screen, nullptr)) continue;
    PrepareScreen(*screen, nullptr);
    CreateScreenDevice(*screen);
    screen->StartRipples(clock_);
    screens_.push_back(std::move(screen));
  }
  return screens_.size() - before;
}

void SaverApp::ShowOtherMonitors(size_t from) {
  // Shown without taking the activation from the primary, whose window is the devices' focus window.
  for (size_t i = from; i < screens_.size(); ++i) {
    ShowWindow(screens_[i]->window, SW_SHOWNOACTIVATE);
    UpdateWindow(screens_[i]->window);
  }
}

void SaverApp::CloseScreen(size_t index) {
  std::unique_ptr<SaverScreen> gone = std::move(screens_[index]);
  screens_.erase(screens_.begin() + static_cast<std::ptrdiff_t>(index));
  gone->Close();  // its WM_DESTROY finds no screen of the run, so the run goes on
}

void SaverApp::ReleaseDevices(bool discardSnapshots) {
  // In the reverse order of creation: the primary's device, whose window is the focus window, goes last.
  for (size_t i = screens_.size(); i-- > 0;) screens_[i]->ReleaseDevice(discardSnapshots);
}

void SaverApp::ApplyDisplayChange() {
  displayChangePending_ = false;
  if (mode_ != ScreenSaverMode::Saver || closedDown_ || passwordDialogActive_ || !monitorSource_) return;
  const std::vector<MonitorArea> monitors = monitorSource_();
  if (monitors.empty()) return;  // a failed list changes nothing
  for (const MonitorArea& monitor : monitors) {
    // Another monitor became the primary: the full-screen device belongs to the old one. The run ends
    // as if the user had moved the mouse. (Known by name or handle; a list with neither tells nothing.)
    const bool comparable =
        (monitor.device[0] && primaryMonitor_.device[0]) || (monitor.monitor && primaryMonitor_.monitor);
    if (monitor.primary && comparable && !SameMonitor(monitor, primaryMonitor_)) {
      CloseDown();
      return;
    }
    if (monitor.primary) primaryMonitor_.monitor = monitor.monitor;
  }
  // Gone, or changed in size or place: released (a changed one is made again below). A monitor of the
  // same name and rectangle keeps its screen under a new handle.
  for (size_t i = screens_.size(); i-- > 1;) {
    const MonitorArea* kept = nullptr;
    for (const MonitorArea& monitor : monitors) {
      if (!monitor.primary && SameMonitor(monitor, screens_[i]->monitor) &&
          EqualRect(&monitor.area, &screens_[i]->monitor.area))
        kept = &monitor;
    }
    if (kept) {
      screens_[i]->monitor.monitor = kept->monitor;
    } else {
      CloseScreen(i);
    }
  }
  // The adapters of the new arrangement, for the devices made from now on.
  RenewDirect3D();
  const size_t first = screens_.size();
  if (OpenOtherMonitors(monitors) > 0) ShowOtherMonitors(first);
}

void SaverApp::ApplyRunOverrides() {
  ParameterSet& record = settings_.parameters;
  if (mode_ == ScreenSaverMode::Preview) record.showFps = 0;
  if (mode_ == ScreenSaverMode::Saver && password_.ntSecure) record.texture = kTextureSky;
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

bool SaverApp::AdapterListed(const SaverScreen& screen) const {
  if (!direct3d_) return false;
  const UINT count = direct3d_->GetAdapterCount();
  if (screen.isPrimary() || !screen.monitor.monitor) return count > 0;
  return screen.adapter < count && direct3d_->GetAdapterMonitor(screen.adapter) == screen.monitor.monitor;
}

void SaverApp::RenewDirect3D() {
  if (IDirect3D9* fresh = direct3dCreator_(kDirect3DVersion)) direct3d_.reset(fresh);
  for (auto& screen : screens_) {
    if (!screen->isPrimary()) screen->adapter = AdapterOfMonitor(direct3d_.get(), screen->monitor.monitor);
  }
}

void SaverApp::RenewDevices() {
  const uint32_t now = clock_.Now();
  for (auto& each : screens_) {
    SaverScreen& screen = *each;
    if (!screen.fieldPrepared || passwordDialogActive_) continue;
    if (!screen.deviceWanted && !(screen.renderer && screen.renderer->needsNewDevice())) continue;
    if (screen.deviceAttempted && now - screen.lastDeviceAttempt < kDeviceRenewalMs) continue;
    screen.deviceAttempted = true;
    screen.lastDeviceAttempt = now;
    ++deviceRenewals_;
    // The old device goes first: a full-screen device holds its adapter.
    if (screen.renderer) screen.renderer->ReleaseDevice(false);
    if (!AdapterListed(screen)) RenewDirect3D();
    screen.deviceWanted = !CreateScreenDevice(screen, false);
    if (screen.deviceWanted) InvalidateRect(screen.window, nullptr, TRUE);  // black meanwhile
  }
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

namespace {

// The power settings whose changes tell that the displays went off or came on: the console display state
// (0 off, 1 on, 2 dimmed) and, for Windows 7, which lacks it, the monitor power (0 off, 1 on).
constexpr GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPowerOn = {
    0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

using RegisterPowerSetting = HPOWERNOTIFY(WINAPI*)(HANDLE recipient, LPCGUID setting, DWORD flags);
using UnregisterPowerSetting = BOOL(WINAPI*)(HPOWERNOTIFY notification);
using RegisterSession = BOOL(WINAPI*)(HWND window, DWORD flags);
using UnregisterSession = BOOL(WINAPI*)(HWND window);

template <typename Function>
Function Resolve(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A library of the system, from the system folder only.
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + strlen(name) >= MAX_PATH) return nullptr;
  strcat(path, "\\");
  strcat(path, name);
  return LoadLibraryA(path);
}

// The refresh rate the system reports for `monitor` (its device's current mode; the primary display's
// where it has no handle), 0 when unknown.
uint32_t ReportedRefresh(const MonitorArea& monitor) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  const char* device = nullptr;
  if (monitor.monitor && GetMonitorInfoA(monitor.monitor, &info)) device = info.szDevice;
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  return EnumDisplaySettingsA(device, ENUM_CURRENT_SETTINGS, &mode) ? mode.dmDisplayFrequency : 0;
}

// The fastest refresh rate among the monitors, 60 where none reports one (0 and 1 stand for the
// hardware's default rate).
uint32_t FastestRefresh(const std::vector<std::unique_ptr<SaverScreen>>& screens,
                        const RefreshSource& source) {
  uint32_t fastest = 0;
  for (const auto& screen : screens) {
    const uint32_t rate = source ? source(screen->monitor) : ReportedRefresh(screen->monitor);
    if (rate > 1 && rate > fastest) fastest = rate;
  }
  return fastest ? fastest : 60;
}

}  // namespace

void SaverApp::WatchSystemState() {
  HWND window = mainWindow();
  const auto registerPower =
      Resolve<RegisterPowerSetting>(GetModuleHandleA("user32.dll"), "RegisterPowerSettingNotification");
  if (registerPower) {
    for (const GUID* setting : {&kConsoleDisplayState, &kMonitorPowerOn}) {
      if (HPOWERNOTIFY notification = registerPower(window, setting, DEVICE_NOTIFY_WINDOW_HANDLE))
        powerNotifications_.push_back(notification);
    }
  }
  sessionLibrary_ = LoadSystemLibrary("wtsapi32.dll");
  const auto registerSession = Resolve<RegisterSession>(sessionLibrary_, "WTSRegisterSessionNotification");
  sessionRegistered_ = registerSession && registerSession(window, NOTIFY_FOR_THIS_SESSION);
  if (!sessionRegistered_ && sessionLibrary_) {
    FreeLibrary(sessionLibrary_);
    sessionLibrary_ = nullptr;
  }
  UpdatePowerPacing();
}

void SaverApp::StopWatchingSystemState() {
  const auto unregisterPower =
      Resolve<UnregisterPowerSetting>(GetModuleHandleA("user32.dll"), "UnregisterPowerSettingNotification");
  for (size_t i = powerNotifications_.size(); i-- > 0;) {
    if (unregisterPower) unregisterPower(powerNotifications_[i]);
  }
  powerNotifications_.clear();
  if (sessionRegistered_) {
    const auto unregisterSession =
        Resolve<UnregisterSession>(sessionLibrary_, "WTSUnRegisterSessionNotification");
    if (unregisterSession) unregisterSession(mainWindow());
    sessionRegistered_ = false;
  }
  if (sessionLibrary_) {
    FreeLibrary(sessionLibrary_);
    sessionLibrary_ = nullptr;
  }
  if (HANDLE timer = paceTimer_) {
    paceTimer_ = nullptr;
    CancelWaitableTimer(timer);
    CloseHandle(timer);
  }
}

void SaverApp::RecordPowerSetting(const POWERBROADCAST_SETTING* setting) {
  // Anything but a 4-byte state of one of the two settings is ignored.
  if (!setting || setting->DataLength != sizeof(DWORD)) return;
  if (!IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) &&
      !IsEqualGUID(setting->PowerSetting, kMonitorPowerOn))
    return;
  DWORD state = 0;
  memcpy(&state, setting->Data, sizeof state);
  if (IsEqualGUID(setting->PowerSetting, kMonitorPowerOn) && state > 1) return;
  loopState_.RecordDisplayState(state);
}

void SaverApp::UpdatePowerPacing() {
  powerStatusPending_ = false;
  SYSTEM_POWER_STATUS status{};
  const bool known = powerStatus_ ? powerStatus_(status) : GetSystemPowerStatus(&status) != FALSE;
  // On battery (the AC line off-line) or with the battery saver on (the first bit of the status flag,
  // which older headers call Reserved1).
  const bool battery = known && (status.ACLineStatus == 0 || (status.Reserved1 & 1) != 0);
  // No screen draws more frames than the fastest monitor shows, unless the user asked for every frame
  // the machine can make (never on battery).
  const bool paced = battery || !asFastAsPossible_;
  if (paced && !paceTimer_) paceTimer_ = CreateWaitableTimerA(nullptr, FALSE, nullptr);
  loopState_.SetPacing(paced ? FastestRefresh(screens_, refreshSource_) : 0);
}

void SaverApp::RecordInput(HWND window, UINT message, LPARAM lParam) {
  if (message != WM_MOUSEMOVE) {
    dismissRequested_ = true;
    return;
  }
  // Counted over all the saver's windows together, at the pointer's place on the desktop (the primary's
  // window lies at the origin, so its own coordinates are that place).
  const SaverScreen* screen = ScreenOf(window);
  const int left = screen ? screen->monitor.area.left : 0;
  const int top = screen ? screen->monitor.area.top : 0;
  if (input_.MouseMovedTo(static_cast<int16_t>(static_cast<int16_t>(LOWORD(lParam)) + left),
                          static_cast<int16_t>(static_cast<int16_t>(HIWORD(lParam)) + top)))
    dismissRequested_ = true;
}

// The procedure only records what it learns; the loop acts on it between frames (HandleRecorded).
LRESULT SaverApp::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool saver = mode_ == ScreenSaverMode::Saver;
  switch (message) {
    case WM_DESTROY:
      // A screen released because its monitor is gone has left the list first.
      if (ScreenOf(window)) closeRequested_ = true;
      break;
    case WM_ACTIVATEAPP:
      if (wParam == FALSE && saver) dismissRequested_ = true;
      break;
    case WM_SETCURSOR:
      if (saver && !passwordDialogActive_) {
        SetCursor(nullptr);
      } else {
        SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
      }
      break;
    // Every key and button ends the run, the system keys (Alt, F10, Alt+F4), the wheel and the side
    // buttons included. The system keys never reach DefWindowProc, whose menu mode would hold the loop.
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_MOUSEMOVE:
      if (!saver) break;
      RecordInput(window, message, lParam);
      if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_XBUTTONDOWN) return TRUE;
      if (message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL) return 0;
      break;
    case WM_SYSCOMMAND:
      // Closing (Alt+F4) is a dismissal like any key; switching away and a second saver are refused.
      if (saver && (wParam & 0xFFF0) == SC_CLOSE) dismissRequested_ = true;
      if (saver && ((wParam & 0xFFF0) == SC_NEXTWINDOW || (wParam & 0xFFF0) == SC_PREVWINDOW ||
                    (wParam & 0xFFF0) == SC_CLOSE || (wParam & 0xFFF0) == SC_SCREENSAVE ||
                    (wParam & 0xFFF0) == SC_KEYMENU))
        return 0;
      break;
    case WM_CLOSE:
      if (!saver) break;
      dismissRequested_ = true;
      return 0;
    case WM_PAINT: {
      // A monitor without a device is black, never the desktop it covers.
      const SaverScreen* screen = ScreenOf(window);
      if (saver && screen && !screen->drawing() && (screen != &primary() || !passwordDialogActive_)) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &paint);
        return 0;
      }
      break;
    }
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMSUSPEND && !password_.verifyPasswordProc && saver) dismissRequested_ = true;
      if (wParam == PBT_POWERSETTINGCHANGE)
        RecordPowerSetting(reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
      if (wParam == PBT_APMPOWERSTATUSCHANGE) powerStatusPending_ = true;
      break;
    case WM_WTSSESSION_CHANGE:
      loopState_.RecordSessionChange(static_cast<uint32_t>(wParam));
      break;
    case WM_DISPLAYCHANGE:
      displayChangePending_ = true;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace lumar
