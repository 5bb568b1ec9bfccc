// Texture creation on the portable picture decoder and scaler.
#include "platform/texture_loader_win32.h"

#include <algorithm>
#include <new>

#include "platform/image_scaling.h"
#include "platform/imaging_component_win32.h"
#include "platform/texel_format.h"

namespace lumar {

namespace {

// The largest power-of-two edge the device takes, for pictures bigger than its textures.
uint32_t LargestEdge(IDirect3DDevice9* device, bool width) {
  D3DCAPS9 caps{};
  if (FAILED(device->GetDeviceCaps(&caps))) return 2048;
  const DWORD limit = width ? caps.MaxTextureWidth : caps.MaxTextureHeight;
  uint32_t edge = 1;
  while (edge * 2 <= limit && edge < (1u << 30)) edge *= 2;
  return edge;
}

uint32_t MipCount(uint32_t width, uint32_t height) {
  uint32_t levels = 1;
  while (width > 1 || height > 1) {
    width = std::max(width / 2, 1u);
    height = std::max(height / 2, 1u);
    ++levels;
  }
  return levels;
}

HRESULT FillLevel(IDirect3DTexture9* texture, UINT level, const Image& picture, TexelFormat format) {
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) return E_FAIL;
  WriteTexels(picture, format, static_cast<uint8_t*>(locked.pBits), static_cast<size_t>(locked.Pitch));
  texture->UnlockRect(level);
  return S_OK;
}

}  // namespace

HRESULT CreateTextureFromImage(IDirect3DDevice9* device, const Image& picture, D3DFORMAT format,
                               UINT mipLevels, IDirect3DTexture9** texture) {
  if (!device || !texture || picture.width == 0 || picture.height == 0) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const TexelFormat texelFormat = LoaderTexelFormat(static_cast<int32_t>(format));
  IDirect3DTexture9* created = nullptr;
  try {
    // Level 0 is the picture itself when its edges need no change, so a large picture is not copied.
    const uint32_t width = TextureEdge(picture.width, LargestEdge(device, true));
    const uint32_t height = TextureEdge(picture.height, LargestEdge(device, false));
    Image scaled;
    if (width != picture.width || height != picture.height) scaled = ResizeImage(picture, width, height);
    const Image& top = scaled.pixels.empty() ? picture : scaled;
    const UINT allLevels = MipCount(width, height);
    const UINT levels = mipLevels == 0 ? allLevels : std::min(mipLevels, allLevels);
    const HRESULT hr = device->CreateTexture(width, height, levels, 0, static_cast<D3DFORMAT>(texelFormat),
                                             D3DPOOL_MANAGED, &created, nullptr);
    if (FAILED(hr)) return hr;
    Image mip;
    for (UINT i = 0; i < levels; ++i) {
      if (i > 0) mip = HalveImage(i == 1 ? top : mip);
      if (FAILED(FillLevel(created, i, i == 0 ? top : mip, texelFormat))) {
        created->Release();
        return E_FAIL;
      }
    }
  } catch (const std::bad_alloc&) {
    // The scaled copy or a mip level did not fit in memory: no texture rather than no saver.
    if (created) created->Release();
    return E_OUTOFMEMORY;
  }
  *texture = created;
  return S_OK;
}

ImageStatus LoadResourceImage(HMODULE module, int id, Image& picture) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return ImageStatus::kFileUnreadable;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, found);
  if (!data || size == 0) return ImageStatus::kFileUnreadable;
  return DecodeImage(static_cast<const uint8_t*>(data), size, picture);
}

namespace {

// The texture of a picture `load` decodes, with the loader's failures as Direct3D results.
template <typename Load>
HRESULT CreateTextureFromLoaded(IDirect3DDevice9* device, D3DFORMAT format, IDirect3DTexture9** texture,
                                Load&& load) {
  Image picture;
  const ImageStatus status = CatchOutOfMemory(picture, [&] { return load(picture); });
  if (status == ImageStatus::kFileUnreadable) return D3DERR_NOTAVAILABLE;
  if (status == ImageStatus::kOutOfMemory) return E_OUTOFMEMORY;
  if (status != ImageStatus::kOk) return D3DERR_INVALIDCALL;
  return CreateTextureFromImage(device, picture, format, 0, texture);
}

}  // namespace

HRESULT CreateTextureFromResource(IDirect3DDevice9* device, HMODULE module, int id, D3DFORMAT format,
                                  IDirect3DTexture9** texture) {
  return CreateTextureFromLoaded(device, format, texture,
                                 [&](Image& picture) { return LoadResourceImage(module, id, picture); });
}

HRESULT CreateTextureFromFile(IDirect3DDevice9* device, const std::string& path, D3DFORMAT format,
                              IDirect3DTexture9** texture) {
  return CreateTextureFromLoaded(device, format, texture, [&](Image& picture) {
    return LoadImageFile(path, picture, nullptr, DecodeWithImagingComponent);
  });
}

}  // namespace lumar
