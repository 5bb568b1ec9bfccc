// An IDirect3D9 that forwards every call to a real one; tests override what they control. It is owned by
// the test: AddRef and Release do not count.
#pragma once

#include <d3d9.h>
#include <windows.h>

namespace lumar::test {

class ForwardingDirect3D : public IDirect3D9 {
 public:
  explicit ForwardingDirect3D(IDirect3D9* real) : real_(real) {}
  virtual ~ForwardingDirect3D() = default;
  IDirect3D9* real() const { return real_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return real_->QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void* function) override {
    return real_->RegisterSoftwareDevice(function);
  }
  UINT STDMETHODCALLTYPE GetAdapterCount() override { return real_->GetAdapterCount(); }
  HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT adapter, DWORD flags,
                                                 D3DADAPTER_IDENTIFIER9* id) override {
    return real_->GetAdapterIdentifier(adapter, flags, id);
  }
  UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
    return real_->GetAdapterModeCount(adapter, format);
  }
  HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                             D3DDISPLAYMODE* out) override {
    return real_->EnumAdapterModes(adapter, format, mode, out);
  }
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    return real_->GetAdapterDisplayMode(adapter, mode);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT back,
                                            WINBOOL windowed) override {
    return real_->CheckDeviceType(adapter, type, display, back, windowed);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              DWORD usage, D3DRESOURCETYPE resource,
                                              D3DFORMAT format) override {
    return real_->CheckDeviceFormat(adapter, type, adapterFormat, usage, resource, format);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                                                       WINBOOL windowed, D3DMULTISAMPLE_TYPE samples,
                                                       DWORD* quality) override {
    return real_->CheckDeviceMultiSampleType(adapter, type, format, windowed, samples, quality);
  }
  HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                   D3DFORMAT target, D3DFORMAT depth) override {
    return real_->CheckDepthStencilMatch(adapter, type, adapterFormat, target, depth);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE type, D3DFORMAT source,
                                                        D3DFORMAT target) override {
    return real_->CheckDeviceFormatConversion(adapter, type, source, target);
  }
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    return real_->GetDeviceCaps(adapter, type, caps);
  }
  HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT adapter) override {
    return real_->GetAdapterMonitor(adapter);
  }
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                                         D3DPRESENT_PARAMETERS* parameters,
                                         IDirect3DDevice9** device) override {
    return real_->CreateDevice(adapter, type, window, flags, parameters, device);
  }

 private:
  IDirect3D9* real_;
};

// Reports smaller device limits than the real adapter's (a field left at 0 keeps the real value), and
// counts the devices asked for.
class LimitedDirect3D : public ForwardingDirect3D {
 public:
  using ForwardingDirect3D::ForwardingDirect3D;
  DWORD maxTextureWidth = 0;
  DWORD maxTextureHeight = 0;
  DWORD maxVertexIndex = 0;
  int devicesCreated = 0;

  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    const HRESULT hr = real()->GetDeviceCaps(adapter, type, caps);
    if (SUCCEEDED(hr)) {
      if (maxTextureWidth) caps->MaxTextureWidth = maxTextureWidth;
      if (maxTextureHeight) caps->MaxTextureHeight = maxTextureHeight;
      if (maxVertexIndex) caps->MaxVertexIndex = maxVertexIndex;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                                         D3DPRESENT_PARAMETERS* parameters,
                                         IDirect3DDevice9** device) override {
    ++devicesCreated;
    return real()->CreateDevice(adapter, type, window, flags, parameters, device);
  }
};

}  // namespace lumar::test
