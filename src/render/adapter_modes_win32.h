// Adapter checks and the full-screen mode lists of adapter 0, fed from Direct3D 9.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include "render/display_modes.h"

namespace lumar {

struct AdapterModes {
  D3DADAPTER_IDENTIFIER9 identifier{};
  D3DDISPLAYMODE desktopMode{};
  D3DCAPS9 caps{};
  DWORD behaviorFlags = 0;
  AdapterModeLists lists;
};

// Runs the seven adapter checks (each failure shows its message and gives E_FAIL), takes the behaviour
// flags from the caps and builds the mode lists. E_FAIL without a message when `direct3d` is null;
// E_OUTOFMEMORY when a list cannot grow (the caller reports it).
HRESULT EnumerateAdapterModes(IDirect3D9* direct3d, AdapterModes& modes);

// Hardware vertex processing when the device has hardware transform and lighting.
DWORD BehaviorFlagsFor(const D3DCAPS9& caps);

DisplayMode ToDisplayMode(const D3DDISPLAYMODE& mode);

}  // namespace lumar
