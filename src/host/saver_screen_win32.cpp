// One screen's state and the monitors of the desktop.
#include "host/saver_screen_win32.h"

#include <d3d9.h>

#include "render/device_limits_win32.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT area, LPARAM list) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  MonitorArea entry;
  entry.monitor = monitor;
  entry.area = *area;
  if (GetMonitorInfoA(monitor, &info)) {
    entry.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    lstrcpynA(entry.device, info.szDevice, sizeof entry.device);
  }
  reinterpret_cast<std::vector<MonitorArea>*>(list)->push_back(entry);
  return TRUE;
}

}  // namespace

std::vector<MonitorArea> ListMonitors() {
  std::vector<MonitorArea> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

bool SameMonitor(const MonitorArea& a, const MonitorArea& b) {
  if (a.device[0] && b.device[0]) return lstrcmpiA(a.device, b.device) == 0;
  if (a.monitor && b.monitor) return a.monitor == b.monitor;
  return a.area.left == b.area.left && a.area.top == b.area.top;
}

uint32_t MonitorSeed(uint32_t primarySeed, int index) {
  // Knuth's multiplicative step spreads neighbouring indices over the whole state.
  return primarySeed + static_cast<uint32_t>(index) * 2654435761u;
}

UINT AdapterOfMonitor(IDirect3D9* direct3d, HMONITOR monitor) {
  if (!direct3d) return D3DADAPTER_DEFAULT;
  for (UINT adapter = 0; adapter < direct3d->GetAdapterCount(); ++adapter) {
    if (direct3d->GetAdapterMonitor(adapter) == monitor) return adapter;
  }
  return D3DADAPTER_DEFAULT;
}

SaverScreen::SaverScreen(ScreenShared& shared) : shared_(shared), field_(std::make_unique<WaveField>()) {}

bool SaverScreen::Open(const MonitorArea& monitor, uint32_t seed, HWND parent) {
  monitor_ = monitor;
  random_.Srand(seed);
  const RECT& area = monitor_.area;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  const HINSTANCE instance = shared_.instance;
  if (!isPrimary()) {
    if (width <= 0 || height <= 0) return false;
    FindAdapter();
    // Same window class, procedure and rules as the primary's; topmost over whatever that monitor shows.
    window_ = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, "Lumar", WS_POPUP, area.left, area.top, width,
                              height, nullptr, nullptr, instance, nullptr);
  } else if (shared_.preview) {
    window_ = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, parent,
                              nullptr, instance, nullptr);
    windowOwnedByParent_ = true;
  } else {
    window_ = CreateWindowExA(WS_EX_APPWINDOW, kWindowClass, "Lumar", WS_POPUP, 0, 0, width, height, nullptr,
                              nullptr, instance, nullptr);
  }
  return window_ != nullptr;
}

SetupResult SaverScreen::Prepare(ParameterSet& runRecord, const FileExistsCheck& pictureUsable) {
  const RECT& area = monitor_.area;
  DesktopSize desktop{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  FileExistsCheck fileCheck = pictureUsable;
  ParameterSet* record = &runRecord;
  if (!isPrimary()) {
    // The run's record (after every fallback of the primary's set-up), at this monitor's size. The
    // primary's set-up has checked the user's picture and fallen back to the desktop where it was
    // unusable.
    ownRecord_ = runRecord;
    record = &ownRecord_;
    desktop = DesktopSize{area.right - area.left, area.bottom - area.top};
    ownRecord_.screenWidth = static_cast<uint32_t>(desktop.desktopWidth);
    ownRecord_.screenHeight = static_cast<uint32_t>(desktop.desktopHeight);
    fileCheck = [](const char*) { return true; };
  }
  record_ = record;
  // The texture limit of the adapter that will draw this screen.
  const int maxTextureEdge = QueryDeviceLimits(shared_.direct3d.get(), adapter_).LargestSquareTexture();
  const SetupResult setup = PrepareWaveField(*field_, *record, desktop, fileCheck, maxTextureEdge);
  fieldPrepared_ = setup == SetupResult::Ok;
  if (!fieldPrepared_) return setup;
  if (record->texture == kTextureDesktop)
    snapshot_.Take(field_->constants, area.left, area.top);
  else if (record->texture > kTextureSky)
    picture_ = shared_.picture;  // shared, not copied: no allocation that could fail
  return setup;
}

bool SaverScreen::MakeDevice(HWND focus, bool adapterHeld, bool tellUser) {
  if (!fieldPrepared_) return false;  // another monitor's screen stays black
  if (!shared_.preview && !shared_.workers && MachineThreadCount() > 1)
    shared_.workers = std::make_shared<WorkerPool>(MachineThreadCount());
  RenderContext context;
  context.record = record_;
  context.field = field_.get();
  context.snapshot = &snapshot_;
  context.userPicture = picture_.get();
  context.clock = shared_.clock;
  context.instance = shared_.instance;
  context.preview = shared_.preview;
  context.workers = shared_.preview ? nullptr : shared_.workers;
  context.presentOnRetrace = !shared_.asFastAsPossible;
  renderer_ = std::make_unique<Renderer>(context);
  if (shared_.deviceFactory) renderer_->SetDeviceFactory(shared_.deviceFactory);
  IDirect3D9* direct3d = shared_.direct3d.get();
  if (isPrimary()) return SUCCEEDED(renderer_->CreateRenderDevice(direct3d, window_, tellUser));
  // Never full screen on an adapter that no adapter's monitor claims (the default one stands in), nor on
  // one another screen holds exclusively.
  const bool exclusive = monitor_.monitor != nullptr && AdapterListed() && !adapterHeld;
  if (FAILED(renderer_->CreateMonitorDevice(direct3d, window_, adapter_, focus, exclusive))) {
    ReleaseDevice(false);  // no device: the window is painted black
    return false;
  }
  return true;
}

void SaverScreen::Show() {
  // Shown without taking the activation from the primary, whose window is the devices' focus window.
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  UpdateWindow(window_);
}

void SaverScreen::DecideSpawn() {
  if (fieldPrepared_) lumar::DecideSpawn(*field_, *shared_.clock, random_);
}

bool SaverScreen::UpdateAndDraw(float frameTime) {
  if (fieldPrepared_) RetireAndUpdateSources(*field_, *shared_.clock);
  if (!renderer_ || !renderer_->PrepareFrame()) return false;
  renderer_->RenderFrame(frameTime);
  return true;
}

void SaverScreen::StartRipples() {
  if (fieldPrepared_) SpawnSource(*field_, *shared_.clock, random_);
}

void SaverScreen::ClearRipples() { ClearSources(field_->sourceSet); }

bool SaverScreen::DeviceDue(uint32_t now) const {
  if (!fieldPrepared_) return false;
  if (!deviceWanted_ && !(renderer_ && renderer_->needsNewDevice())) return false;
  return !deviceAttempted_ || now - lastDeviceAttempt_ >= kDeviceRenewalMs;
}

bool SaverScreen::RenewDevice(uint32_t now, HWND focus, bool adapterHeld) {
  deviceAttempted_ = true;
  lastDeviceAttempt_ = now;
  deviceWanted_ = !MakeDevice(focus, adapterHeld, false);
  if (deviceWanted_) InvalidateRect(window_, nullptr, TRUE);  // black meanwhile
  return !deviceWanted_;
}

bool SaverScreen::AdapterListed() const {
  IDirect3D9* direct3d = shared_.direct3d.get();
  if (!direct3d) return false;
  const UINT count = direct3d->GetAdapterCount();
  if (isPrimary() || !monitor_.monitor) return count > 0;
  return adapter_ < count && direct3d->GetAdapterMonitor(adapter_) == monitor_.monitor;
}

void SaverScreen::FindAdapter() {
  if (!isPrimary()) adapter_ = AdapterOfMonitor(shared_.direct3d.get(), monitor_.monitor);
}

bool SaverScreen::RestoreDevice() {
  return renderer_ && SUCCEEDED(renderer_->CreateRenderDevice(shared_.direct3d.get(), window_));
}

void SaverScreen::ReleaseDevice(bool discardSnapshot) {
  // The screen took the snapshot and is the one to release it.
  if (renderer_) renderer_->ReleaseDevice(false);
  if (discardSnapshot) snapshot_.Release();
}

void SaverScreen::Close() {
  ReleaseDevice(true);
  renderer_.reset();
  picture_.reset();
  ClearSources(field_->sourceSet);
  if (fieldPrepared_) {
    field_ = std::make_unique<WaveField>();  // frees the tables of the run
    fieldPrepared_ = false;
  }
  HWND gone = window_;
  window_ = nullptr;
  if (gone && !windowOwnedByParent_ && IsWindow(gone)) DestroyWindow(gone);
}

}  // namespace lumar
