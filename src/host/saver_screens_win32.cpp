// The screens of a run: one screen's way in (window, set-up and snapshot, device), the other monitors
// as they come and go, and devices made anew when Reset cannot bring them back.
#include <d3d9.h>

#include "host/saver_app_win32.h"
#include "render/device_limits_win32.h"
#include "wavefield/run_setup.h"
#include "wavefield/worker_pool.h"

namespace lumar {

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

size_t SaverApp::OpenOtherMonitors(const std::vector<MonitorArea>& monitors, bool withDevices) {
  const size_t before = screens_.size();
  for (const MonitorArea& monitor : monitors) {
    // The primary's own monitor, however the system marks it, is already covered.
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
    if (withDevices) {
      CreateScreenDevice(*screen);
      screen->StartRipples(clock_);
    }
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
  if (OpenOtherMonitors(monitors, true) > 0) ShowOtherMonitors(first);
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

}  // namespace lumar
