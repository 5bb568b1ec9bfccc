// A real Direct3D 9 device in a window of the test's display, behind a test double that reads every
// frame back before it is presented and can report device loss on demand; and the run objects the
// renderer reads (record, wave field, snapshot, clock).
#pragma once

#include <d3d9.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/millisecond_clock.h"
#include "render/desktop_snapshot_win32.h"
#include "render/device_limits_win32.h"
#include "render/forwarding_device_win32.h"
#include "render/forwarding_direct3d_win32.h"
#include "render/renderer_win32.h"
#include "settings/parameter_set.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_field.h"

namespace lumar::test {

// A frame as read back: 0xAARRGGBB words, top row first. Empty when none was presented; a frame that
// was presented but could not be read back fails the test where it happens, so that an empty frame always
// means "nothing drawn".
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  bool readBackFailed = false;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The next call of this kind fails: creations with E_OUTOFMEMORY, Reset with D3DERR_DEVICELOST.
enum class FailingCall { kNone, kCreateTexture, kCreateVertexBuffer, kCreateIndexBuffer, kReset };

class TestDevice : public ForwardingDevice {
 public:
  explicit TestDevice(IDirect3DDevice9* real) : ForwardingDevice(real) {}

  // What TestCooperativeLevel reports until changed; a successful Reset makes the device usable again.
  HRESULT cooperativeLevel = D3D_OK;
  FailingCall failNext = FailingCall::kNone;
  bool captureFrames = true;

  int presents = 0;
  int resets = 0;
  int draws = 0;  // DrawIndexedPrimitive calls: the surface
  Frame lastFrame;

  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return cooperativeLevel; }

  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override {
    if (Fails(FailingCall::kReset)) return D3DERR_DEVICELOST;
    const HRESULT hr = real()->Reset(parameters);
    if (SUCCEEDED(hr)) {
      ++resets;
      cooperativeLevel = D3D_OK;
    }
    return hr;
  }

  HRESULT STDMETHODCALLTYPE Present(const RECT* source, const RECT* destination, HWND window,
                                    const RGNDATA* dirty) override {
    ++presents;
    if (captureFrames) ReadBackBuffer();
    const HRESULT hr = real()->Present(source, destination, window, dirty);
    if (onPresent) onPresent();
    return hr;
  }
  // Runs after every Present (a test ends its loop there).
  std::function<void()> onPresent;

  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                                                 UINT vertexCount, UINT startIndex,
                                                 UINT primitiveCount) override {
    ++draws;
    return real()->DrawIndexedPrimitive(type, baseVertex, minIndex, vertexCount, startIndex, primitiveCount);
  }

  HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool, IDirect3DTexture9** texture,
                                          HANDLE* shared) override {
    // Only the picture's texture: the overlay and the bar make smaller ones first, and ignore failures.
    if (width >= 1024 && height >= 1024 && Fails(FailingCall::kCreateTexture)) return E_OUTOFMEMORY;
    return real()->CreateTexture(width, height, levels, usage, format, pool, texture, shared);
  }

  HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override {
    if (length >= kSurfaceBufferBytes && Fails(FailingCall::kCreateVertexBuffer)) return E_OUTOFMEMORY;
    return real()->CreateVertexBuffer(length, usage, fvf, pool, buffer, shared);
  }

  HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override {
    if (length >= kSurfaceBufferBytes && Fails(FailingCall::kCreateIndexBuffer)) return E_OUTOFMEMORY;
    return real()->CreateIndexBuffer(length, usage, format, pool, buffer, shared);
  }

 private:
  // Failures hit the surface's buffers only: the overlay's and the bar's are a few kilobytes, made
  // earlier, and their failures are ignored by design.
  static constexpr UINT kSurfaceBufferBytes = 32768;

  bool Fails(FailingCall call) {
    if (failNext != call) return false;
    failNext = FailingCall::kNone;
    return true;
  }

  // The back buffer through a system-memory copy, as it stands before Present.
  void ReadBackBuffer() {
    lastFrame = Frame{};
    lastFrame.readBackFailed = true;  // until the copy is made
    IDirect3DSurface9* back = nullptr;
    if (FAILED(real()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back))) {
      ADD_FAILURE() << "a presented frame could not be read back (GetBackBuffer)";
      return;
    }
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    if (SUCCEEDED(real()->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                      &copy, nullptr)) &&
        SUCCEEDED(real()->GetRenderTargetData(back, copy))) {
      D3DLOCKED_RECT locked{};
      if (SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        lastFrame.width = static_cast<int>(desc.Width);
        lastFrame.height = static_cast<int>(desc.Height);
        lastFrame.pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y) {
          const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                              static_cast<size_t>(y) * locked.Pitch);
          for (UINT x = 0; x < desc.Width; ++x)
            lastFrame.pixels[static_cast<size_t>(y) * desc.Width + x] = row[x] | 0xFF000000u;
        }
        copy->UnlockRect();
        lastFrame.readBackFailed = false;
      }
    }
    if (lastFrame.readBackFailed) {
      lastFrame.pixels.clear();
      ADD_FAILURE() << "a presented frame could not be read back";
    }
    if (copy) copy->Release();
    back->Release();
  }
};

// A visible popup window at the screen's top-left corner, the device's window.
class DeviceWindow {
 public:
  DeviceWindow(int width, int height)
      : window_(CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr)) {}
  DeviceWindow(const DeviceWindow&) = delete;
  DeviceWindow& operator=(const DeviceWindow&) = delete;
  ~DeviceWindow() { DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// Everything a Renderer needs, with the record at the defaults, a windowed device (as in the preview)
// the size of the test display, and the clock standing still unless a test moves it.
class RenderRig {
 public:
  RenderRig() : field_(std::make_unique<WaveField>()) {
    ResetToDefaults(settings_);
    record().screenWidth = static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN));
    record().screenHeight = static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN));
    record().deviceBehaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    direct3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  }
  RenderRig(const RenderRig&) = delete;
  RenderRig& operator=(const RenderRig&) = delete;
  ~RenderRig() {
    Stop();
    snapshot_.Release();
    if (direct3d_) direct3d_->Release();
  }

  ParameterSet& record() { return settings_.parameters; }
  WaveField& field() { return *field_; }
  DesktopSnapshot& snapshot() { return snapshot_; }
  // The user's picture as start-up would hand it over, decoded (empty: none).
  Image& userPicture() { return userPicture_; }
  ManualClock& clock() { return clock_; }
  // The Direct3D object start-up would use: the real one, or the limiting double once Limit() was called.
  IDirect3D9* direct3d() const { return limited_ ? static_cast<IDirect3D9*>(limited_.get()) : direct3d_; }
  // Makes the adapter report smaller limits (set its fields before Start).
  LimitedDirect3D& Limit() {
    if (!limited_) limited_ = std::make_unique<LimitedDirect3D>(direct3d_);
    return *limited_;
  }
  Renderer& renderer() { return *renderer_; }
  TestDevice* device() const { return device_; }
  // The real device; the rig holds a reference of its own so that the last release can be counted.
  IDirect3DDevice9* realDevice() const { return realDevice_; }

  // The run set-up for the record, the snapshot for the Desktop picture, then the renderer and its
  // device in a new window. The device is the test double unless `plainDevice`. Returns the
  // CreateRenderDevice result (E_ABORT when the set-up itself failed).
  HRESULT Start(HINSTANCE pictures = GetModuleHandleA(nullptr), bool plainDevice = false) {
    const DesktopSize desktop{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const int maxTextureEdge = QueryDeviceLimits(direct3d()).LargestSquareTexture();
    if (PrepareWaveField(
            *field_, record(), desktop,
            [](const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; },
            maxTextureEdge) != SetupResult::Ok)
      return E_ABORT;
    if (record().texture == kTextureDesktop && !snapshot_.taken()) snapshot_.Take(field_->constants);
    window_ = std::make_unique<DeviceWindow>(static_cast<int>(record().screenWidth),
                                             static_cast<int>(record().screenHeight));
    RenderContext context;
    context.record = &settings_.parameters;
    context.field = field_.get();
    context.snapshot = &snapshot_;
    context.userPicture = &userPicture_;
    context.clock = &clock_;
    context.instance = pictures;
    context.preview = true;
    renderer_ = std::make_unique<Renderer>(context);
    renderer_->SetDeviceFactory([this, plainDevice](IDirect3D9* d3d, HWND window, DWORD flags,
                                                    D3DPRESENT_PARAMETERS& parameters,
                                                    IDirect3DDevice9** device) {
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr =
          d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &real);
      if (FAILED(hr)) return hr;
      realDevice_ = real;
      real->AddRef();
      if (plainDevice) {
        *device = real;
      } else {
        device_ = new TestDevice(real);
        *device = device_;
      }
      return hr;
    });
    return renderer_->CreateRenderDevice(direct3d(), window_->get());
  }

  // The renderer, its device and the window go; the snapshot stays. Returns the real device's reference
  // count after the rig's own last release: 0 when nothing else held on to it.
  ULONG Stop() {
    if (renderer_) renderer_->ReleaseDevice(false);
    renderer_.reset();
    device_ = nullptr;
    ULONG left = 0;
    if (realDevice_) left = realDevice_->Release();
    realDevice_ = nullptr;
    window_.reset();
    return left;
  }

  // References held on the real device other than the rig's own.
  ULONG RealDeviceReferences() const {
    if (!realDevice_) return 0;
    realDevice_->AddRef();
    return realDevice_->Release() - 1;
  }

  // One device check and, when it allows, one frame; the frame read back, empty when none was drawn.
  Frame DrawFrame() {
    if (device_) device_->lastFrame = Frame{};
    if (renderer_->PrepareFrame()) renderer_->RenderFrame(0.0f);
    return device_ ? device_->lastFrame : Frame{};
  }

 private:
  SettingsState settings_;
  std::unique_ptr<WaveField> field_;
  DesktopSnapshot snapshot_;
  Image userPicture_;
  ManualClock clock_{100000};
  IDirect3D9* direct3d_ = nullptr;
  std::unique_ptr<LimitedDirect3D> limited_;
  std::unique_ptr<DeviceWindow> window_;
  std::unique_ptr<Renderer> renderer_;
  TestDevice* device_ = nullptr;
  IDirect3DDevice9* realDevice_ = nullptr;
};

}  // namespace lumar::test
