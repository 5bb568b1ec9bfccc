// Device limits from the adapter's caps.
#include "render/device_limits_win32.h"

#include <algorithm>

namespace lumar {

int DeviceLimits::LargestSquareTexture() const {
  const uint32_t limit = std::min(maxTextureWidth, maxTextureHeight);
  if (!known || limit == 0) return 0;
  uint32_t edge = 1;
  while (edge <= limit / 2 && edge < (1u << 30)) edge *= 2;
  return static_cast<int>(edge);
}

DeviceLimits QueryDeviceLimits(IDirect3D9* direct3d, UINT adapter) {
  DeviceLimits limits;
  D3DCAPS9 caps{};
  if (!direct3d || FAILED(direct3d->GetDeviceCaps(adapter, D3DDEVTYPE_HAL, &caps))) return limits;
  limits.known = true;
  limits.maxTextureWidth = caps.MaxTextureWidth;
  limits.maxTextureHeight = caps.MaxTextureHeight;
  limits.maxVertexIndex = caps.MaxVertexIndex;
  return limits;
}

}  // namespace lumar
