// The orange bar and the frame-rate text on a real device: frames are read back from the back buffer just
// before they are presented, and the bar's orange and the text's green are looked for in them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/millisecond_clock.h"
#include "platform/texture_loader_win32.h"
#include "render/orange_bar_win32.h"
#include "render/render_rig_win32.h"
#include "render/renderer_win32.h"
#include "render/test_window_win32.h"
#include "render/text_overlay_win32.h"
#include "resource_ids.h"
#include "wavefield/field_fixture.h"

namespace lumar {
namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// Frames are read back by the render tests' device double, just before Present.
using test::Frame;
using CapturingDevice = test::TestDevice;

int Red(uint32_t p) { return (p >> 16) & 0xFF; }
int Green(uint32_t p) { return (p >> 8) & 0xFF; }
int Blue(uint32_t p) { return p & 0xFF; }

// The bar's gradient runs from red to yellow with no blue; the sky picture under it is blue and white.
bool Orange(uint32_t p) { return Red(p) >= 120 && Blue(p) * 3 <= Red(p); }
bool TextGreen(uint32_t p) { return Green(p) >= 150 && Red(p) <= 60 && Blue(p) <= 60; }
bool Black(uint32_t p) { return Red(p) <= 16 && Green(p) <= 16 && Blue(p) <= 16; }

template <typename Test>
int Count(const Frame& frame, int left, int top, int right, int bottom, Test test) {
  int n = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) n += test(frame.At(x, y)) ? 1 : 0;
  }
  return n;
}
template <typename Test>
int CountAll(const Frame& frame, Test test) {
  return Count(frame, 0, 0, frame.width, frame.height, test);
}

// The window every device of these tests draws into.
class RigWindow : public TestWindow {
 public:
  RigWindow() : TestWindow("LumarBarTextTest", DefWindowProcA, 0, kWidth, kHeight) {}
};

// A quiet 1024 x 768 field under the sky picture, the weak relief that lets the bar rest at depth 0.5.
ParameterSet RigRecord() {
  ParameterSet record = testing_support::DefaultRecord(kWidth, kHeight);
  record.effect = kEffectBasis;
  record.view = kViewTop;
  record.texture = kTextureSky;
  record.reliefGeometry = 5;
  record.geometryMax = 100;
  record.showOrangeBar = 1;
  record.showFps = 0;
  record.deviceBehaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
  return record;
}

// The renderer on a windowed device of the record's size (the test display stays as it is).
class RenderRig {
 public:
  explicit RenderRig(const ParameterSet& r, bool preview = false) : record(r), clock(5000) {
    testing_support::Prepare(field, record);
    *direct3d_.Receive() = Direct3DCreate9(D3D_SDK_VERSION);
    RenderContext context;
    context.record = &record;
    context.field = &field;
    context.clock = &clock;
    context.instance = GetModuleHandleA(nullptr);
    context.preview = preview;
    renderer = std::make_unique<Renderer>(context);
    renderer->SetDeviceFactory([this](IDirect3D9* d3d, HWND window, DWORD flags, D3DPRESENT_PARAMETERS& pp,
                                      IDirect3DDevice9** device) {
      pp.Windowed = TRUE;
      pp.BackBufferWidth = kWidth;
      pp.BackBufferHeight = kHeight;
      pp.FullScreen_RefreshRateInHz = 0;
      pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
      pp.hDeviceWindow = window;
      IDirect3DDevice9* real = nullptr;
      const HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &pp, &real);
      if (FAILED(hr)) return hr;
      capture = new CapturingDevice(real);
      *device = capture;
      return hr;
    });
    ready = direct3d_ && SUCCEEDED(renderer->CreateRenderDevice(direct3d_.get(), window_.get()));
  }
  ~RenderRig() { renderer.reset(); }

  // Draws the frame at `frameTime` after one that moved the bar there.
  const Frame& FrameAt(float frameTime) {
    renderer->RenderFrame(frameTime);
    renderer->RenderFrame(frameTime);
    return capture->lastFrame;
  }

  ParameterSet record;
  WaveField field;
  ManualClock clock;
  std::unique_ptr<Renderer> renderer;
  CapturingDevice* capture = nullptr;  // owned by the renderer
  bool ready = false;

 private:
  RigWindow window_;
  ComPtr<IDirect3D9> direct3d_;
};

// At 1024 x 768 one crossing takes 25 s: crossing 10 (250 ... 275 s) has the bar at its highest, well in
// front of the surface; in the first crossing it lies behind it.
constexpr float kRisenTime = 260.0f;
constexpr float kSunkTime = 2.0f;
constexpr int kBarPixels = 20000;  // the risen bar covers about 256 x 192 pixels and more

TEST(OrangeBarFrame, RisenBarShowsOrangeAndSunkBarIsHidden) {
  RenderRig rig(RigRecord());
  ASSERT_TRUE(rig.ready);
  const Frame& risen = rig.FrameAt(kRisenTime);
  ASSERT_EQ(risen.width, kWidth);
  EXPECT_GT(CountAll(risen, Orange), kBarPixels);
  // Where AnimateBar put it: x -0.36 ... 0.15, y -0.7 ... -0.18, magnified 1.26 times about the centre
  // at its depth of -0.5: pixels 279 ... 606 across, 434 ... 723 down.
  EXPECT_GT(Count(risen, 400, 550, 500, 650, Orange), 4000);
  EXPECT_EQ(Count(risen, 0, 0, 260, kHeight, Orange), 0);
  EXPECT_EQ(Count(risen, 0, 0, kWidth, 420, Orange), 0);
  const Frame& sunk = rig.FrameAt(kSunkTime);
  EXPECT_EQ(CountAll(sunk, Orange), 0);
}

TEST(OrangeBarFrame, NeverDrawnWhenClearedOrInTheAquarium) {
  ParameterSet cleared = RigRecord();
  cleared.showOrangeBar = 0;
  ParameterSet aquarium = RigRecord();
  aquarium.effect = kEffectAquarium;
  for (const ParameterSet& record : {cleared, aquarium}) {
    RenderRig rig(record);
    ASSERT_TRUE(rig.ready);
    const Frame& frame = rig.FrameAt(kRisenTime);
    ASSERT_EQ(frame.width, kWidth);
    EXPECT_EQ(CountAll(frame, Orange), 0) << "effect " << record.effect;
  }
}

// The text's box: "FPS 00" from (20, 20), a line of the 15-point bold font high.
int GreenAtFrameRate(const Frame& frame) { return Count(frame, 10, 15, 160, 50, TextGreen); }

TEST(FrameRateText, GreenTextOnBlackBoxesAtItsCorner) {
  ParameterSet record = RigRecord();
  record.showFps = 1;
  record.showOrangeBar = 0;
  RenderRig rig(record);
  ASSERT_TRUE(rig.ready);
  const Frame& frame = rig.FrameAt(1.0f);
  ASSERT_EQ(frame.width, kWidth);
  EXPECT_GT(GreenAtFrameRate(frame), 40);
  EXPECT_GT(Count(frame, 10, 15, 160, 50, Black), 200);
  // Nothing green anywhere else: the sky is blue and white.
  EXPECT_EQ(CountAll(frame, TextGreen), GreenAtFrameRate(frame));
  // The text leaves the render states as it found them.
  DWORD state = 0;
  rig.capture->GetRenderState(D3DRS_ZENABLE, &state);
  EXPECT_EQ(state, static_cast<DWORD>(D3DZB_TRUE));
  rig.capture->GetRenderState(D3DRS_ALPHABLENDENABLE, &state);
  EXPECT_EQ(state, static_cast<DWORD>(FALSE));
}

TEST(FrameRateText, BarDrawnAfterTheTextIsStillDepthTested) {
  ParameterSet record = RigRecord();
  record.showFps = 1;
  RenderRig rig(record);
  ASSERT_TRUE(rig.ready);
  const Frame& frame = rig.FrameAt(kSunkTime);
  EXPECT_GT(GreenAtFrameRate(frame), 40);
  EXPECT_EQ(CountAll(frame, Orange), 0);  // still behind the surface
}

TEST(FrameRateText, AbsentWhenOffAndInThePreview) {
  ParameterSet off = RigRecord();
  off.showOrangeBar = 0;
  RenderRig plain(off);
  ASSERT_TRUE(plain.ready);
  EXPECT_EQ(GreenAtFrameRate(plain.FrameAt(1.0f)), 0);

  ParameterSet on = off;
  on.showFps = 1;
  RenderRig preview(on, true);
  ASSERT_TRUE(preview.ready);
  const Frame& frame = preview.FrameAt(1.0f);
  ASSERT_EQ(frame.width, kWidth);
  EXPECT_EQ(GreenAtFrameRate(frame), 0);
}

TEST(DeviceLoss, ResetReleasesAndRecreatesTheBarAndTheText) {
  ParameterSet record = RigRecord();
  record.showFps = 1;
  RenderRig rig(record);
  ASSERT_TRUE(rig.ready);
  rig.capture->cooperativeLevel = D3DERR_DEVICENOTRESET;
  // Reset only succeeds when no default-pool object is left: the bar's and the overlay's buffers included.
  ASSERT_TRUE(rig.renderer->PrepareFrame());
  EXPECT_EQ(rig.capture->resets, 1);
  const Frame& frame = rig.FrameAt(kRisenTime);
  EXPECT_GT(CountAll(frame, Orange), kBarPixels);
  EXPECT_GT(GreenAtFrameRate(frame), 40);
}

// A device of its own for the objects tested alone.
class DeviceRig {
 public:
  DeviceRig() {
    *direct3d_.Receive() = Direct3DCreate9(D3D_SDK_VERSION);
    if (!direct3d_) return;
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferWidth = kWidth;
    pp.BackBufferHeight = kHeight;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_.get(),
                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, device_.Receive());
  }
  IDirect3DDevice9* device() const { return device_.get(); }

 private:
  RigWindow window_;
  ComPtr<IDirect3D9> direct3d_;
  ComPtr<IDirect3DDevice9> device_;
};

struct Texel {
  int red, green, blue, alpha;
};
Texel TexelAt(IDirect3DTexture9* texture, int row, int column) {
  D3DLOCKED_RECT locked{};
  EXPECT_TRUE(SUCCEEDED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)));
  const uint8_t* t = static_cast<const uint8_t*>(locked.pBits) + row * locked.Pitch + column * 4;
  const Texel texel{t[2], t[1], t[0], t[3]};
  texture->UnlockRect(0);
  return texel;
}

TEST(OrangeBarTexture, GreyPictureBecomesTheOrangeGradient) {
  DeviceRig rig;
  ASSERT_NE(rig.device(), nullptr);
  Image grey;
  grey.width = 256;
  grey.height = 192;
  grey.pixels.assign(256 * 192, 0xFFC8C8C8);  // grey 200
  ComPtr<IDirect3DTexture9> texture;
  ASSERT_EQ(CreateTextureFromImage(rig.device(), grey, D3DFMT_X8R8G8B8, 1, texture.Receive()), S_OK);
  ASSERT_EQ(RecolourBarTexture(texture.get()), S_OK);
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 256u);
  EXPECT_EQ(desc.Height, 256u);
  const Texel corner = TexelAt(texture.get(), 0, 0);
  EXPECT_EQ(corner.red, 200);
  EXPECT_EQ(corner.green, 0);
  EXPECT_EQ(corner.blue, 0);
  const Texel middle = TexelAt(texture.get(), 128, 128);  // on the anti-diagonal: yellow
  EXPECT_EQ(middle.red, 200);
  EXPECT_EQ(middle.green, 200);
  EXPECT_EQ(TexelAt(texture.get(), 255, 255).green, 0);
  EXPECT_EQ(TexelAt(texture.get(), 255, 0).green, 199);

  // Textures without 32-bit texels are refused rather than misread.
  ComPtr<IDirect3DTexture9> narrow;
  ASSERT_EQ(
      rig.device()->CreateTexture(256, 256, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, narrow.Receive(), nullptr),
      S_OK);
  EXPECT_EQ(RecolourBarTexture(narrow.get()), E_FAIL);
}

TEST(OrangeBarTexture, BuiltInPictureMakesTheBarAndAMissingOneDrawsNothing) {
  DeviceRig rig;
  ASSERT_NE(rig.device(), nullptr);
  WaveField field;
  const ParameterSet record = RigRecord();
  testing_support::Prepare(field, record);
  OrangeBarRenderer bar(kLargeBar, record, field);
  EXPECT_EQ(bar.DrawBar(), E_FAIL);  // no device yet
  ASSERT_EQ(bar.CreateBarResources(rig.device(), GetModuleHandleA(nullptr), IDR_PICTURE_BAR), S_OK);
  ASSERT_NE(bar.texture(), nullptr);
  // Every texel is recoloured: no blue, and green never above red.
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(bar.texture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);
  int wrong = 0;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + i * locked.Pitch;
    for (int j = 0; j < 256; ++j) wrong += (row[4 * j] != 0 || row[4 * j + 1] > row[4 * j + 2]) ? 1 : 0;
  }
  bar.texture()->UnlockRect(0);
  EXPECT_EQ(wrong, 0);
  rig.device()->BeginScene();
  EXPECT_EQ(bar.DrawBar(), S_OK);
  rig.device()->EndScene();
  // Another record on the same grid keeps the texture; without resources nothing is kept.
  IDirect3DTexture9* const made = bar.texture();
  ParameterSet other = record;
  other.view = record.view == kViewTop ? kViewBottom : kViewTop;
  EXPECT_TRUE(bar.FollowRecord(kLargeBar, other));
  EXPECT_EQ(bar.texture(), made);
  rig.device()->BeginScene();
  EXPECT_EQ(bar.DrawBar(), S_OK);
  rig.device()->EndScene();
  bar.ReleaseBarResources();
  EXPECT_FALSE(bar.FollowRecord(kLargeBar, record));
  EXPECT_EQ(bar.texture(), nullptr);
  EXPECT_EQ(bar.DrawBar(), E_FAIL);

  EXPECT_EQ(bar.CreateBarResources(rig.device(), GetModuleHandleA(nullptr), 4321), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(bar.DrawBar(), E_FAIL);
}

// Every texel of every level of `texture`, row after row.
std::vector<uint32_t> AllTexels(IDirect3DTexture9* texture) {
  std::vector<uint32_t> texels;
  for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->GetLevelDesc(level, &desc)) ||
        FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY)))
      return {};
    for (UINT y = 0; y < desc.Height; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                          static_cast<size_t>(y) * locked.Pitch);
      texels.insert(texels.end(), row, row + desc.Width);
    }
    texture->UnlockRect(level);
  }
  return texels;
}

// The embedded pictures are decoded, scaled and their levels made once; every texture of them after that
// only uploads the kept levels, which hold the texels the plain path (decode, then CreateTextureFromImage)
// makes, bit for bit, on every level. The kept bytes are one copy per picture: the full chain of its
// power-of-two texture, however often it is made.
TEST(EmbeddedPictureTextures, KeptOncePerPictureWithThePlainPathsTexels) {
  DeviceRig rig;
  ASSERT_NE(rig.device(), nullptr);
  const HMODULE module = GetModuleHandleA(nullptr);
  const struct {
    int id;
    uint32_t width, height;  // of the texture: the picture's edges up to powers of two
  } pictures[] = {{IDR_PICTURE_METAL, 1024, 1024}, {IDR_PICTURE_SKY, 1024, 512}, {IDR_PICTURE_BAR, 256, 256}};
  size_t chains = 0;
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.id);
    Image decoded;
    ASSERT_EQ(LoadResourceImage(module, p.id, decoded), ImageStatus::kOk);
    ComPtr<IDirect3DTexture9> plain;
    ASSERT_EQ(CreateTextureFromImage(rig.device(), decoded, D3DFMT_X8R8G8B8, 0, plain.Receive()), S_OK);
    const std::vector<uint32_t> expected = AllTexels(plain.get());
    ASSERT_FALSE(expected.empty());
    for (int time = 0; time < 3; ++time) {
      ComPtr<IDirect3DTexture9> kept;
      ASSERT_EQ(CreateTextureFromResource(rig.device(), module, p.id, D3DFMT_X8R8G8B8, kept.Receive()), S_OK);
      D3DSURFACE_DESC desc{};
      kept->GetLevelDesc(0, &desc);
      EXPECT_EQ(desc.Width, p.width);
      EXPECT_EQ(desc.Height, p.height);
      EXPECT_EQ(kept->GetLevelCount(), plain->GetLevelCount());
      EXPECT_TRUE(AllTexels(kept.get()) == expected) << "made " << time + 1 << " times";
    }
    // The first level alone (the preview's picture) is the chain's first level.
    ComPtr<IDirect3DTexture9> top;
    ASSERT_EQ(CreateTextureFromResource(rig.device(), module, p.id, D3DFMT_X8R8G8B8, top.Receive(), 1), S_OK);
    EXPECT_EQ(top->GetLevelCount(), 1u);
    const std::vector<uint32_t> first(expected.begin(), expected.begin() + p.width * p.height);
    EXPECT_TRUE(AllTexels(top.get()) == first);
    chains += expected.size() * sizeof(uint32_t);
  }
  // Other tests of this program may have kept the same pictures before: never more than one chain each.
  EXPECT_EQ(CachedPictureBytes(), chains);
  ComPtr<IDirect3DTexture9> none;
  EXPECT_EQ(CreateTextureFromResource(rig.device(), module, 4321, D3DFMT_X8R8G8B8, none.Receive()),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_EQ(CachedPictureBytes(), chains);
}

TEST(TextOverlayObjects, AtlasHoldsTheGlyphsAndDrawingNeedsTheDevice) {
  DeviceRig rig;
  ASSERT_NE(rig.device(), nullptr);
  TextOverlay overlay("Arial", 10, 0);
  EXPECT_EQ(overlay.DrawText(20, 20, 0xFF00FF00, "FPS 60"), E_FAIL);
  ASSERT_EQ(overlay.InitDeviceObjects(rig.device()), S_OK);
  ASSERT_EQ(overlay.RestoreDeviceObjects(), S_OK);
  // A 13-pixel font needs 128 x 128 or, with wider glyphs than Arial's (Wine substitutes its own font),
  // one doubling; every glyph then lies inside the atlas.
  EXPECT_TRUE(overlay.atlas().atlasWidth == 128u || overlay.atlas().atlasWidth == 256u);
  EXPECT_EQ(overlay.atlas().atlasHeight, overlay.atlas().atlasWidth);
  for (int c = kFirstGlyph; c <= kLastGlyph; ++c) {
    EXPECT_LE(overlay.atlas().Rect(c).right, 1.0f);
    EXPECT_LE(overlay.atlas().Rect(c).bottom, 1.0f);
    EXPECT_GT(overlay.atlas().Rect(c).bottom, overlay.atlas().Rect(c).top);
  }
  EXPECT_EQ(overlay.atlas().textScale, 1.0f);
  D3DSURFACE_DESC desc{};
  overlay.glyphTexture()->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Format, D3DFMT_A4R4G4B4);
  // "F" has coverage inside its rectangle; the rest of the atlas is opaque black or white glyph texels.
  const GlyphRect& f = overlay.atlas().Rect('F');
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(overlay.glyphTexture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);
  int covered = 0, odd = 0;
  for (uint32_t y = 0; y < desc.Height; ++y) {
    const uint16_t* row =
        reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch);
    for (uint32_t x = 0; x < desc.Width; ++x) {
      const uint16_t t = row[x];
      if (t != 0xF000 && (t & 0x0FFF) != 0x0FFF) ++odd;
      const float u = (x + 0.5f) / desc.Width, v = (y + 0.5f) / desc.Height;
      if (t != 0xF000 && u > f.left && u < f.right && v > f.top && v < f.bottom) ++covered;
    }
  }
  overlay.glyphTexture()->UnlockRect(0);
  EXPECT_EQ(odd, 0);
  EXPECT_GT(covered, 5);
  rig.device()->BeginScene();
  EXPECT_EQ(overlay.DrawText(20, 20, 0xFF00FF00, "FPS 60\nline two"), S_OK);
  rig.device()->EndScene();
  overlay.DeleteDeviceObjects();
  EXPECT_EQ(overlay.glyphTexture(), nullptr);
  EXPECT_EQ(overlay.DrawText(20, 20, 0xFF00FF00, "FPS 60"), E_FAIL);

  const std::string longName(120, 'a');
  TextOverlay named(longName.c_str(), 15, kTextBold);
  EXPECT_EQ(std::string(named.faceName()), std::string(79, 'a'));
}

}  // namespace
}  // namespace lumar
