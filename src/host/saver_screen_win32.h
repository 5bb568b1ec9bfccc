// One screen of a run: a window, a wave field with its ripple sources and random generator, the snapshot
// of that monitor's part of the desktop, and the renderer with its device. The primary screen and every
// other monitor are instances of it, made and released by the same code, so they cannot interfere; the
// app owns the list. A screen releases what it owns in the reverse order of creation: renderer and
// device, snapshot, field, window.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/image.h"
#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "render/desktop_snapshot_win32.h"
#include "render/renderer_win32.h"
#include "settings/parameter_set.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_field.h"

namespace lumar {

// A monitor of the desktop as EnumDisplayMonitors lists it, in virtual-screen coordinates, with its
// display device's name ("\\.\DISPLAY1"; empty where unknown).
struct MonitorArea {
  HMONITOR monitor = nullptr;
  RECT area{};
  bool primary = false;
  char device[CCHDEVICENAME] = {};
};

// Whether two listings name the same monitor: by the display device's name where both have one (Windows
// does not promise to keep a handle across a change of the topology), else by handle, else by origin.
bool SameMonitor(const MonitorArea& a, const MonitorArea& b);

// The system's monitors in the order it lists them.
std::vector<MonitorArea> ListMonitors();

// The seed of the generator of monitor `index` (1, 2, ... in the order of the list; the primary is 0 and
// keeps the run's seed), so that each monitor has ripples of its own and the primary's stay as with one.
uint32_t MonitorSeed(uint32_t primarySeed, int index);

// The Direct3D adapter that drives `monitor`, or D3DADAPTER_DEFAULT when none claims it.
UINT AdapterOfMonitor(IDirect3D9* direct3d, HMONITOR monitor);

struct SaverScreen {
  SaverScreen() : field(std::make_unique<WaveField>()) {}
  SaverScreen(const SaverScreen&) = delete;
  SaverScreen& operator=(const SaverScreen&) = delete;
  ~SaverScreen() { Close(); }

  // The renderer for this screen over `record`, which must outlive it, summing its field on `workers`
  // (the run's pool; null: the one thread); a full-screen primary presents on the retrace when
  // `presentOnRetrace`.
  void MakeRenderer(const ParameterSet* record, const MillisecondClock& clock, HINSTANCE instance,
                    bool preview, const DeviceFactory& factory, std::shared_ptr<WorkerPool> workers,
                    bool presentOnRetrace);

  // Half of a frame step, before the frame time is read: the spawn decision.
  void DecideSpawn(const MillisecondClock& clock);
  // The other half: retirement and update of the sources, then the device check and the frame. Returns
  // whether a frame was drawn.
  bool UpdateAndDraw(const MillisecondClock& clock, float frameTime);
  // The first ripple of the run (and of a restart after a wrong password).
  void StartRipples(const MillisecondClock& clock);
  void ClearRipples();
  bool drawing() const { return renderer && renderer->device(); }

  // The device and its resources, then (with `discardSnapshot`) the snapshot.
  void ReleaseDevice(bool discardSnapshot);
  // Everything but the window: device, snapshot, renderer, sources and tables.
  void Release();
  // Everything, the window last.
  void Close();

  bool isPrimary() const { return monitor.primary; }

  MonitorArea monitor;
  UINT adapter = 0;  // the Direct3D adapter that drives the monitor
  HWND window = nullptr;
  bool windowOwnedByParent = false;      // the preview's child window goes with the control panel's
  ParameterSet ownRecord;                // a monitor other than the primary: the run's record sized to it
  const ParameterSet* record = nullptr;  // what the field and renderer run: the app's record or ownRecord
  std::unique_ptr<WaveField> field;
  bool fieldPrepared = false;
  RandomGenerator random;
  DesktopSnapshot snapshot;
  // The user's picture as start-up decoded it, shared by every screen for the whole run (never copied).
  std::shared_ptr<const Image> picture;
  std::unique_ptr<Renderer> renderer;
  // A device that will not come back by Reset is replaced; while no new one can be had the screen stays a
  // black window and asks again, at most once a second.
  bool deviceWanted = false;
  bool deviceAttempted = false;
  uint32_t lastDeviceAttempt = 0;
};

}  // namespace lumar
