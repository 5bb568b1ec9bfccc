// What the adapter's device takes, asked of Direct3D before a device exists: start-up sizes the picture
// square by it, and a screen mode the device could not draw is refused before the screen changes.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>

namespace lumar {

struct DeviceLimits {
  bool known = false;  // false when Direct3D could not report the adapter's caps
  uint32_t maxTextureWidth = 0;
  uint32_t maxTextureHeight = 0;
  uint32_t maxVertexIndex = 0;

  // The largest power-of-two edge of a square texture; 0 when not known.
  int LargestSquareTexture() const;
};

// The caps of the adapter's hardware device (adapter 0 unless told).
DeviceLimits QueryDeviceLimits(IDirect3D9* direct3d, UINT adapter = D3DADAPTER_DEFAULT);

}  // namespace lumar
