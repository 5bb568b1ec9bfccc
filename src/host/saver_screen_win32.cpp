// One screen's state and the monitors of the desktop.
#include "host/saver_screen_win32.h"

#include <d3d9.h>

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

void SaverScreen::MakeRenderer(const ParameterSet* record, const MillisecondClock& clock, HINSTANCE instance,
                               bool preview, const DeviceFactory& factory,
                               std::shared_ptr<WorkerPool> workers, bool presentOnRetrace) {
  RenderContext context;
  context.record = record;
  context.field = field.get();
  context.snapshot = &snapshot;
  context.userPicture = picture.get();
  context.clock = &clock;
  context.instance = instance;
  context.preview = preview;
  context.workers = std::move(workers);
  context.presentOnRetrace = presentOnRetrace;
  renderer = std::make_unique<Renderer>(context);
  if (factory) renderer->SetDeviceFactory(factory);
}

void SaverScreen::DecideSpawn(const MillisecondClock& clock) {
  if (fieldPrepared) lumar::DecideSpawn(*field, clock, random);
}

bool SaverScreen::UpdateAndDraw(const MillisecondClock& clock, float frameTime) {
  if (fieldPrepared) RetireAndUpdateSources(*field, clock);
  if (!renderer || !renderer->PrepareFrame()) return false;
  renderer->RenderFrame(frameTime);
  return true;
}

void SaverScreen::StartRipples(const MillisecondClock& clock) {
  if (fieldPrepared) SpawnSource(*field, clock, random);
}

void SaverScreen::ClearRipples() { ClearSources(field->sourceSet); }

void SaverScreen::ReleaseDevice(bool discardSnapshot) {
  // The screen took the snapshot and is the one to release it.
  if (renderer) renderer->ReleaseDevice(false);
  if (discardSnapshot) snapshot.Release();
}

void SaverScreen::Release() {
  ReleaseDevice(true);
  renderer.reset();
  picture.reset();
  ClearSources(field->sourceSet);
  if (fieldPrepared) {
    field = std::make_unique<WaveField>();  // frees the tables of the run
    fieldPrepared = false;
  }
}

void SaverScreen::Close() {
  Release();
  HWND gone = window;
  window = nullptr;
  if (gone && !windowOwnedByParent && IsWindow(gone)) DestroyWindow(gone);
}

}  // namespace lumar
