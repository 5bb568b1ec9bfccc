// The Direct3D 9 device, its resources and the drawing of a frame.
#include "render/renderer_win32.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_box_win32.h"
#include "platform/texture_loader_win32.h"
#include "render/camera.h"
#include "render/device_limits_win32.h"
#include "render/frame_rate.h"
#include "render/orange_bar_win32.h"
#include "render/surface_mesh.h"
#include "render/text_overlay_win32.h"
#include "render/vertex_fill.h"
#include "render/water_cycle.h"
#include "resource_ids.h"
#include "wavefield/worker_pool.h"

namespace lumar {

namespace {

template <typename T>
void ReleaseAndClear(T*& object) {
  // Cleared first: a Release that sends messages (a full-screen device restoring the mode) may lead
  // back here.
  if (T* held = object) {
    object = nullptr;
    held->Release();
  }
}

D3DCOLORVALUE Color(float r, float g, float b, float a) { return D3DCOLORVALUE{r, g, b, a}; }

const D3DMATRIX* AsD3D(const Matrix4& m) { return reinterpret_cast<const D3DMATRIX*>(&m); }

constexpr DWORD kClearColor = 0xFF0A0A32;
constexpr DWORD kFrameRateColor = 0xFF00FF00;
constexpr float kFrameRateX = 20.0f;
constexpr float kFrameRateY = 20.0f;

}  // namespace

struct Renderer::Impl {
  RenderContext context;
  DeviceFactory factory;
  FrameReader frameReader;

  IDirect3DDevice9* device = nullptr;
  D3DPRESENT_PARAMETERS presentParameters{};
  IDirect3DTexture9* pictureTexture = nullptr;
  IDirect3DVertexBuffer9* surfaceVertexBuffer = nullptr;
  IDirect3DIndexBuffer9* surfaceIndexBuffer = nullptr;
  IDirect3DVertexBuffer9* backdropVertexBuffer = nullptr;
  D3DMATERIAL9 surfaceMaterial{};
  uint32_t resourcesCreatedTime = 0;
  bool resourcesReady = false;  // every object of CreateResources exists

  std::unique_ptr<OrangeBarRenderer> orangeBar;
  std::unique_ptr<TextOverlay> textOverlay;

  SurfaceMeshLayout layout;
  WaterCycle water;

  uint32_t framesDrawn = 0;
  FrameRateCounter frameRate;

  // Reset's failures since it last succeeded: since when, and whether the device is beyond any Reset.
  bool resetFailing = false;
  uint32_t resetFailingSince = 0;
  bool beyondReset = false;

  Renderer* owner;

  Impl(Renderer* o, const RenderContext& c) : context(c), owner(o) {}

  const ParameterSet& record() const { return *context.record; }
  bool aquarium() const { return record().effect == kEffectAquarium; }
  bool obliqueView() const { return aquarium() || record().view == kViewBottom; }
  bool showsOrangeBar() const { return record().effect == kEffectBasis && record().showOrangeBar != 0; }
  // The control panel's preview never shows the frame rate, whatever the record says.
  bool showsFrameRate() const { return record().showFps != 0 && !context.preview; }
  bool largeMode() const { return IsLargeMode(record().screenWidth); }
  uint32_t Now() const { return context.clock->Now(); }

  HRESULT MakeDevice(IDirect3D9* direct3d, UINT adapter, HWND focusWindow, DWORD behaviorFlags);
  void SetFullScreenParameters(UINT width, UINT height, D3DFORMAT format, UINT refresh, HWND window,
                               UINT interval = D3DPRESENT_INTERVAL_IMMEDIATE);
  void SetWindowedParameters(HWND window);
  // Whether the device of `adapter` can draw the grid; told to the user only for the primary.
  HRESULT CheckGrid(IDirect3D9* direct3d, UINT adapter, bool tellUser);
  // Steps 3-5 of a creation: render states, water level, resources.
  HRESULT FinishDeviceCreation();
  HRESULT CreatePictureTexture();
  // The levels of the picture's and the bar's textures: no mip filter is ever set, so only level 0 is
  // sampled; the preview, which makes them again as its record changes, uploads that one alone (the same
  // pixels on the screen), the saver the full chain.
  UINT PictureLevels() const { return context.preview ? 1 : 0; }
  HRESULT UploadSnapshot();
  HRESULT FlipLevelZero();
  void CreateOrangeBar();
  HRESULT CreateBackdrop();
  // The water-level cycle runs from device creation; without the Aquarium the sheet stays full.
  void StartWater();
  void SetScene();
  void SetCamera(const CameraTransforms& camera);
  void SetRenderStates();
  void RecordResetFailure(HRESULT hr);
};

void Renderer::Impl::RecordResetFailure(HRESULT hr) {
  // A lost device (or one short of memory for the moment) may be reset later; any other error (an
  // internal driver error, a device removed, parameters refused) will not go away by trying again.
  if (hr != D3DERR_DEVICELOST && hr != D3DERR_OUTOFVIDEOMEMORY && hr != E_OUTOFMEMORY) beyondReset = true;
  if (!resetFailing) {
    resetFailing = true;
    resetFailingSince = Now();
  }
  if (Now() - resetFailingSince >= kResetGiveUpMs) beyondReset = true;
}

Renderer::Renderer(const RenderContext& context) : impl_(new Impl(this, context)) {
  // The field's arithmetic on the run's worker threads (the engine uses them only on large grids); the
  // preview keeps to the one thread.
  if (context.field && !context.preview) context.field->engine.UsePool(context.workers);
}

Renderer::~Renderer() {
  ReleaseDevice(false);
  delete impl_;
}

void Renderer::SetDeviceFactory(DeviceFactory factory) { impl_->factory = std::move(factory); }

void Renderer::SetFrameReader(FrameReader reader) { impl_->frameReader = std::move(reader); }

IDirect3DDevice9* Renderer::device() const { return impl_->device; }

bool Renderer::fullScreen() const { return impl_->device && !impl_->presentParameters.Windowed; }

uint32_t Renderer::framesDrawn() const { return impl_->framesDrawn; }

bool Renderer::pictureTextured() const { return impl_->pictureTexture != nullptr; }

bool Renderer::needsNewDevice() const { return impl_->device && impl_->beyondReset; }

HRESULT Renderer::Impl::MakeDevice(IDirect3D9* direct3d, UINT adapter, HWND focusWindow,
                                   DWORD behaviorFlags) {
  // Without it the device would set the thread's x87 precision to single, and every library call of a
  // frame (camera, orange bar) would lose its double precision.
  behaviorFlags |= D3DCREATE_FPU_PRESERVE;
  HRESULT hr = E_FAIL;
  if (direct3d) {
    if (factory) {
      hr = factory(direct3d, focusWindow, behaviorFlags, presentParameters, &device);
    } else {
      hr = direct3d->CreateDevice(adapter, D3DDEVTYPE_HAL, focusWindow, behaviorFlags, &presentParameters,
                                  &device);
    }
  }
  if (FAILED(hr) || !device) {
    device = nullptr;
    return FAILED(hr) ? hr : E_FAIL;
  }
  return S_OK;
}

void Renderer::Impl::SetFullScreenParameters(UINT width, UINT height, D3DFORMAT format, UINT refresh,
                                             HWND window, UINT interval) {
  SetWindowedParameters(window);
  D3DPRESENT_PARAMETERS& pp = presentParameters;
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = format;
  pp.BackBufferCount = 1;
  pp.MultiSampleType = D3DMULTISAMPLE_NONE;
  pp.Windowed = FALSE;
  pp.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
  pp.FullScreen_RefreshRateInHz = refresh;
  pp.PresentationInterval = interval;
}

void Renderer::Impl::SetWindowedParameters(HWND window) {
  D3DPRESENT_PARAMETERS& pp = presentParameters;
  pp = D3DPRESENT_PARAMETERS{};
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D16;
  pp.hDeviceWindow = window;
  pp.Windowed = TRUE;
}

HRESULT Renderer::CreateRenderDevice(IDirect3D9* direct3d, HWND window, bool tellUser) {
  Impl& r = *impl_;
  const ParameterSet& record = r.record();
  r.layout =
      DescribeSurfaceMesh(r.context.field->constants.gridCellsX, r.context.field->constants.gridCellsY);

  // 1. Presentation: the preview follows its window and the desktop; full screen takes the chosen mode.
  if (r.context.preview) {
    r.SetWindowedParameters(nullptr);
  } else {
    r.SetFullScreenParameters(
        record.screenWidth, record.screenHeight, static_cast<D3DFORMAT>(record.screenFormat),
        record.screenRefresh, window,
        r.context.presentOnRetrace ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE);
  }

  // A grid the device could not draw is refused before the device exists: a full-screen device would
  // change the screen mode and hide the message behind it.
  if (direct3d && FAILED(r.CheckGrid(direct3d, D3DADAPTER_DEFAULT, tellUser))) return E_FAIL;

  // 2. The device.
  if (FAILED(r.MakeDevice(direct3d, D3DADAPTER_DEFAULT, window, record.deviceBehaviorFlags))) {
    if (tellUser) ShowMessage("Unable to create render device!", MB_OK);
    return E_FAIL;
  }
  return r.FinishDeviceCreation();
}

HRESULT Renderer::CreateMonitorDevice(IDirect3D9* direct3d, HWND window, UINT adapter, HWND focusWindow,
                                      bool fullScreenAllowed) {
  Impl& r = *impl_;
  const ParameterSet& record = r.record();
  r.layout =
      DescribeSurfaceMesh(r.context.field->constants.gridCellsX, r.context.field->constants.gridCellsY);
  if (!direct3d) return E_FAIL;
  const UINT checked = adapter < direct3d->GetAdapterCount() ? adapter : D3DADAPTER_DEFAULT;
  if (FAILED(r.CheckGrid(direct3d, checked, false))) return E_FAIL;
  const DWORD flags = record.deviceBehaviorFlags;

  // Full screen only in the mode the monitor is in (an adapter that reports no usable mode is skipped).
  D3DDISPLAYMODE mode{};
  const bool fullScreen = fullScreenAllowed && adapter < direct3d->GetAdapterCount() &&
                          SUCCEEDED(direct3d->GetAdapterDisplayMode(adapter, &mode)) &&
                          mode.Width == record.screenWidth && mode.Height == record.screenHeight;
  if (fullScreen) {
    r.SetFullScreenParameters(mode.Width, mode.Height, mode.Format, mode.RefreshRate, window);
    if (SUCCEEDED(r.MakeDevice(direct3d, adapter, focusWindow, flags))) return r.FinishDeviceCreation();
  }
  r.SetWindowedParameters(window);
  r.presentParameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  if (adapter < direct3d->GetAdapterCount() && SUCCEEDED(r.MakeDevice(direct3d, adapter, focusWindow, flags)))
    return r.FinishDeviceCreation();
  if (adapter == D3DADAPTER_DEFAULT) return E_FAIL;
  r.SetWindowedParameters(window);
  r.presentParameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  if (FAILED(r.MakeDevice(direct3d, D3DADAPTER_DEFAULT, focusWindow, flags))) return E_FAIL;
  return r.FinishDeviceCreation();
}

HRESULT Renderer::Impl::CheckGrid(IDirect3D9* direct3d, UINT adapter, bool tellUser) {
  // Grids beyond 65536 vertices need 32-bit indices, which not every device can draw.
  if (layout.empty()) {
    if (tellUser) ShowMessage("This screen mode is too large for the saver.", MB_OK | MB_ICONINFORMATION);
    return E_FAIL;
  }
  if (layout.indexWidth == IndexWidth::Bits32) {
    const DeviceLimits limits = QueryDeviceLimits(direct3d, adapter);
    if (!limits.known || limits.maxVertexIndex < layout.vertexCount - 1) {
      if (tellUser)
        ShowMessage("This screen mode is too large for the display adapter: choose a smaller mode.",
                    MB_OK | MB_ICONINFORMATION);
      return E_FAIL;
    }
  }
  return S_OK;
}

HRESULT Renderer::Impl::FinishDeviceCreation() {
  // 3. The few render states the saver relies on.
  SetRenderStates();

  // 4. The water-level cycle.
  StartWater();

  // 5. Resources.
  return FAILED(owner->CreateResources()) ? E_FAIL : S_OK;
}

HRESULT Renderer::Impl::UploadSnapshot() {
  const RunConstants& run = context.field->constants;
  const UINT size = static_cast<UINT>(run.pictureTextureSize);
  const D3DFORMAT format = run.snapshotBitsPerPixel == 16 ? D3DFMT_A1R5G5B5 : D3DFMT_A8R8G8B8;
  HRESULT hr = device->CreateTexture(size, size, 1, 0, format, D3DPOOL_MANAGED, &pictureTexture, nullptr);
  if (FAILED(hr)) {
    pictureTexture = nullptr;
    return hr;
  }
  D3DLOCKED_RECT locked{};
  if (FAILED(pictureTexture->LockRect(0, &locked, nullptr, 0))) return E_FAIL;
  // The texture's first row is the snapshot's bottom row; rows go at the texture's own pitch.
  context.snapshot->CopyRows(locked.pBits, locked.Pitch);
  pictureTexture->UnlockRect(0);
  return S_OK;
}

HRESULT Renderer::Impl::FlipLevelZero() {
  D3DSURFACE_DESC desc{};
  if (FAILED(pictureTexture->GetLevelDesc(0, &desc))) return E_FAIL;
  D3DLOCKED_RECT locked{};
  if (FAILED(pictureTexture->LockRect(0, &locked, nullptr, 0))) return E_FAIL;
  auto* bits = static_cast<uint8_t*>(locked.pBits);
  const size_t rowBytes = static_cast<size_t>(desc.Width) * 4;
  std::vector<uint8_t> row(rowBytes);
  for (UINT top = 0, bottom = desc.Height - 1; top < desc.Height / 2; ++top, --bottom) {
    uint8_t* a = bits + static_cast<size_t>(top) * locked.Pitch;
    uint8_t* b = bits + static_cast<size_t>(bottom) * locked.Pitch;
    std::memcpy(row.data(), a, rowBytes);
    std::memcpy(a, b, rowBytes);
    std::memcpy(b, row.data(), rowBytes);
  }
  pictureTexture->UnlockRect(0);
  return S_OK;
}

HRESULT Renderer::Impl::CreatePictureTexture() {
  switch (context.field->constants.texture) {
    case kTextureDesktop:
      return UploadSnapshot();
    case kTextureMetal:
    case kTextureSky: {
      // A built-in picture that cannot be loaded leaves the surface untextured.
      const int id = context.field->constants.texture == kTextureMetal ? IDR_PICTURE_METAL : IDR_PICTURE_SKY;
      if (FAILED(CreateTextureFromResource(device, context.instance, id, D3DFMT_X8R8G8B8, &pictureTexture,
                                           PictureLevels())))
        pictureTexture = nullptr;
      return S_OK;
    }
    default: {
      // The user's picture as the start-up check decoded it, kept for the run; without it the file is
      // read, and if it has gone bad, the surface is drawn untextured rather than the saver ended.
      const Image* decoded = context.userPicture;
      HRESULT hr = E_FAIL;
      if (decoded && !decoded->pixels.empty()) {
        hr = CreateTextureFromImage(device, *decoded, D3DFMT_X8R8G8B8, PictureLevels(), &pictureTexture);
      } else {
        hr = CreateTextureFromFile(device, record().textureFile, D3DFMT_X8R8G8B8, &pictureTexture,
                                   PictureLevels());
      }
      if (FAILED(hr)) {
        pictureTexture = nullptr;
        return S_OK;
      }
      // The picture's first row must be its bottom row, as for the desktop picture.
      return FlipLevelZero();
    }
  }
}

// What the record decides of the scene besides the resources: material (its specular fade starts again),
// light and camera.
void Renderer::Impl::SetScene() {
  // Material: white diffuse and specular, a grey ambient; the specular power fades in RenderFrame.
  surfaceMaterial = D3DMATERIAL9{};
  surfaceMaterial.Diffuse = Color(1, 1, 1, 1);
  surfaceMaterial.Ambient = Color(0.7f, 0.7f, 0.7f, 1);
  surfaceMaterial.Specular = Color(1, 1, 1, 1);
  surfaceMaterial.Power = 60;
  device->SetMaterial(&surfaceMaterial);

  // One white point light.
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_POINT;
  light.Diffuse = Color(1, 1, 1, 0);
  light.Specular = Color(1, 1, 1, 0);
  light.Ambient = Color(1, 1, 1, 0);
  light.Attenuation0 = 1;
  if (obliqueView()) {
    light.Position = D3DVECTOR{7, 10, 0};
    light.Range = 20000;
  } else {
    light.Position = D3DVECTOR{100, 0, -50};
    light.Range = 2000;
  }
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);

  // The camera.
  if (obliqueView()) {
    SetCamera(ObliqueCameraStep(*context.field, water, *context.clock));
  } else {
    SetCamera(SetTopCamera(record()));
  }

  // The specular fade starts now.
  resourcesCreatedTime = Now();
}

HRESULT Renderer::Impl::CreateBackdrop() {
  if (FAILED(device->CreateVertexBuffer(kBackdropVertexCount * kSurfaceVertexStride, 0, kSurfaceVertexFormat,
                                        D3DPOOL_DEFAULT, &backdropVertexBuffer, nullptr))) {
    backdropVertexBuffer = nullptr;
    return E_FAIL;
  }
  void* quad = nullptr;
  if (FAILED(backdropVertexBuffer->Lock(0, kBackdropVertexCount * kSurfaceVertexStride, &quad, 0)))
    return E_FAIL;
  BuildBackdropQuad(static_cast<SurfaceVertex*>(quad), kBackdropVertexCount);
  backdropVertexBuffer->Unlock();
  return S_OK;
}

void Renderer::Impl::StartWater() {
  // The water-level cycle runs from device creation; without the Aquarium the sheet stays full.
  if (aquarium()) {
    StartWaterCycle(water, Now());
  } else {
    context.field->waterLevel = 1.0f;
  }
}

void Renderer::Impl::CreateOrangeBar() {
  // Without its picture it simply draws nothing.
  if (orangeBar) {
    orangeBar->ReleaseBarResources();
    orangeBar.reset();
  }
  if (!showsOrangeBar()) return;
  orangeBar = std::make_unique<OrangeBarRenderer>(BarSizeFor(record().screenWidth), record(), *context.field);
  orangeBar->CreateBarResources(device, context.instance, IDR_PICTURE_BAR, PictureLevels());
}

// Everything else keeps Direct3D's defaults. A reset returns every state to its default, so these are
// set again after each one.
void Renderer::Impl::SetRenderStates() {
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_CLIPPING, TRUE);
}

void Renderer::Impl::SetCamera(const CameraTransforms& camera) {
  device->SetTransform(D3DTS_WORLD, AsD3D(camera.world));
  device->SetTransform(D3DTS_VIEW, AsD3D(camera.view));
  device->SetTransform(D3DTS_PROJECTION, AsD3D(camera.projection));
}

HRESULT Renderer::CreateResources() {
  Impl& r = *impl_;
  if (!r.device) return E_FAIL;
  r.resourcesReady = false;
  IDirect3DDevice9* device = r.device;

  // 1. The orange bar.
  r.CreateOrangeBar();

  // 2. The text overlay, only where the frame rate shows; a failed overlay draws nothing useful but stops
  // nothing.
  if (r.showsFrameRate()) {
    r.textOverlay = r.largeMode() ? std::make_unique<TextOverlay>("Arial", 15, kTextBold)
                                  : std::make_unique<TextOverlay>("Arial", 10, 0);
    r.textOverlay->InitDeviceObjects(device);
    r.textOverlay->RestoreDeviceObjects();
  }

  // 3. The picture.
  HRESULT hr = r.CreatePictureTexture();
  if (FAILED(hr)) return hr;

  // 6. The surface vertices, rewritten every frame.
  if (FAILED(device->CreateVertexBuffer(r.layout.VertexBufferBytes(), D3DUSAGE_DYNAMIC, kSurfaceVertexFormat,
                                        D3DPOOL_DEFAULT, &r.surfaceVertexBuffer, nullptr))) {
    r.surfaceVertexBuffer = nullptr;
    return E_FAIL;
  }

  // 7. The surface indices, written once.
  const bool wide = r.layout.indexWidth == IndexWidth::Bits32;
  if (FAILED(device->CreateIndexBuffer(r.layout.IndexBufferBytes(), 0, wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                       D3DPOOL_MANAGED, &r.surfaceIndexBuffer, nullptr))) {
    r.surfaceIndexBuffer = nullptr;
    return E_FAIL;
  }
  void* indices = nullptr;
  if (FAILED(r.surfaceIndexBuffer->Lock(0, 0, &indices, 0))) return E_FAIL;
  const bool built =
      wide ? BuildSurfaceIndices(r.layout, static_cast<uint32_t*>(indices), r.layout.indexCount)
           : BuildSurfaceIndices(r.layout, static_cast<uint16_t*>(indices), r.layout.indexCount);
  r.surfaceIndexBuffer->Unlock();
  if (!built) return E_FAIL;

  // 8. The Aquarium's backdrop.
  if (r.aquarium() && FAILED(r.CreateBackdrop())) return E_FAIL;

  // 9. Material, light and camera.
  r.SetScene();
  r.resourcesReady = true;
  return S_OK;
}

HRESULT Renderer::FollowRecord(bool newPicture) {
  Impl& r = *impl_;
  if (!r.device) return E_FAIL;
  if (!r.resourcesReady) {
    ReleaseResources();
    return CreateResources();
  }
  r.resourcesReady = false;
  if (!r.showsOrangeBar() || !r.orangeBar ||
      !r.orangeBar->FollowRecord(BarSizeFor(r.record().screenWidth), r.record()))
    r.CreateOrangeBar();
  if (newPicture) {
    ReleaseAndClear(r.pictureTexture);
    const HRESULT hr = r.CreatePictureTexture();
    if (FAILED(hr)) return hr;
  }
  r.SetScene();
  r.resourcesReady = true;
  return S_OK;
}

HRESULT Renderer::Restart() {
  Impl& r = *impl_;
  if (!r.device) return E_FAIL;
  if (!r.resourcesReady) {
    ReleaseResources();
    return r.FinishDeviceCreation();
  }
  // The render states stay as the device's creation set them; the picture and the surface's buffers do
  // not depend on the effect.
  r.StartWater();
  if (!r.aquarium()) {
    ReleaseAndClear(r.backdropVertexBuffer);
  } else if (!r.backdropVertexBuffer && FAILED(r.CreateBackdrop())) {
    r.resourcesReady = false;  // made again by the next frame's check
    return E_FAIL;
  }
  return FollowRecord(false);
}

void Renderer::ReleaseResources() {
  Impl& r = *impl_;
  r.resourcesReady = false;
  if (r.orangeBar) {
    r.orangeBar->ReleaseBarResources();
    r.orangeBar.reset();
  }
  if (r.textOverlay) {
    r.textOverlay->DeleteDeviceObjects();
    r.textOverlay.reset();
  }
  ReleaseAndClear(r.pictureTexture);
  ReleaseAndClear(r.surfaceVertexBuffer);
  ReleaseAndClear(r.surfaceIndexBuffer);
  ReleaseAndClear(r.backdropVertexBuffer);
}

void Renderer::ReleaseDevice(bool discardSnapshot) {
  ReleaseResources();
  if (discardSnapshot && impl_->context.snapshot) impl_->context.snapshot->Release();
  ReleaseAndClear(impl_->device);
  impl_->resetFailing = false;
  impl_->beyondReset = false;
}

bool Renderer::PrepareFrame() {
  Impl& r = *impl_;
  if (!r.device) return false;
  if (r.beyondReset) return false;  // waits for its owner to make a new one
  const HRESULT state = r.device->TestCooperativeLevel();
  if (state == D3DERR_DEVICELOST) return false;
  if (SUCCEEDED(state)) r.resetFailing = false;  // back without a Reset of ours
  if (FAILED(state) && state != D3DERR_DEVICENOTRESET) {
    r.beyondReset = true;  // an internal driver error: no Reset brings it back
    return false;
  }
  if (state == D3DERR_DEVICENOTRESET) {
    ReleaseResources();
    const HRESULT reset = r.device->Reset(&r.presentParameters);
    if (FAILED(reset)) {
      r.RecordResetFailure(reset);  // tried again next step, or given up
      return false;
    }
    r.resetFailing = false;
    r.SetRenderStates();
    if (FAILED(CreateResources())) return false;
    return true;
  }
  if (!r.resourcesReady) {
    // A creation after a reset failed: drop what was made and try again; draw only with everything.
    ReleaseResources();
    if (FAILED(CreateResources())) return false;
  }
  return true;
}

void Renderer::RenderFrame(float frameTime) {
  Impl& r = *impl_;
  if (!r.device || !r.resourcesReady) return;
  IDirect3DDevice9* device = r.device;
  const RunConstants& run = r.context.field->constants;

  // The frame's field arithmetic, before the scene and the vertex buffer's lock: the fill only writes.
  SumSurfaceField(*r.context.field);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColor, 1.0f, 0);
  device->BeginScene();

  if (r.aquarium()) {
    // The backdrop, under the view and projection the previous camera step left.
    device->SetTexture(0, r.pictureTexture);
    device->SetTransform(D3DTS_WORLD, AsD3D(BackdropWorldTransform(run)));
    device->SetStreamSource(0, r.backdropVertexBuffer, 0, kSurfaceVertexStride);
    device->SetFVF(kSurfaceVertexFormat);
    r.surfaceMaterial.Ambient = Color(1, 1, 1, 1);
    device->SetMaterial(&r.surfaceMaterial);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    // The camera step moves the water level and restores the surface's transforms.
    r.SetCamera(ObliqueCameraStep(*r.context.field, r.water, *r.context.clock));
  }

  // The surface vertices from the wave field.
  void* vertices = nullptr;
  if (SUCCEEDED(r.surfaceVertexBuffer->Lock(0, 0, &vertices, 0))) {
    WriteSurfaceVertices(*r.context.field, static_cast<SurfaceVertex*>(vertices), r.layout.vertexCount);
    r.surfaceVertexBuffer->Unlock();
  }

  // The specular highlight fades from power 60 to 20 over the first ten seconds after each creation.
  if (r.surfaceMaterial.Power > 20) {
    const uint32_t elapsed = r.Now() - r.resourcesCreatedTime;
    r.surfaceMaterial.Power = 60 - static_cast<float>(elapsed) * 0.0002f * 20;
    device->SetMaterial(&r.surfaceMaterial);
  }

  device->SetTexture(0, r.pictureTexture);
  device->SetStreamSource(0, r.surfaceVertexBuffer, 0, kSurfaceVertexStride);
  device->SetFVF(kSurfaceVertexFormat);
  device->SetIndices(r.surfaceIndexBuffer);
  if (r.aquarium()) {
    r.surfaceMaterial.Ambient = Color(0, 0, 1, 1);
    r.surfaceMaterial.Specular = Color(0, 0, 1, 1);
    device->SetMaterial(&r.surfaceMaterial);
  }
  device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, r.layout.vertexCount, 0, r.layout.triangleCount);
  ++r.framesDrawn;

  if (r.showsFrameRate()) {
    r.frameRate.Update(r.Now(), r.framesDrawn);
    r.textOverlay->DrawText(kFrameRateX, kFrameRateY, kFrameRateColor,
                            FormatFrameRate(r.frameRate.value()).c_str());
  }

  // The bar draws where the previous frame's step put it, then moves on for the next frame.
  if (r.orangeBar) {
    r.orangeBar->DrawBar();
    r.orangeBar->AnimateBar(frameTime);
  }

  device->EndScene();
  if (r.frameReader) r.frameReader(device);
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace lumar
