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
  // The user's picture as start-up decoded it, kept for the run: every texture creation (the first, after
  // each reset, on a new device) uploads it again without reading the file. Optional; without it the file
  // is read.
  const Image* userPicture = nullptr;
  // The run's worker threads for the field's arithmetic, made once and shared by every screen; null: the
  // one thread (the preview).
  std::shared_ptr<WorkerPool> workers;
  // The full-screen device of CreateRenderDevice presents on its monitor's vertical retrace (no tearing,
  // no frame the monitor cannot show); false: at once, as fast as the loop draws.
  bool presentOnRetrace = true;
};

class Renderer {
 public:
  explicit Renderer(const RenderContext& context);
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;
  ~Renderer();

  void SetDeviceFactory(DeviceFactory factory);
  void SetFrameReader(FrameReader reader);

  // The device for `window` and all its resources, full screen presenting on the retrace unless the
  // context says otherwise; with `tellUser`, shows "Unable to create render device!" when the device
  // cannot be made. 0 on success, E_FAIL on any failure.
  HRESULT CreateRenderDevice(IDirect3D9* direct3d, HWND window, bool tellUser = true);
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
  // The record changed, the device stays: only what the change needs is made again. The orange bar,
  // material, light and camera always; the picture texture when `newPicture` (another texture or picture
  // file); the surface and backdrop buffers never. Everything when the resources were not all there.
  HRESULT FollowRecord(bool newPicture);
  // The run starts again on the same device, as on a new one (another effect): the water cycle starts
  // again, the Aquarium's backdrop is made or dropped, and the rest follows as by FollowRecord without a
  // new picture. Everything as after a creation when the resources were not all there.
  HRESULT Restart();
  // Resources, then the snapshot when `discardSnapshot`, then the device.
  void ReleaseDevice(bool discardSnapshot);

  // The device check of a frame step: a lost device draws nothing; a device that can be reset gets its
  // resources released, is reset and gets them back. Resources that could not be made again are retried
  // on later steps, and no frame is drawn until they all exist. Returns whether a frame may be drawn.
  bool PrepareFrame();
  // How long Reset may keep failing before the device is given up for a new one.
  static constexpr uint32_t kResetGiveUpMs = 3000;
  // Whether this device will not come back by Reset: Reset has failed for kResetGiveUpMs, or the device or
  // its Reset reported an error that no Reset cures. Its owner releases it and makes a new one.
  bool needsNewDevice() const;

  // Draws one frame and presents it. `frameTime` is the seconds since the run started.
  void RenderFrame(float frameTime);

  IDirect3DDevice9* device() const;
  // Whether the device holds its adapter exclusively (full screen).
  bool fullScreen() const;
  uint32_t framesDrawn() const;
  // Whether the picture texture exists (a picture that could not be had leaves the surface untextured).
  bool pictureTextured() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace lumar
