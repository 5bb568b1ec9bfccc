// The Direct3D 9 device of a run and everything drawn with it: device creation, the device resources
// (picture texture, surface and backdrop buffers, material, light, camera, text overlay, orange bar),
// their release around a device reset, and the drawing of one frame.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "platform/image.h"
#include "platform/millisecond_clock.h"
#include "render/desktop_snapshot_win32.h"
#include "settings/parameter_set.h"
#include "wavefield/wave_field.h"
#include "wavefield/worker_pool.h"

namespace lumar {

// Creates the device; tests pass one that wraps the real device to report device loss on demand. It is
// given the focus window, and creates on the default adapter.
using DeviceFactory = std::function<HRESULT(IDirect3D9* direct3d, HWND window, DWORD behaviorFlags,
                                            D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** device)>;

// Called with the device after each frame is drawn and before it is presented, while the back buffer
// holds it (the configuration dialog's preview reads it back there).
using FrameReader = std::function<void(IDirect3DDevice9* device)>;

// What the renderer reads of the run; all owned by the caller and alive as long as the renderer.
struct RenderContext {
  const ParameterSet* record = nullptr;
  WaveField* field = nullptr;
  DesktopSnapshot* snapshot = nullptr;
  const MillisecondClock* clock = nullptr;
  HINSTANCE instance = nullptr;  // module holding the embedded pictures
  bool preview = false;          // windowed device in the control panel's preview
  // The user's picture as start-up decoded it; the first texture creation takes it (and empties it), later
  // ones read the file again. Optional.
  Image* userPicture = nullptr;
  // The run's worker threads for the field's arithmetic, made once and shared by every screen; null: the
  // one thread (the preview).
  std::shared_ptr<WorkerPool> workers;
};

class Renderer {
 public:
  explicit Renderer(const RenderContext& context);
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;
  ~Renderer();

  void SetDeviceFactory(DeviceFactory factory);
  void SetFrameReader(FrameReader reader);

  // The device for `window` and all its resources; shows "Unable to create render device!" when the
  // device cannot be made. 0 on success, E_FAIL on any failure.
  HRESULT CreateRenderDevice(IDirect3D9* direct3d, HWND window);
  // The device of a monitor other than the primary, quietly: full screen in the current mode of
  // `adapter` (the one that drives the monitor) with the primary's window as focus window, as Direct3D
  // wants of several devices beside a full-screen one, when `fullScreenAllowed` (the adapter is the
  // monitor's own and no other screen holds it); else windowed on that adapter, else windowed on the
  // default one. A windowed device presents at once, never waiting for its monitor's refresh, so that
  // no screen makes the others wait. The record's screen size is the monitor's. 0 on success, E_FAIL
  // when no device could be had; nothing is shown either way.
  HRESULT CreateMonitorDevice(IDirect3D9* direct3d, HWND window, UINT adapter, HWND focusWindow,
                              bool fullScreenAllowed = true);
  HRESULT CreateResources();
  void ReleaseResources();
  // Resources, then the snapshot when `discardSnapshot`, then the device.
  void ReleaseDevice(bool discardSnapshot);

  // The device check of a frame step: a lost device draws nothing; a device that can be reset gets its
  // resources released, is reset and gets them back. Resources that could not be made again are retried
  // on later steps, and no frame is drawn until they all exist. Returns whether a frame may be drawn.
  bool PrepareFrame();

  // Draws one frame and presents it. `frameTime` is the seconds since the run started.
  void RenderFrame(float frameTime);

  IDirect3DDevice9* device() const;
  // Whether the device holds its adapter exclusively (full screen).
  bool fullScreen() const;
  uint32_t framesDrawn() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace lumar
