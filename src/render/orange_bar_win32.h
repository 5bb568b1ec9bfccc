// The orange bar on the Direct3D device: its recoloured picture texture, its dynamic vertex buffer and
// its index buffer, and the drawing of the bar from the wave field once per frame.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include "platform/com_ptr_win32.h"
#include "settings/parameter_set.h"
#include "wavefield/orange_bar.h"
#include "wavefield/wave_field.h"

namespace lumar {

// Recolours level 0 of the bar's texture into its orange gradient, row by row at the level's own pitch.
// E_FAIL unless the level has 32-bit texels and can be locked.
HRESULT RecolourBarTexture(IDirect3DTexture9* texture);

class OrangeBarRenderer {
 public:
  // `field` is read at every DrawBar and must outlive the bar.
  OrangeBarRenderer(BarSize size, const ParameterSet& record, const WaveField& field);
  OrangeBarRenderer(const OrangeBarRenderer&) = delete;
  OrangeBarRenderer& operator=(const OrangeBarRenderer&) = delete;

  // The texture from the grey picture `pictureId` of `module`, then the two buffers. The loader's code
  // when the picture cannot be loaded, E_FAIL when the texture cannot be recoloured or a buffer made.
  // `mipLevels` as for CreateTextureFromResource (only level 0 is ever sampled).
  HRESULT CreateBarResources(IDirect3DDevice9* device, HMODULE module, int pictureId, UINT mipLevels = 0);
  // Fills the vertices at the current position and draws them under the render states in force. E_FAIL
  // without a device or without the bar's buffers.
  HRESULT DrawBar();
  // Moves the bar to where it is at `frameTime` seconds into the run.
  void AnimateBar(float frameTime) { bar_.AnimateBar(frameTime); }
  // The bar of another record on the same device: its shape and motion start again from `record`, its
  // texture stays, and so do its buffers while its grid keeps its columns and rows. False (nothing kept)
  // when the grid changed or there are no resources: the caller makes them again.
  bool FollowRecord(BarSize size, const ParameterSet& record);
  // Releases the buffers and the texture and forgets the device.
  void ReleaseBarResources();

  const OrangeBar& bar() const { return bar_; }
  IDirect3DTexture9* texture() const { return texture_.get(); }

 private:
  OrangeBar bar_;
  const WaveField& field_;
  IDirect3DDevice9* device_ = nullptr;  // borrowed from the renderer
  ComPtr<IDirect3DTexture9> texture_;
  ComPtr<IDirect3DVertexBuffer9> vertexBuffer_;
  ComPtr<IDirect3DIndexBuffer9> indexBuffer_;
};

}  // namespace lumar
