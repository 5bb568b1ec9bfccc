// Whole frames of a real Direct3D 9 device under the test's display, read back before each Present: the
// pictures undistorted without ripples, one ripple changing only what it reaches, the oblique views and
// the clear colour, device loss and recreation, and failures that must leave nothing behind.
#include "render/renderer_win32.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/jpeg_encoder.h"
#include "platform/message_box_win32.h"
#include "platform/picture_files_win32.h"
#include "platform/test_pictures.h"
#include "platform/texture_loader_win32.h"
#include "render/frame_compare.h"
#include "render/pattern_window_win32.h"
#include "render/render_rig_win32.h"
#include "resource_ids.h"
#include "wavefield/field_evaluation.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

using test::Frame;
using test::RenderRig;

constexpr uint32_t kClearColor = 0xFF0A0A32;
constexpr int kBlock = 16;
// Mean channel difference a 16 x 16 block may show against the picture: point sampling moves edges by a
// pixel, JPEG and the power-of-two scaling blur a little, the specular highlight adds a few levels.
constexpr double kPictureTolerance = 12.0;

std::vector<std::string> shownMessages;
void RecordMessage(const char* text, UINT) { shownMessages.emplace_back(text); }

// Every test sees the messages instead of a modal box.
class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Asked once: each system-metrics call is a round trip to the display under Wine.
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
    shownMessages.clear();
    previousSink_ = SetMessageSink(RecordMessage);
  }
  void TearDown() override { SetMessageSink(previousSink_); }

  RenderRig rig;
  int w = 0;
  int h = 0;

 private:
  MessageSink previousSink_ = nullptr;
};

// 64-pixel cells, each of its own colour, so any shift, flip or scaling of the screen shows.
void PaintCells(HDC dc, int w, int h) {
  for (int cy = 0; cy * 64 < h; ++cy)
    for (int cx = 0; cx * 64 < w; ++cx)
      test::FillRectangle(dc, cx * 64, cy * 64, cx * 64 + 64, cy * 64 + 64,
                          RGB((cx * 37 + 40) % 256, (cy * 53 + 20) % 256, ((cx + cy) * 29 + 90) % 256));
}

// What `paint` puts on a w x h screen, through a memory bitmap.
Frame Painted(void (*paint)(HDC, int, int), int w, int h) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  paint(dc, w, h);
  GdiFlush();
  Frame frame{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < frame.pixels.size(); ++i) frame.pixels[i] = pixels[i] | 0xFF000000u;
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return frame;
}

Image Embedded(int id) {
  Image picture;
  EXPECT_EQ(LoadResourceImage(GetModuleHandleA(nullptr), id, picture), ImageStatus::kOk) << id;
  return picture;
}

void UseFile(ParameterSet& record, const std::string& path) {
  record.texture = kTextureFile;
  std::snprintf(record.textureFile, sizeof record.textureFile, "%s", path.c_str());
}

// ---- The pictures, with no active source ----

// The measures of a frame fail the test when there is no frame, so that no picture check can pass when
// nothing was drawn or the frame could not be read back.
TEST(FrameMeasuresTest, FailWithoutAFrame) {
  const Frame none;
  Frame tiny;
  tiny.width = tiny.height = 8;
  tiny.pixels.assign(64, kClearColor);
  const auto everywhere = [](int, int) { return true; };
  EXPECT_NONFATAL_FAILURE(test::CountColor(none, kClearColor, everywhere), "no frame to measure");
  EXPECT_NONFATAL_FAILURE(test::CountPixels(none, everywhere), "no frame to measure");
  EXPECT_NONFATAL_FAILURE(test::CountChanged(none, tiny, everywhere), "no frame to measure");
  EXPECT_NONFATAL_FAILURE(test::CountChanged(tiny, none, everywhere), "no frame to measure");
  EXPECT_NONFATAL_FAILURE(test::WorstBlockDifference(none, tiny, 4), "no frame to measure");
  // With a frame they measure.
  EXPECT_EQ(test::CountColor(tiny, kClearColor, everywhere), 64);
  EXPECT_EQ(test::CountChanged(tiny, tiny, everywhere), 0);
}

TEST_F(RendererTest, DesktopPictureShowsTheScreenUndistorted) {
  test::PatternWindow pattern(PaintCells);
  rig.record().texture = kTextureDesktop;
  ASSERT_EQ(rig.Start(), S_OK);
  const Frame frame = rig.DrawFrame();
  ASSERT_EQ(frame.width, w);
  ASSERT_EQ(frame.height, h);
  const Frame screen = Painted(PaintCells, w, h);
  EXPECT_LT(test::WorstBlockDifference(frame, screen, kBlock), kPictureTolerance);
  EXPECT_TRUE(shownMessages.empty());
}

TEST_F(RendererTest, BuiltInPicturesShowAsLoadedThatIsUpsideDown) {
  for (const int texture : {kTextureMetal, kTextureSky}) {
    RenderRig local;
    local.record().texture = texture;
    ASSERT_EQ(local.Start(), S_OK);
    const Frame frame = local.DrawFrame();
    const Image picture = Embedded(texture == kTextureMetal ? IDR_PICTURE_METAL : IDR_PICTURE_SKY);
    const Frame expected = test::StretchedPicture(picture, w, h, true);
    const Frame upright = test::StretchedPicture(picture, w, h, false);
    EXPECT_LT(test::WorstBlockDifference(frame, expected, kBlock), kPictureTolerance) << texture;
    EXPECT_GT(test::WorstBlockDifference(frame, upright, kBlock), 3 * kPictureTolerance) << texture;
  }
}

TEST_F(RendererTest, UserBmpAndJpegShowUprightAfterTheFlip) {
  // Red and green above blue and white: a picture shown upside down swaps the halves.
  const Image picture = test::Quadrants(320, 224);
  const std::string bmp = test::TempFile("lumar_user_picture.bmp");
  const std::string jpeg = test::TempFile("lumar_user_picture.jpg");
  ASSERT_TRUE(test::WriteBytes(bmp, test::BmpOf(picture)));
  JpegOptions options;
  options.quality = 95;
  ASSERT_TRUE(test::WriteBytes(jpeg, EncodeJpeg(picture, options)));
  for (const std::string& path : {bmp, jpeg}) {
    RenderRig local;
    UseFile(local.record(), path);
    ASSERT_EQ(local.Start(), S_OK) << path;
    const Frame frame = local.DrawFrame();
    // Every pixel but those next to the quadrants' borders: JPEG keeps colour at half resolution, and
    // two picture pixels are up to 7 screen pixels here.
    const Frame expected = test::StretchedPicture(picture, w, h, false);
    auto awayFromBorders = [&](int x, int y) { return std::abs(x - w / 2) > 10 && std::abs(y - h / 2) > 10; };
    EXPECT_EQ(test::CountChanged(frame, expected, awayFromBorders, 12), 0) << path;
    EXPECT_LE(test::ChannelDifference(frame.At(w / 4, h / 4), 0xFFFF0000u), 8) << path;
    EXPECT_LE(test::ChannelDifference(frame.At(w / 4, 3 * h / 4), 0xFF0000FFu), 8) << path;
  }
  DeleteFileA(bmp.c_str());
  DeleteFileA(jpeg.c_str());
  EXPECT_TRUE(shownMessages.empty());
}

// Start-up decodes the user's picture once and hands it over for the run: the first texture is made from
// that picture, not from the file read again, and so is the texture after a reset.
TEST_F(RendererTest, EveryTextureIsMadeFromThePictureStartUpDecoded) {
  const Image inFile = test::Quadrants(320, 224);
  Image decoded = test::Quadrants(320, 224);
  std::reverse(decoded.pixels.begin(), decoded.pixels.end());  // turned half a turn: another picture
  const std::string path = test::TempFile("lumar_decoded_once.bmp");
  ASSERT_TRUE(test::WriteBytes(path, test::BmpOf(inFile)));
  UseFile(rig.record(), path);
  rig.userPicture() = decoded;
  ASSERT_EQ(rig.Start(), S_OK);
  EXPECT_FALSE(rig.userPicture().pixels.empty());  // kept for the whole run
  auto awayFromBorders = [&](int x, int y) { return std::abs(x - w / 2) > 10 && std::abs(y - h / 2) > 10; };
  EXPECT_EQ(
      test::CountChanged(rig.DrawFrame(), test::StretchedPicture(decoded, w, h, false), awayFromBorders, 12),
      0);
  rig.device()->cooperativeLevel = D3DERR_DEVICENOTRESET;
  DeleteFileA(path.c_str());  // a reset that read the file would find nothing
  EXPECT_EQ(
      test::CountChanged(rig.DrawFrame(), test::StretchedPicture(decoded, w, h, false), awayFromBorders, 12),
      0);
  DeleteFileA(path.c_str());
}

// On the larger screens CTest gives this in sessions of their own: a 2048 square for 1280 x 1024, and
// for 3840 x 2160 a 4096 square and a grid of 84 148 vertices, beyond 16-bit indices.
TEST_F(RendererTest, LargeScreenDesktopPictureShowsTheScreenUndistorted) {
  if (w * h <= 1024 * 768) GTEST_SKIP() << "needs a display larger than 1024 x 768";
  test::PatternWindow pattern(PaintCells);
  rig.record().texture = kTextureDesktop;
  ASSERT_EQ(rig.Start(), S_OK);
  EXPECT_EQ(rig.field().constants.pictureTextureSize, w > 2048 ? 4096 : 2048);
  const Frame frame = rig.DrawFrame();
  ASSERT_EQ(frame.width, w);
  EXPECT_LT(test::WorstBlockDifference(frame, Painted(PaintCells, w, h), kBlock), kPictureTolerance);
  EXPECT_TRUE(shownMessages.empty());
}

// A device whose largest texture is smaller than the desktop's square: the square is capped at the
// device's limit and the screen scaled into it, and the picture still shows the whole screen.
TEST_F(RendererTest, DesktopPictureIsScaledIntoTheDevicesLargestTexture) {
  test::PatternWindow pattern(PaintCells);
  rig.record().texture = kTextureDesktop;
  rig.Limit().maxTextureWidth = 512;
  rig.Limit().maxTextureHeight = 1024;
  ASSERT_EQ(rig.Start(), S_OK);
  EXPECT_EQ(rig.field().constants.pictureTextureSize, 512);
  EXPECT_EQ(rig.snapshot().squareSize(), 512);
  const Frame frame = rig.DrawFrame();
  ASSERT_EQ(frame.width, w);
  EXPECT_LT(test::WorstBlockDifference(frame, Painted(PaintCells, w, h), kBlock), kPictureTolerance);
  EXPECT_TRUE(shownMessages.empty());
}

// A screen mode whose grid needs more vertices than the device can index is refused before a device is
// made, so the message is not hidden behind a full-screen device.
TEST_F(RendererTest, AGridBeyondTheDevicesVertexIndexIsRefusedBeforeTheDeviceExists) {
  rig.record().texture = kTextureMetal;
  rig.record().screenWidth = 3840;  // 84 148 vertices: 32-bit indices
  rig.record().screenHeight = 2160;
  rig.Limit().maxVertexIndex = 0xFFFF;
  EXPECT_EQ(rig.Start(), E_FAIL);
  EXPECT_EQ(rig.Limit().devicesCreated, 0);
  EXPECT_EQ(shownMessages,
            std::vector<std::string>{
                "This screen mode is too large for the display adapter: choose a smaller mode."});
}

// ---- One ripple ----

TEST_F(RendererTest, OneSourceChangesPixelsNearItsCentreAndNoneBeyondItsCutOff) {
  rig.record().texture = kTextureMetal;
  rig.record().waveLength = 60;  // short ripples: a reach well inside the screen
  ASSERT_EQ(rig.Start(), S_OK);
  WaveField& field = rig.field();
  RandomGenerator random;
  ASSERT_TRUE(SpawnSource(field, rig.clock(), random));
  RippleSource& source = field.sourceSet.sources[0];
  source.nodeX = field.constants.gridCellsX / 2;
  source.nodeY = field.constants.gridCellsY / 2;
  rig.clock().Advance(400);
  RetireAndUpdateSources(field, rig.clock());
  // The same instant without the source (the specular fade follows the clock).
  field.sourceSet.sourceCount = 0;
  const Frame calm = rig.DrawFrame();
  field.sourceSet.sourceCount = 1;
  // The farthest node the source reaches, in pixels from its centre node.
  double reach = 0.0;
  for (int i = 0; i <= field.constants.gridCellsX; ++i) {
    for (int j = 0; j <= field.constants.gridCellsY; ++j) {
      const NodeField node = EvaluateNode(field, i, j);
      if (node.height != 0.0f || node.refraction[0] != 0.0 || node.refraction[1] != 0.0)
        reach = std::max(reach, 10.0 * std::hypot(i - source.nodeX, j - source.nodeY));
    }
  }
  ASSERT_GT(reach, 30.0);
  ASSERT_LT(reach, w / 2 - 60.0) << "the test needs screen beyond the ripple";
  const Frame rippled = rig.DrawFrame();
  const int cx = source.nodeX * 10;
  const int cy = h - 1 - source.nodeY * 10;  // node rows count from the bottom
  auto within = [&](double r) { return [=](int x, int y) { return std::hypot(x - cx, y - cy) < r; }; };
  auto beyond = [&](double r) { return [=](int x, int y) { return std::hypot(x - cx, y - cy) > r; }; };
  const int inside = test::CountChanged(calm, rippled, within(reach), 4);
  EXPECT_GT(inside, 0.2 * 3.14159 * reach * reach);
  // Two grid cells past the last reached node, the triangles are all undisturbed.
  EXPECT_EQ(test::CountChanged(calm, rippled, beyond(reach + 30.0)), 0);
}

// ---- The oblique views ----

TEST_F(RendererTest, BottomViewShowsTheSheetAcrossTheWholeScreen) {
  rig.record().texture = kTextureMetal;
  rig.record().view = kViewBottom;
  ASSERT_EQ(rig.Start(), S_OK);
  const Frame frame = rig.DrawFrame();
  EXPECT_FLOAT_EQ(rig.field().waterLevel, 1.0f);
  EXPECT_EQ(test::CountColor(frame, kClearColor, [](int, int) { return true; }), 0);
  // The level sheet under the orthographic camera is the picture itself.
  const Frame expected = test::StretchedPicture(Embedded(IDR_PICTURE_METAL), w, h, true);
  EXPECT_LT(test::WorstBlockDifference(frame, expected, 32), 2 * kPictureTolerance);
}

TEST_F(RendererTest, AquariumShowsTheClearColourWhereNeitherSheetNorBackdropReaches) {
  rig.record().texture = kTextureMetal;
  rig.record().effect = kEffectAquarium;
  ASSERT_EQ(rig.Start(), S_OK);
  // The tank starts empty: level -1, the sheet below the screen. The 512-pixel backdrop picture covers
  // only the top-left 512/w x 512/h of the view.
  const int backdropRight = 512, backdropBottom = 512;  // the screen is the desktop
  Frame empty = rig.DrawFrame();
  EXPECT_FLOAT_EQ(rig.field().waterLevel, -1.0f);
  // The sheet's far edge touches the bottom screen row.
  auto outsideBackdrop = [&](int x, int y) {
    return (x > backdropRight + 2 || y > backdropBottom + 2) && y < h - 4;
  };
  auto onBackdrop = [&](int x, int y) { return x < backdropRight - 2 && y < backdropBottom - 2; };
  EXPECT_EQ(test::CountColor(empty, kClearColor, outsideBackdrop), test::CountPixels(empty, outsideBackdrop));
  EXPECT_EQ(test::CountColor(empty, kClearColor, onBackdrop), 0);

  // 100 s later the tank is half full: the sheet covers the lower half of the screen.
  rig.clock().Advance(100000);
  const Frame half = rig.DrawFrame();
  EXPECT_NEAR(rig.field().waterLevel, 0.0f, 1e-4);
  auto lowerRight = [&](int x, int y) { return x > backdropRight + 2 && y > h / 2 + 4; };
  auto upperRight = [&](int x, int y) { return x > backdropRight + 2 && y < h / 2 - 4; };
  EXPECT_EQ(test::CountColor(half, kClearColor, lowerRight), 0);
  EXPECT_EQ(test::CountColor(half, kClearColor, upperRight), test::CountPixels(half, upperRight));
}

// ---- Device loss ----

TEST_F(RendererTest, LostFramesDrawNothingWhileSourcesMoveOn) {
  rig.record().texture = kTextureMetal;
  ASSERT_EQ(rig.Start(), S_OK);
  test::TestDevice& device = *rig.device();
  const Frame before = rig.DrawFrame();
  ASSERT_FALSE(before.pixels.empty());
  RandomGenerator random;
  ASSERT_TRUE(SpawnSource(rig.field(), rig.clock(), random));
  device.cooperativeLevel = D3DERR_DEVICELOST;
  const int presents = device.presents, draws = device.draws;
  const uint32_t drawn = rig.renderer().framesDrawn();
  float lastAge = -1.0f;
  for (int step = 0; step < 5; ++step) {
    rig.clock().Advance(100);
    AdvanceSources(rig.field(), rig.clock(), random);  // the frame step's source work
    EXPECT_TRUE(rig.DrawFrame().pixels.empty());
    const float age = rig.field().sourceSet.sources[0].age;
    EXPECT_GT(age, lastAge);
    lastAge = age;
  }
  EXPECT_NEAR(lastAge, 0.5f, 0.01f);
  EXPECT_EQ(device.presents, presents);
  EXPECT_EQ(device.draws, draws);
  EXPECT_EQ(rig.renderer().framesDrawn(), drawn);
  EXPECT_EQ(device.resets, 0);
}

TEST_F(RendererTest, NotResetReleasesResetsAndRecreatesTheSamePicture) {
  test::PatternWindow pattern(PaintCells);
  rig.record().texture = kTextureDesktop;
  ASSERT_EQ(rig.Start(), S_OK);
  test::TestDevice& device = *rig.device();
  const Frame before = rig.DrawFrame();
  const ULONG references = rig.RealDeviceReferences();
  device.cooperativeLevel = D3DERR_DEVICENOTRESET;
  const Frame after = rig.DrawFrame();
  EXPECT_EQ(device.resets, 1);
  ASSERT_FALSE(after.pixels.empty());
  // The picture comes back from the snapshot kept in memory, not a new capture.
  EXPECT_LT(test::WorstBlockDifference(after, before, kBlock), 1.0);
  EXPECT_EQ(rig.RealDeviceReferences(), references);
  EXPECT_EQ(rig.renderer().framesDrawn(), 2u);
}

TEST_F(RendererTest, AResetInTheAquariumContinuesTheWaterCycle) {
  rig.record().texture = kTextureMetal;
  rig.record().effect = kEffectAquarium;
  ASSERT_EQ(rig.Start(), S_OK);
  rig.clock().Advance(50000);
  rig.DrawFrame();
  EXPECT_NEAR(rig.field().waterLevel, -0.5f, 1e-4);
  rig.device()->cooperativeLevel = D3DERR_DEVICENOTRESET;
  rig.clock().Advance(10000);
  ASSERT_FALSE(rig.DrawFrame().pixels.empty());
  EXPECT_EQ(rig.device()->resets, 1);
  EXPECT_NEAR(rig.field().waterLevel, -0.4f, 1e-4);
}

TEST_F(RendererTest, AHundredLossesLeaveNoObjectOrHandleBehind) {
  test::PatternWindow pattern(PaintCells);
  rig.record().texture = kTextureDesktop;
  rig.record().screenWidth = 640;  // a smaller mode keeps the hundred frames short
  rig.record().screenHeight = 480;
  ASSERT_EQ(rig.Start(), S_OK);
  test::TestDevice& device = *rig.device();
  device.captureFrames = false;
  rig.DrawFrame();
  ASSERT_EQ(rig.renderer().framesDrawn(), 1u);
  const ULONG references = rig.RealDeviceReferences();
  ASSERT_GT(references, 1u);  // the resources hold the device
  for (int cycle = 0; cycle < 100; ++cycle) {
    device.cooperativeLevel = D3DERR_DEVICELOST;
    EXPECT_FALSE(rig.renderer().PrepareFrame());
    device.cooperativeLevel = D3DERR_DEVICENOTRESET;
    // The device check alone: it releases, resets and recreates; drawing is shown elsewhere.
    EXPECT_TRUE(rig.renderer().PrepareFrame());
    ASSERT_EQ(rig.RealDeviceReferences(), references) << "cycle " << cycle;
  }
  EXPECT_EQ(device.resets, 100);
  rig.DrawFrame();
  EXPECT_EQ(rig.renderer().framesDrawn(), 2u);
  const HBITMAP bitmap = rig.snapshot().snapshotBitmap();
  const HDC dc = rig.snapshot().snapshotDC();
  ASSERT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
  ASSERT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
  rig.renderer().ReleaseDevice(true);
  EXPECT_EQ(GetObjectType(bitmap), 0u);
  EXPECT_EQ(GetObjectType(dc), 0u);
  EXPECT_EQ(rig.Stop(), 0u) << "a resource still holds the device";
}

// ---- Bad input ----

TEST_F(RendererTest, AMissingBuiltInPictureDrawsUntextured) {
  rig.record().texture = kTextureSky;
  // A module without the pictures.
  ASSERT_EQ(rig.Start(GetModuleHandleA("kernel32.dll")), S_OK);
  const Frame frame = rig.DrawFrame();
  ASSERT_FALSE(frame.pixels.empty());
  EXPECT_TRUE(shownMessages.empty());
  // One lit colour over the whole surface, not the clear colour.
  const uint32_t centre = frame.At(w / 2, h / 2);
  EXPECT_GT(test::ChannelDifference(centre, kClearColor), 40);
  EXPECT_EQ(test::CountChanged(
                frame, Frame{frame.width, frame.height, std::vector<uint32_t>(frame.pixels.size(), centre)},
                [&](int x, int y) { return x < w / 2 && y > 8; }, 8),
            0);
}

TEST_F(RendererTest, AUserPictureThatGoesBadBeforeAResetDrawsUntexturedAndKeepsRunning) {
  const std::string path = test::TempFile("lumar_goes_bad.bmp");
  ASSERT_TRUE(test::WriteBytes(path, test::BmpOf(test::Quadrants(64, 64))));
  UseFile(rig.record(), path);
  ASSERT_EQ(rig.Start(), S_OK);
  ASSERT_FALSE(rig.DrawFrame().pixels.empty());
  ASSERT_TRUE(test::WriteBytes(path, std::vector<uint8_t>{'B', 'M', 1, 2, 3}));
  rig.device()->cooperativeLevel = D3DERR_DEVICENOTRESET;
  const Frame frame = rig.DrawFrame();
  ASSERT_FALSE(frame.pixels.empty());
  EXPECT_EQ(test::ChannelDifference(frame.At(w / 4, h / 4), frame.At(w / 4, 3 * h / 4)), 0);
  DeleteFileA(path.c_str());
}

TEST_F(RendererTest, AFailedCreationAfterAResetIsRetriedAndNothingIsReleasedTwice) {
  using test::FailingCall;
  test::PatternWindow pattern(PaintCells);
  rig.record().texture = kTextureDesktop;
  rig.record().effect = kEffectAquarium;  // every buffer, the backdrop's too
  ASSERT_EQ(rig.Start(), S_OK);
  test::TestDevice& device = *rig.device();
  rig.DrawFrame();
  const ULONG references = rig.RealDeviceReferences();
  for (const FailingCall call : {FailingCall::kCreateTexture, FailingCall::kCreateVertexBuffer,
                                 FailingCall::kCreateIndexBuffer, FailingCall::kReset}) {
    const uint32_t drawn = rig.renderer().framesDrawn();
    device.cooperativeLevel = D3DERR_DEVICENOTRESET;
    device.failNext = call;
    EXPECT_TRUE(rig.DrawFrame().pixels.empty()) << static_cast<int>(call);
    EXPECT_EQ(rig.renderer().framesDrawn(), drawn);
    // The next step makes everything again and draws.
    EXPECT_FALSE(rig.DrawFrame().pixels.empty()) << static_cast<int>(call);
    EXPECT_EQ(rig.RealDeviceReferences(), references) << static_cast<int>(call);
  }
  EXPECT_EQ(rig.Stop(), 0u);
}

TEST_F(RendererTest, ADeviceThatCannotBeMadeIsReportedOnce) {
  // The run set-up first, as start-up does: the screen's grid is checked before any device is asked for.
  ASSERT_EQ(PrepareWaveField(rig.field(), rig.record(), {w, h}, nullptr), SetupResult::Ok);
  Renderer renderer(RenderContext{&rig.record(), &rig.field(), &rig.snapshot(), &rig.clock(), nullptr, true,
                                  nullptr, nullptr});
  renderer.SetDeviceFactory([](IDirect3D9*, HWND, DWORD, D3DPRESENT_PARAMETERS&, IDirect3DDevice9** device) {
    *device = nullptr;
    return D3DERR_NOTAVAILABLE;
  });
  test::DeviceWindow window(64, 64);
  EXPECT_EQ(renderer.CreateRenderDevice(rig.direct3d(), window.get()), E_FAIL);
  EXPECT_EQ(shownMessages, std::vector<std::string>{"Unable to create render device!"});
  EXPECT_EQ(renderer.device(), nullptr);
  EXPECT_FALSE(renderer.PrepareFrame());
  renderer.ReleaseDevice(true);  // nothing to release, nothing touched
}

}  // namespace
}  // namespace lumar
