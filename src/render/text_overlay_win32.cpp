#include "render/text_overlay_win32.h"

#include <cstring>
#include <memory>
#include <type_traits>

#include "platform/gdi_calls_win32.h"
#include "render/text_quads.h"

namespace lumar {
namespace {

struct DcDeleter {
  void operator()(HDC dc) const { Gdi().deleteDC(dc); }
};
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { Gdi().deleteObject(object); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiObjectDeleter>;

// Selects an object into a DC and puts the DC's previous one back when it goes, so that the object can
// then be deleted.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(Gdi().selectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ && previous_ != HGDI_ERROR) Gdi().selectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The overlay's font on a memory DC, made again for each scale the atlas search tries.
class GdiGlyphRasterizer : public GlyphRasterizer {
 public:
  GdiGlyphRasterizer(HDC dc, const char* faceName, int32_t pointSize, uint32_t flags)
      : dc_(dc), faceName_(faceName), pointSize_(pointSize), flags_(flags) {}

  bool SelectScale(float textScale) override {
    selection_.reset();  // the old font leaves the DC before it is deleted
    font_.reset(Gdi().createFont(FontHeight(pointSize_, GetDeviceCaps(dc_, LOGPIXELSY), textScale), 0, 0, 0,
                                 (flags_ & kTextBold) ? FW_BOLD : FW_NORMAL,
                                 (flags_ & kTextItalic) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH,
                                 faceName_));
    if (!font_) return false;
    selection_ = std::make_unique<Selection>(dc_, font_.get());
    return true;
  }
  bool Measure(const char* text, size_t length, GlyphExtent& extent) override {
    SIZE size{};
    if (!GetTextExtentPoint32A(dc_, text, static_cast<int>(length), &size)) return false;
    extent.width = size.cx;
    extent.height = size.cy;
    return true;
  }
  bool Draw(char c, int32_t x, int32_t y) override {
    return ExtTextOutA(dc_, x, y, ETO_OPAQUE, nullptr, &c, 1, nullptr) != FALSE;
  }

 private:
  HDC dc_;
  const char* faceName_;
  int32_t pointSize_;
  uint32_t flags_;
  GdiObject font_;
  std::unique_ptr<Selection> selection_;  // declared after the font: leaves the DC first
};

HRESULT LayoutCode(LayoutResult result) {
  switch (result) {
    case LayoutResult::kOk:
      return S_OK;
    case LayoutResult::kMoreData:
      return D3DERR_MOREDATA;
    default:
      return E_FAIL;
  }
}

// The overlay's vertex buffer as the target of the text quads: refilled with discard for every batch.
class OverlayBuffer : public QuadBatchTarget {
 public:
  OverlayBuffer(IDirect3DDevice9* device, IDirect3DVertexBuffer9* buffer)
      : device_(device), buffer_(buffer) {}
  OverlayVertex* Lock() override {
    void* data = nullptr;
    if (FAILED(buffer_->Lock(0, 0, &data, D3DLOCK_DISCARD))) return nullptr;
    return static_cast<OverlayVertex*>(data);
  }
  void Unlock() override { buffer_->Unlock(); }
  void Draw(uint32_t triangles) override { device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles); }

 private:
  IDirect3DDevice9* device_;
  IDirect3DVertexBuffer9* buffer_;
};

}  // namespace

TextOverlay::TextOverlay(const char* faceName, int32_t pointSize, uint32_t flags)
    : pointSize_(pointSize), flags_(flags) {
  std::strncpy(faceName_, faceName ? faceName : "", kFaceNameSize);
  faceName_[kFaceNameSize - 1] = '\0';
}

TextOverlay::~TextOverlay() { DeleteDeviceObjects(); }

HRESULT TextOverlay::InitDeviceObjects(IDirect3DDevice9* device) {
  DeleteDeviceObjects();
  if (!device) return E_FAIL;
  device_ = device;
  atlas_ = GlyphAtlas{};

  MemoryDc dc(Gdi().createCompatibleDC(nullptr));
  if (!dc) return E_FAIL;
  SetMapMode(dc.get(), MM_TEXT);
  GdiGlyphRasterizer font(dc.get(), faceName_, pointSize_, flags_);
  if (!font.SelectScale(1.0f)) return E_FAIL;

  // The smallest atlas that holds every glyph, within the device's largest texture.
  D3DCAPS9 caps{};
  if (FAILED(device->GetDeviceCaps(&caps))) return E_FAIL;
  HRESULT hr = LayoutCode(SearchAtlasSize(font, caps.MaxTextureWidth, atlas_));
  if (FAILED(hr)) return hr;
  hr = device->CreateTexture(atlas_.atlasWidth, atlas_.atlasHeight, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED,
                             glyphTexture_.Receive(), nullptr);
  if (FAILED(hr)) return hr;

  // White glyphs on black in a top-down 32-bit DIB section.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(atlas_.atlasWidth);
  info.bmiHeader.biHeight = -static_cast<LONG>(atlas_.atlasHeight);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  GdiObject bitmap(Gdi().createDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return E_FAIL;
  Selection drawing(dc.get(), bitmap.get());
  SetTextColor(dc.get(), RGB(255, 255, 255));
  SetBkColor(dc.get(), RGB(0, 0, 0));
  SetTextAlign(dc.get(), TA_TOP);
  hr = LayoutCode(LayOutGlyphs(font, atlas_, LayoutPass::kDraw));
  GdiFlush();

  D3DLOCKED_RECT locked{};
  if (FAILED(glyphTexture_->LockRect(0, &locked, nullptr, 0))) return E_FAIL;
  ConvertAtlas(static_cast<const uint32_t*>(bits), atlas_.atlasWidth, atlas_.atlasHeight,
               static_cast<uint8_t*>(locked.pBits), static_cast<size_t>(locked.Pitch));
  glyphTexture_->UnlockRect(0);
  return hr;
}

HRESULT TextOverlay::RecordDrawState(IDirect3DStateBlock9** block) {
  HRESULT hr = device_->BeginStateBlock();
  if (FAILED(hr)) return hr;
  device_->SetTexture(0, glyphTexture_.get());
  device_->SetRenderState(D3DRS_ZENABLE, FALSE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  return device_->EndStateBlock(block);
}

HRESULT TextOverlay::RestoreDeviceObjects() {
  InvalidateDeviceObjects();
  if (!device_) return E_FAIL;
  HRESULT hr = device_->CreateVertexBuffer(kOverlayBufferVertices * kOverlayVertexStride,
                                           D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, kOverlayVertexFormat,
                                           D3DPOOL_DEFAULT, vertexBuffer_.Receive(), nullptr);
  if (FAILED(hr)) return hr;
  // The same states twice: one block to remember what was in force, one to set the overlay's.
  hr = RecordDrawState(savedState_.Receive());
  if (FAILED(hr)) return hr;
  return RecordDrawState(drawState_.Receive());
}

HRESULT TextOverlay::InvalidateDeviceObjects() {
  vertexBuffer_.reset();
  savedState_.reset();
  drawState_.reset();
  return S_OK;
}

HRESULT TextOverlay::DeleteDeviceObjects() {
  InvalidateDeviceObjects();
  glyphTexture_.reset();
  device_ = nullptr;
  return S_OK;
}

HRESULT TextOverlay::DrawText(float x, float y, uint32_t colour, const char* text, uint32_t /*flags*/) {
  if (!device_ || !vertexBuffer_ || !savedState_ || !drawState_ || !text) return E_FAIL;
  savedState_->Capture();
  drawState_->Apply();
  device_->SetFVF(kOverlayVertexFormat);
  device_->SetStreamSource(0, vertexBuffer_.get(), 0, kOverlayVertexStride);
  OverlayBuffer buffer(device_, vertexBuffer_.get());
  BatchTextQuads(atlas_, x, y, colour, text, buffer);
  savedState_->Apply();
  return S_OK;
}

}  // namespace lumar
