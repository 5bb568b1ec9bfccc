// Short strings of printable ASCII drawn over the frame in screen pixels (the frame-rate counter): the
// glyphs of a Windows font are rendered once through GDI into a texture atlas, and each character is then
// drawn as a textured, pre-transformed quad, white glyph coverage tinted with the text colour on a black
// box.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>

#include "platform/com_ptr_win32.h"
#include "render/text_atlas.h"

namespace lumar {

constexpr uint32_t kTextBold = 1;
constexpr uint32_t kTextItalic = 2;
constexpr size_t kFaceNameSize = 80;

class TextOverlay {
 public:
  // Keeps at most 79 characters of `faceName`; no device objects yet.
  TextOverlay(const char* faceName, int32_t pointSize, uint32_t flags);
  TextOverlay(const TextOverlay&) = delete;
  TextOverlay& operator=(const TextOverlay&) = delete;
  ~TextOverlay();

  // Renders the atlas for `device`: 0, or the first failing code (font or text call E_FAIL, the texture's
  // own code, D3DERR_MOREDATA when the glyphs fit no texture the device can make).
  HRESULT InitDeviceObjects(IDirect3DDevice9* device);
  // The vertex buffer and the two state blocks: 0 or the failing call's code.
  HRESULT RestoreDeviceObjects();
  // Releases the vertex buffer and the state blocks.
  HRESULT InvalidateDeviceObjects();
  // Releases everything and forgets the device.
  HRESULT DeleteDeviceObjects();

  // Draws `text` (NUL-terminated) with its top-left corner at (x, y) in colour `colour` (ARGB); the
  // render states in force before are restored afterwards. `flags` is not used. E_FAIL without a device
  // or without the objects of RestoreDeviceObjects.
  HRESULT DrawText(float x, float y, uint32_t colour, const char* text, uint32_t flags = 0);

  const GlyphAtlas& atlas() const { return atlas_; }
  const char* faceName() const { return faceName_; }
  int32_t pointSize() const { return pointSize_; }
  uint32_t flags() const { return flags_; }
  IDirect3DTexture9* glyphTexture() const { return glyphTexture_.get(); }

 private:
  HRESULT RecordDrawState(IDirect3DStateBlock9** block);

  char faceName_[kFaceNameSize];
  int32_t pointSize_;
  uint32_t flags_;
  IDirect3DDevice9* device_ = nullptr;  // borrowed from the renderer
  ComPtr<IDirect3DTexture9> glyphTexture_;
  ComPtr<IDirect3DVertexBuffer9> vertexBuffer_;
  GlyphAtlas atlas_;
  ComPtr<IDirect3DStateBlock9> savedState_;
  ComPtr<IDirect3DStateBlock9> drawState_;
};

}  // namespace lumar
