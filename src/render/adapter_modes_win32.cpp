// Adapter checks and mode enumeration on adapter 0, HAL device.
#include "render/adapter_modes_win32.h"

#include "platform/message_box_win32.h"

namespace lumar {

namespace {

// The full-screen checks of one format, over the real Direct3D object.
class Direct3DModeSource final : public ModeSource {
 public:
  explicit Direct3DModeSource(IDirect3D9* direct3d) : d3d_(direct3d) {}

  uint32_t ModeCount(int32_t format) override {
    return d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT, static_cast<D3DFORMAT>(format));
  }

  bool ModeAt(int32_t format, uint32_t index, DisplayMode& mode) override {
    D3DDISPLAYMODE m{};
    if (FAILED(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, static_cast<D3DFORMAT>(format), index, &m)))
      return false;
    mode = ToDisplayMode(m);
    return true;
  }

  bool SupportsFullScreen(int32_t format) override {
    const auto f = static_cast<D3DFORMAT>(format);
    return SUCCEEDED(d3d_->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, f, f, FALSE)) &&
           SUCCEEDED(d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, f, D3DUSAGE_DEPTHSTENCIL,
                                             D3DRTYPE_SURFACE, D3DFMT_D16)) &&
           SUCCEEDED(d3d_->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, f, f, D3DFMT_D16)) &&
           SUCCEEDED(d3d_->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, f, FALSE,
                                                      D3DMULTISAMPLE_NONE, nullptr));
  }

 private:
  IDirect3D9* d3d_;
};

HRESULT Refuse(const char* message) {
  ShowMessage(message, MB_OK | MB_ICONINFORMATION);
  return E_FAIL;
}

}  // namespace

DisplayMode ToDisplayMode(const D3DDISPLAYMODE& mode) {
  return DisplayMode{mode.Width, mode.Height, mode.RefreshRate, static_cast<int32_t>(mode.Format)};
}

DWORD BehaviorFlagsFor(const D3DCAPS9& caps) {
  return (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                         : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
}

HRESULT EnumerateAdapterModes(IDirect3D9* d3d, AdapterModes& modes) {
  if (!d3d) return E_FAIL;
  if (d3d->GetAdapterCount() == 0) return Refuse("In your system not found DirectX-compatible adapters");
  d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &modes.identifier);  // result deliberately ignored
  if (FAILED(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &modes.desktopMode)))
    return Refuse("Unable to detect current mode");
  if (FAILED(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &modes.caps)))
    return Refuse("Unable to get HAL features");
  const D3DFORMAT desktop = modes.desktopMode.Format;
  if (FAILED(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, desktop, desktop, TRUE)))
    return Refuse("Window mode not supported by HAL");
  if (FAILED(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, desktop, D3DUSAGE_DEPTHSTENCIL,
                                    D3DRTYPE_SURFACE, D3DFMT_D16)))
    return Refuse("Not supported DepthFormat = D3DFMT_D16 (1)");
  if (FAILED(d3d->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, desktop, desktop, D3DFMT_D16)))
    return Refuse("Not supported DepthFormat = D3DFMT_D16 (2)");
  if (FAILED(d3d->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, desktop, TRUE,
                                             D3DMULTISAMPLE_NONE, nullptr)))
    // The last three words are Russian ("for windowed mode"), kept in code page 1251.
    return Refuse(
        "Not supported MultiSampleType = D3DMULTISAMPLE_NONE "
        "\xE4\xEB\xFF \xEE\xEA\xEE\xED\xED\xEE\xE3\xEE \xF0\xE5\xE6\xE8\xEC\xE0");
  modes.behaviorFlags = BehaviorFlagsFor(modes.caps);
  Direct3DModeSource source(d3d);
  if (BuildModeLists(source, modes.desktopMode.RefreshRate, modes.lists) == ModeListStatus::OutOfMemory)
    return E_OUTOFMEMORY;
  return S_OK;
}

}  // namespace lumar
