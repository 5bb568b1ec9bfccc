// One screen of a run (its window, field, snapshot and device) and the monitors of the desktop.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/com_ptr_win32.h"
#include "platform/image.h"
#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "render/desktop_snapshot_win32.h"
#include "render/renderer_win32.h"
#include "settings/parameter_set.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_field.h"
#include "wavefield/worker_pool.h"

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

// The window class of every screen.
constexpr const char* kWindowClass = "Lumar";

// A screen whose device will not come back asks for a new one at most this often.
constexpr uint32_t kDeviceRenewalMs = 1000;

// What the screens of a run share, owned by the app: each screen reads it when it makes its device.
struct ScreenShared {
  HINSTANCE instance = nullptr;
  const MillisecondClock* clock = nullptr;
  bool preview = false;
  bool asFastAsPossible = false;  // immediate presents; else the full-screen primary waits for the retrace
  DeviceFactory deviceFactory;    // empty: the system's device
  ComPtr<IDirect3D9> direct3d;
  // The field's worker threads, made with the first full-screen device and kept for the run (screens come
  // and go; the threads stay).
  std::shared_ptr<WorkerPool> workers;
  // The user's picture as start-up decoded it, for every screen and the whole run (never copied, never
  // read from its file again).
  std::shared_ptr<const Image> picture;
};

// One screen of a run: a window, a wave field with its ripple sources and random generator, the snapshot
// of its monitor's part of the desktop, and the renderer with its device. The primary screen and every
// other monitor are instances of it, made and undone by the same code. A screen makes and undoes itself:
// Open, Prepare and MakeDevice on the way in; ReleaseDevice (the device may come back) and Close (all of
// it, in the reverse order of creation: renderer and device, snapshot, field, window) on the way out.
class SaverScreen {
 public:
  explicit SaverScreen(ScreenShared& shared);
  SaverScreen(const SaverScreen&) = delete;
  SaverScreen& operator=(const SaverScreen&) = delete;
  ~SaverScreen() { Close(); }

  // The way in, in this order. Open: the window over `monitor` (a monitor other than the primary is
  // topmost; a preview's is a child of `parent`), hidden, its ripples seeded with `seed`. Prepare: the
  // run set-up and, for the Desktop picture, the snapshot, before any device exists; the primary runs
  // `runRecord` itself (it must outlive the screen) and checks the picture with `pictureUsable`, another
  // monitor runs a copy sized to it. MakeDevice: the renderer and its device; a monitor other than the
  // primary is never full screen on an adapter another screen holds (`adapterHeld`), its device's focus
  // window is `focus`, and without a device it stays a black window.
  bool Open(const MonitorArea& monitor, uint32_t seed, HWND parent);
  SetupResult Prepare(ParameterSet& runRecord, const FileExistsCheck& pictureUsable);
  bool MakeDevice(HWND focus, bool adapterHeld, bool tellUser = true);
  void Show();

  // A frame step, in two halves around the reading of the frame time: the spawn decision; then
  // retirement and update of the sources, the device check and the frame (true: a frame was drawn).
  void DecideSpawn();
  bool UpdateAndDraw(float frameTime);
  // The first ripple of the run (and of a restart after a wrong password).
  void StartRipples();
  void ClearRipples();

  // A device that will not come back by Reset is replaced: DeviceDue says when (at most once a second
  // while none can be had), RenewDevice makes the new one after the app has released the old one and
  // renewed the Direct3D object where AdapterListed says its adapter is gone. False: black meanwhile.
  bool DeviceDue(uint32_t now) const;
  bool RenewDevice(uint32_t now, HWND focus, bool adapterHeld);
  bool AdapterListed() const;
  // The adapter of the monitor on a new Direct3D object.
  void FindAdapter();
  // The primary's device again, on its renderer, after the password dialog.
  bool RestoreDevice();

  // The device and its resources, then (with `discardSnapshot`) the snapshot.
  void ReleaseDevice(bool discardSnapshot);
  // Everything, the window last.
  void Close();

  bool isPrimary() const { return monitor_.primary; }
  bool drawing() const { return renderer_ && renderer_->device(); }
  bool holdsAdapter() const { return renderer_ && renderer_->fullScreen(); }
  HWND window() const { return window_; }
  const MonitorArea& monitor() const { return monitor_; }
  // A monitor known under a new handle (same name and rectangle) keeps its screen.
  void Rehandle(HMONITOR handle) { monitor_.monitor = handle; }
  UINT adapter() const { return adapter_; }
  WaveField& field() const { return *field_; }
  Renderer* renderer() const { return renderer_.get(); }
  const DesktopSnapshot& snapshot() const { return snapshot_; }
  RandomGenerator& random() { return random_; }

 private:
  ScreenShared& shared_;
  MonitorArea monitor_;
  UINT adapter_ = 0;  // the Direct3D adapter that drives the monitor
  HWND window_ = nullptr;
  bool windowOwnedByParent_ = false;      // the preview's child window goes with the control panel's
  ParameterSet ownRecord_;                // a monitor other than the primary: the run's record sized to it
  const ParameterSet* record_ = nullptr;  // what the field and renderer run: the app's record or ownRecord_
  std::unique_ptr<WaveField> field_;
  bool fieldPrepared_ = false;
  RandomGenerator random_;
  DesktopSnapshot snapshot_;
  std::shared_ptr<const Image> picture_;  // the run's picture, where this screen shows it
  std::unique_ptr<Renderer> renderer_;
  bool deviceWanted_ = false;
  bool deviceAttempted_ = false;
  uint32_t lastDeviceAttempt_ = 0;
};

}  // namespace lumar
