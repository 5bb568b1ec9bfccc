// Texture creation on the portable picture decoder and scaler.
#include "platform/texture_loader_win32.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

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

// The levels of a picture's texture: level 0 is the picture scaled to power-of-two edges within the
// device's limits (the picture itself when its edges need no change, so a large picture is not copied),
// each level after it half the one before. `use(level, picture)` is called for each in turn, only one
// level besides the top being held at a time; its failure ends the walk.
struct LevelPlan {
  uint32_t width = 0;
  uint32_t height = 0;
  UINT levels = 0;
};

LevelPlan PlanLevels(const Image& picture, uint32_t maxWidth, uint32_t maxHeight, UINT mipLevels) {
  LevelPlan plan;
  plan.width = TextureEdge(picture.width, maxWidth);
  plan.height = TextureEdge(picture.height, maxHeight);
  const UINT allLevels = MipCount(plan.width, plan.height);
  plan.levels = mipLevels == 0 ? allLevels : std::min(mipLevels, allLevels);
  return plan;
}

template <typename Use>
HRESULT WalkLevels(const Image& picture, const LevelPlan& plan, Use&& use) {
  Image scaled;
  if (plan.width != picture.width || plan.height != picture.height)
    scaled = ResizeImage(picture, plan.width, plan.height);
  const Image& top = scaled.pixels.empty() ? picture : scaled;
  Image mip;
  for (UINT i = 0; i < plan.levels; ++i) {
    if (i > 0) mip = HalveImage(i == 1 ? top : mip);
    if (FAILED(use(i, i == 0 ? top : mip))) return E_FAIL;
  }
  return S_OK;
}

// A managed texture of `plan`'s size and levels, each level filled by `fill(texture, texelFormat)`.
template <typename Fill>
HRESULT CreateFilledTexture(IDirect3DDevice9* device, const LevelPlan& plan, D3DFORMAT format,
                            IDirect3DTexture9** texture, Fill&& fill) {
  const TexelFormat texelFormat = LoaderTexelFormat(static_cast<int32_t>(format));
  IDirect3DTexture9* created = nullptr;
  try {
    const HRESULT hr =
        device->CreateTexture(plan.width, plan.height, plan.levels, 0, static_cast<D3DFORMAT>(texelFormat),
                              D3DPOOL_MANAGED, &created, nullptr);
    if (FAILED(hr)) return hr;
    if (FAILED(fill(created, texelFormat))) {
      created->Release();
      return E_FAIL;
    }
  } catch (const std::bad_alloc&) {
    // The scaled copy or a mip level did not fit in memory: no texture rather than no saver.
    if (created) created->Release();
    return E_OUTOFMEMORY;
  }
  *texture = created;
  return S_OK;
}

// The embedded pictures' levels, made once for the process's life: every later texture of the same
// picture (a reset, a new device, the configuration dialog's preview following a change) only uploads
// them. One entry per picture; a device with other limits replaces it.
struct CachedPicture {
  HMODULE module = nullptr;
  int id = 0;
  uint32_t maxWidth = 0;
  uint32_t maxHeight = 0;
  std::vector<Image> levels;
};

std::mutex cacheMutex;
std::vector<std::shared_ptr<const CachedPicture>> cachedPictures;

std::shared_ptr<const CachedPicture> FindCachedPicture(HMODULE module, int id, uint32_t maxWidth,
                                                       uint32_t maxHeight) {
  std::lock_guard<std::mutex> lock(cacheMutex);
  for (const auto& entry : cachedPictures) {
    if (entry->module == module && entry->id == id && entry->maxWidth == maxWidth &&
        entry->maxHeight == maxHeight)
      return entry;
  }
  return nullptr;
}

void StoreCachedPicture(std::shared_ptr<const CachedPicture> picture) {
  std::lock_guard<std::mutex> lock(cacheMutex);
  for (auto& entry : cachedPictures) {
    if (entry->module == picture->module && entry->id == picture->id) {
      entry = std::move(picture);
      return;
    }
  }
  cachedPictures.push_back(std::move(picture));
}

}  // namespace

HRESULT CreateTextureFromImage(IDirect3DDevice9* device, const Image& picture, D3DFORMAT format,
                               UINT mipLevels, IDirect3DTexture9** texture) {
  if (!device || !texture || picture.width == 0 || picture.height == 0) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const LevelPlan plan =
      PlanLevels(picture, LargestEdge(device, true), LargestEdge(device, false), mipLevels);
  return CreateFilledTexture(device, plan, format, texture,
                             [&](IDirect3DTexture9* created, TexelFormat texels) {
                               return WalkLevels(picture, plan, [&](UINT level, const Image& image) {
                                 return FillLevel(created, level, image, texels);
                               });
                             });
}

size_t CachedPictureBytes() {
  std::lock_guard<std::mutex> lock(cacheMutex);
  size_t bytes = 0;
  for (const auto& entry : cachedPictures) {
    for (const Image& level : entry->levels) bytes += level.pixels.size() * sizeof(uint32_t);
  }
  return bytes;
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
                                UINT mipLevels, Load&& load) {
  Image picture;
  const ImageStatus status = CatchOutOfMemory(picture, [&] { return load(picture); });
  if (status == ImageStatus::kFileUnreadable) return D3DERR_NOTAVAILABLE;
  if (status == ImageStatus::kOutOfMemory) return E_OUTOFMEMORY;
  if (status != ImageStatus::kOk) return D3DERR_INVALIDCALL;
  return CreateTextureFromImage(device, picture, format, mipLevels, texture);
}

}  // namespace

HRESULT CreateTextureFromResource(IDirect3DDevice9* device, HMODULE module, int id, D3DFORMAT format,
                                  IDirect3DTexture9** texture, UINT mipLevels) {
  if (!device || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const uint32_t maxWidth = LargestEdge(device, true), maxHeight = LargestEdge(device, false);
  std::shared_ptr<const CachedPicture> cached = FindCachedPicture(module, id, maxWidth, maxHeight);
  if (!cached) {
    Image picture;
    const ImageStatus status =
        CatchOutOfMemory(picture, [&] { return LoadResourceImage(module, id, picture); });
    if (status == ImageStatus::kFileUnreadable) return D3DERR_NOTAVAILABLE;
    if (status == ImageStatus::kOutOfMemory) return E_OUTOFMEMORY;
    if (status != ImageStatus::kOk) return D3DERR_INVALIDCALL;
    try {
      auto made = std::make_shared<CachedPicture>();
      made->module = module;
      made->id = id;
      made->maxWidth = maxWidth;
      made->maxHeight = maxHeight;
      const LevelPlan plan = PlanLevels(picture, maxWidth, maxHeight, 0);
      made->levels.reserve(plan.levels);
      WalkLevels(picture, plan, [&](UINT, const Image& level) {
        made->levels.push_back(level);
        return S_OK;
      });
      cached = made;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    StoreCachedPicture(cached);
  }
  const std::vector<Image>& levels = cached->levels;
  LevelPlan plan;
  plan.width = levels[0].width;
  plan.height = levels[0].height;
  plan.levels = static_cast<UINT>(levels.size());
  if (mipLevels != 0) plan.levels = std::min(plan.levels, mipLevels);
  return CreateFilledTexture(device, plan, format, texture,
                             [&](IDirect3DTexture9* created, TexelFormat texels) {
                               for (UINT i = 0; i < plan.levels; ++i) {
                                 if (FAILED(FillLevel(created, i, levels[i], texels))) return E_FAIL;
                               }
                               return S_OK;
                             });
}

HRESULT CreateTextureFromFile(IDirect3DDevice9* device, const std::string& path, D3DFORMAT format,
                              IDirect3DTexture9** texture, UINT mipLevels) {
  return CreateTextureFromLoaded(device, format, texture, mipLevels, [&](Image& picture) {
    return LoadImageFile(path, picture, nullptr, DecodeWithImagingComponent);
  });
}

}  // namespace lumar
