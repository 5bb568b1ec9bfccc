// The app's list of screens: the other monitors as they come and go, and devices made anew when Reset
// cannot bring them back.
#include <d3d9.h>

#include "host/saver_app_win32.h"

namespace lumar {

bool SaverApp::AdapterHeld(const SaverScreen& screen) const {
  for (const auto& other : screens_) {
    if (other.get() != &screen && other->adapter() == screen.adapter() && other->holdsAdapter()) return true;
  }
  return false;
}

size_t SaverApp::OpenOtherMonitors(const std::vector<MonitorArea>& monitors, bool withDevices) {
  const size_t before = screens_.size();
  for (const MonitorArea& monitor : monitors) {
    // The primary's own monitor, however the system marks it, is already covered.
    if (monitor.primary || EqualRect(&monitor.area, &primary().monitor().area)) continue;
    bool covered = false;
    for (const auto& screen : screens_)
      covered = covered || EqualRect(&screen->monitor().area, &monitor.area);
    if (covered) continue;
    ++monitorIndex_;
    MonitorArea other = monitor;
    other.primary = false;
    auto screen = std::make_unique<SaverScreen>(shared_);
    if (!screen->Open(other, MonitorSeed(seed_, monitorIndex_), nullptr)) continue;
    screen->Prepare(settings_.parameters, nullptr);
    if (withDevices) {
      screen->MakeDevice(mainWindow(), AdapterHeld(*screen));
      screen->StartRipples();
    }
    screens_.push_back(std::move(screen));
  }
  return screens_.size() - before;
}

void SaverApp::ShowOtherMonitors(size_t from) {
  for (size_t i = from; i < screens_.size(); ++i) screens_[i]->Show();
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

bool SaverApp::PrimaryMoved(const std::vector<MonitorArea>& monitors) {
  for (const MonitorArea& monitor : monitors) {
    // Another monitor became the primary: the full-screen device belongs to the old one. (Known by name
    // or handle; a list with neither tells nothing.)
    const bool comparable =
        (monitor.device[0] && primaryMonitor_.device[0]) || (monitor.monitor && primaryMonitor_.monitor);
    if (monitor.primary && comparable && !SameMonitor(monitor, primaryMonitor_)) return true;
    if (monitor.primary) primaryMonitor_.monitor = monitor.monitor;
  }
  return false;
}

void SaverApp::ApplyDisplayChange() {
  recorded_.displayChange = false;
  if (mode_ != ScreenSaverMode::Saver || runEnded_ || passwordDialogActive_ || !seams_.monitorSource) return;
  const std::vector<MonitorArea> monitors = seams_.monitorSource();
  if (monitors.empty()) return;  // a failed list changes nothing
  if (PrimaryMoved(monitors)) {
    EndRun();  // as if the user had moved the mouse
    return;
  }
  // Gone, or changed in size or place: closed (a changed one is made again below). A monitor of the
  // same name and rectangle keeps its screen under a new handle.
  for (size_t i = screens_.size(); i-- > 1;) {
    const MonitorArea* kept = nullptr;
    for (const MonitorArea& monitor : monitors) {
      if (!monitor.primary && SameMonitor(monitor, screens_[i]->monitor()) &&
          EqualRect(&monitor.area, &screens_[i]->monitor().area))
        kept = &monitor;
    }
    if (kept) {
      screens_[i]->Rehandle(kept->monitor);
    } else {
      CloseScreen(i);
    }
  }
  // The adapters of the new arrangement, for the devices made from now on.
  RenewDirect3D();
  const size_t first = screens_.size();
  if (OpenOtherMonitors(monitors, true) > 0) ShowOtherMonitors(first);
}

void SaverApp::RenewDirect3D() {
  if (IDirect3D9* fresh = seams_.direct3dCreator(kDirect3DVersion)) shared_.direct3d.reset(fresh);
  for (auto& screen : screens_) screen->FindAdapter();
}

void SaverApp::RenewDevices() {
  if (passwordDialogActive_) return;
  const uint32_t now = clock_.Now();
  for (auto& screen : screens_) {
    if (!screen->DeviceDue(now)) continue;
    ++counts_.deviceRenewals;
    // The old device goes first: a full-screen device holds its adapter.
    screen->ReleaseDevice(false);
    if (!screen->AdapterListed()) RenewDirect3D();
    screen->RenewDevice(now, mainWindow(), AdapterHeld(*screen));
  }
}

}  // namespace lumar
