// Direct3D textures from pictures: a picture file in any format Windows reads (imaging_component_win32.h),
// or a JPEG embedded as an RCDATA resource.
// Edges are scaled up to powers of two (down to the device's limit when larger) and a full chain of mip
// levels is made, in the managed pool.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstddef>
#include <string>

#include "platform/image.h"

namespace lumar {

// A texture of the picture in X8R8G8B8 or A8R8G8B8, first row = top of the picture. `mipLevels` 0 makes
// the full chain.
HRESULT CreateTextureFromImage(IDirect3DDevice9* device, const Image& picture, D3DFORMAT format,
                               UINT mipLevels, IDirect3DTexture9** texture);

// The picture of RCDATA resource `id` of `module`; D3DERR_NOTAVAILABLE when there is none,
// D3DERR_INVALIDCALL when it cannot be decoded. The picture is decoded, scaled and its levels made once
// for the process's life (one copy per picture, see CachedPictureBytes): every later texture of it, on
// this device or another with the same limits, only uploads them, with the same texels.
// `mipLevels` as for CreateTextureFromImage: the first levels of the kept chain.
HRESULT CreateTextureFromResource(IDirect3DDevice9* device, HMODULE module, int id, D3DFORMAT format,
                                  IDirect3DTexture9** texture, UINT mipLevels = 0);

// The picture of a user file (ANSI path); D3DERR_NOTAVAILABLE when it cannot be read,
// D3DERR_INVALIDCALL when it cannot be decoded.
HRESULT CreateTextureFromFile(IDirect3DDevice9* device, const std::string& path, D3DFORMAT format,
                              IDirect3DTexture9** texture, UINT mipLevels = 0);

// The bytes of the embedded pictures' levels kept by CreateTextureFromResource.
size_t CachedPictureBytes();

// Decodes RCDATA resource `id` of `module` into `picture`.
ImageStatus LoadResourceImage(HMODULE module, int id, Image& picture);

}  // namespace lumar
