// The vertices of the fixed run in the Windows build (MinGW, its run-time library, under Wine): the
// checksum the native build gives. Once before any device exists, and once with a Direct3D device made by
// the renderer, which must leave the thread's x87 precision alone.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "render/render_rig_win32.h"
#include "wavefield/engine_equivalence.h"
#include "wavefield/vertex_checksum.h"

namespace lumar {
namespace {

// The x87 precision control: 0 single, 2 double, 3 extended.
unsigned X87Precision() {
  unsigned short word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return (word >> 8) & 3u;
}

void ExpectCommittedChecksum() {
  uint64_t vertices = 0;
  const uint64_t checksum = testing_support::FixedRunChecksum(vertices);
  std::printf("fixed run: %" PRIu64 " vertices, checksum 0x%016" PRIX64 "\n", vertices, checksum);
  EXPECT_GT(vertices, uint64_t{35} * testing_support::kFixedRunFrames * 190 * 100);
  EXPECT_EQ(checksum, testing_support::kFixedRunChecksum);
}

TEST(VertexChecksumWindows, FixedRunOfEveryPresetGivesTheNativeBuildsChecksum) { ExpectCommittedChecksum(); }

// What the flag guards against: a device made without it drops the thread's x87 precision to single (so
// the check below can fail). The precision is restored afterwards.
TEST(VertexChecksumWindows, ADeviceMadeWithoutFpuPreserveDropsTheX87Precision) {
  const unsigned before = X87Precision();
  ASSERT_NE(before, 0u);
  IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(direct3d, nullptr);
  test::DeviceWindow window(320, 240);
  D3DPRESENT_PARAMETERS parameters{};
  parameters.Windowed = TRUE;
  parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  parameters.hDeviceWindow = window.get();
  IDirect3DDevice9* device = nullptr;
  const HRESULT hr = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(),
                                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device);
  const unsigned after = X87Precision();
  unsigned short word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  word = static_cast<unsigned short>((word & ~0x300u) | (before << 8));
  __asm__ volatile("fldcw %0" : : "m"(word));
  if (device) device->Release();
  direct3d->Release();
  ASSERT_TRUE(SUCCEEDED(hr)) << "no Direct3D device";
  EXPECT_EQ(after, 0u) << "the device left the x87 precision alone: the flag's test proves nothing here";
  EXPECT_EQ(X87Precision(), before);
}

TEST(VertexChecksumWindows, AfterTheRenderersDeviceIsMadeTheBitsAndTheX87PrecisionStay) {
  const unsigned before = X87Precision();
  ASSERT_NE(before, 0u);
  test::RenderRig rig;
  ASSERT_EQ(rig.Start(), S_OK) << "no Direct3D device";
  EXPECT_EQ(X87Precision(), before) << "the device changed the thread's x87 precision";
  ExpectCommittedChecksum();
  EXPECT_GE(testing_support::CompareRandomFrames(20, 40, 10), 300);
  rig.Stop();
}

}  // namespace
}  // namespace lumar
