#include "render/orange_bar_win32.h"

#include <cstdint>

#include "platform/texture_loader_win32.h"

namespace lumar {

HRESULT RecolourBarTexture(IDirect3DTexture9* texture) {
  if (!texture) return E_FAIL;
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->GetLevelDesc(0, &desc))) return E_FAIL;
  if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) return E_FAIL;
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return E_FAIL;
  RecolourBarTexels(static_cast<uint8_t*>(locked.pBits), desc.Width, desc.Height,
                    static_cast<size_t>(locked.Pitch));
  texture->UnlockRect(0);
  return S_OK;
}

OrangeBarRenderer::OrangeBarRenderer(BarSize size, const ParameterSet& record, const WaveField& field)
    : bar_(size, record, field.constants), field_(field) {}

HRESULT OrangeBarRenderer::CreateBarResources(IDirect3DDevice9* device, HMODULE module, int pictureId,
                                              UINT mipLevels) {
  ReleaseBarResources();
  if (!device) return E_FAIL;
  device_ = device;

  // 32-bit texels, so that the recolouring can read the grey value from each texel's low byte. Only level
  // 0 is recoloured: no mip filter is ever set, so the smaller levels are never sampled.
  const HRESULT loaded =
      CreateTextureFromResource(device, module, pictureId, D3DFMT_X8R8G8B8, texture_.Receive(), mipLevels);
  if (FAILED(loaded)) return loaded;
  if (FAILED(RecolourBarTexture(texture_.get()))) return E_FAIL;

  const SurfaceMeshLayout layout = bar_.MeshLayout();
  if (FAILED(device->CreateVertexBuffer(layout.VertexBufferBytes(), D3DUSAGE_DYNAMIC, kSurfaceVertexFormat,
                                        D3DPOOL_DEFAULT, vertexBuffer_.Receive(), nullptr)))
    return E_FAIL;
  if (FAILED(device->CreateIndexBuffer(layout.IndexBufferBytes(), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                       indexBuffer_.Receive(), nullptr)))
    return E_FAIL;
  void* indices = nullptr;
  if (FAILED(indexBuffer_->Lock(0, 0, &indices, 0))) return E_FAIL;
  const bool built = bar_.BuildBarIndices(static_cast<uint16_t*>(indices), layout.indexCount);
  indexBuffer_->Unlock();
  return built ? S_OK : E_FAIL;
}

HRESULT OrangeBarRenderer::DrawBar() {
  if (!device_ || !vertexBuffer_ || !indexBuffer_) return E_FAIL;
  const SurfaceMeshLayout layout = bar_.MeshLayout();
  void* vertices = nullptr;
  if (FAILED(vertexBuffer_->Lock(0, 0, &vertices, 0))) return E_FAIL;
  bar_.FillBarVertices(field_, static_cast<SurfaceVertex*>(vertices), layout.vertexCount);
  device_->SetTexture(0, texture_.get());
  device_->SetStreamSource(0, vertexBuffer_.get(), 0, kSurfaceVertexStride);
  device_->SetFVF(kSurfaceVertexFormat);
  device_->SetIndices(indexBuffer_.get());
  vertexBuffer_->Unlock();
  device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, layout.vertexCount, 0, layout.triangleCount);
  return S_OK;
}

bool OrangeBarRenderer::FollowRecord(BarSize size, const ParameterSet& record) {
  const OrangeBar next(size, record, field_.constants);
  const bool sameGrid = next.columns() == bar_.columns() && next.rows() == bar_.rows();
  bar_ = next;
  return sameGrid && device_ && texture_ && vertexBuffer_ && indexBuffer_;
}

void OrangeBarRenderer::ReleaseBarResources() {
  vertexBuffer_.reset();
  indexBuffer_.reset();
  texture_.reset();
  device_ = nullptr;
}

}  // namespace lumar
