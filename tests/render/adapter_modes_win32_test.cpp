// The adapter checks and the mode lists against Wine's Direct3D on the test's display, and each of the
// seven checks failing in turn through a Direct3D object that refuses one call.
#include "render/adapter_modes_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box_win32.h"
#include "render/forwarding_direct3d_win32.h"

namespace lumar {
namespace {

std::vector<std::string> shownMessages;
void RecordMessage(const char* text, UINT) { shownMessages.emplace_back(text); }

class AdapterModesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shownMessages.clear();
    previousSink_ = SetMessageSink(RecordMessage);
    direct3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(direct3d_, nullptr);
  }
  void TearDown() override {
    if (direct3d_) direct3d_->Release();
    SetMessageSink(previousSink_);
  }
  IDirect3D9* direct3d_ = nullptr;

 private:
  MessageSink previousSink_ = nullptr;
};

TEST_F(AdapterModesTest, WineListsTheDisplayModeOfTheTestScreen) {
  AdapterModes modes;
  ASSERT_EQ(EnumerateAdapterModes(direct3d_, modes), S_OK);
  EXPECT_TRUE(shownMessages.empty());
  EXPECT_EQ(modes.desktopMode.Width, static_cast<UINT>(GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_EQ(modes.desktopMode.Height, static_cast<UINT>(GetSystemMetrics(SM_CYSCREEN)));
  const DisplayModeList& list =
      ModeListForFormat(modes.lists, static_cast<int32_t>(modes.desktopMode.Format));
  const int found = FindMode(list, modes.desktopMode.Width, modes.desktopMode.Height);
  ASSERT_GE(found, 0);
  EXPECT_EQ(list[static_cast<size_t>(found)].format, static_cast<int32_t>(modes.desktopMode.Format));
  // A resolution that reached the desktop's refresh rate keeps it.
  EXPECT_EQ(list[static_cast<size_t>(found)].refreshRate, modes.desktopMode.RefreshRate);
  for (const DisplayMode& mode : list) {
    EXPECT_GE(mode.width, 640u);
    EXPECT_GE(mode.height, 480u);
  }
  // Which of the two follows from the adapter's capabilities: see the test below.
  EXPECT_TRUE(modes.behaviorFlags == D3DCREATE_HARDWARE_VERTEXPROCESSING ||
              modes.behaviorFlags == D3DCREATE_SOFTWARE_VERTEXPROCESSING);
}

// Reports the real adapter's capabilities with hardware transform and lighting present or absent.
class TransformAndLightingDirect3D : public test::ForwardingDirect3D {
 public:
  TransformAndLightingDirect3D(IDirect3D9* real, bool hardware)
      : ForwardingDirect3D(real), hardware_(hardware) {}
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    const HRESULT hr = real()->GetDeviceCaps(adapter, type, caps);
    if (hardware_) {
      caps->DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    } else {
      caps->DevCaps &= ~static_cast<DWORD>(D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    }
    return hr;
  }

 private:
  bool hardware_;
};

TEST_F(AdapterModesTest, VertexProcessingFollowsTheAdaptersTransformAndLighting) {
  const struct {
    bool hardware;
    DWORD expected;
  } cases[] = {{true, D3DCREATE_HARDWARE_VERTEXPROCESSING}, {false, D3DCREATE_SOFTWARE_VERTEXPROCESSING}};
  for (const auto& c : cases) {
    TransformAndLightingDirect3D adapter(direct3d_, c.hardware);
    AdapterModes modes;
    ASSERT_EQ(EnumerateAdapterModes(&adapter, modes), S_OK);
    EXPECT_EQ(modes.behaviorFlags, c.expected) << c.hardware;
  }
}

// Which check of the start of the enumeration refuses.
enum class Refusal { kNoAdapter, kDisplayMode, kCaps, kWindowed, kDepthFormat, kDepthMatch, kMultiSample };

// Forwards to the real object, except for the one call that `refusal` names.
class RefusingDirect3D : public test::ForwardingDirect3D {
 public:
  RefusingDirect3D(IDirect3D9* real, Refusal refusal) : ForwardingDirect3D(real), refusal_(refusal) {}

  UINT STDMETHODCALLTYPE GetAdapterCount() override {
    return refusal_ == Refusal::kNoAdapter ? 0 : real()->GetAdapterCount();
  }
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    return refusal_ == Refusal::kDisplayMode ? D3DERR_INVALIDCALL
                                             : real()->GetAdapterDisplayMode(adapter, mode);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT back,
                                            WINBOOL windowed) override {
    if (refusal_ == Refusal::kWindowed && windowed) return D3DERR_NOTAVAILABLE;
    return real()->CheckDeviceType(adapter, type, display, back, windowed);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              DWORD usage, D3DRESOURCETYPE resource,
                                              D3DFORMAT format) override {
    if (refusal_ == Refusal::kDepthFormat) return D3DERR_NOTAVAILABLE;
    return real()->CheckDeviceFormat(adapter, type, adapterFormat, usage, resource, format);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                                                       WINBOOL windowed, D3DMULTISAMPLE_TYPE samples,
                                                       DWORD* quality) override {
    if (refusal_ == Refusal::kMultiSample) return D3DERR_NOTAVAILABLE;
    return real()->CheckDeviceMultiSampleType(adapter, type, format, windowed, samples, quality);
  }
  HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                   D3DFORMAT target, D3DFORMAT depth) override {
    if (refusal_ == Refusal::kDepthMatch) return D3DERR_NOTAVAILABLE;
    return real()->CheckDepthStencilMatch(adapter, type, adapterFormat, target, depth);
  }
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    return refusal_ == Refusal::kCaps ? D3DERR_INVALIDCALL : real()->GetDeviceCaps(adapter, type, caps);
  }

 private:
  Refusal refusal_;
};

TEST_F(AdapterModesTest, EachAdapterCheckReportsItsOwnMessage) {
  const struct {
    Refusal refusal;
    const char* message;
  } cases[] = {
      {Refusal::kNoAdapter, "In your system not found DirectX-compatible adapters"},
      {Refusal::kDisplayMode, "Unable to detect current mode"},
      {Refusal::kCaps, "Unable to get HAL features"},
      {Refusal::kWindowed, "Window mode not supported by HAL"},
      {Refusal::kDepthFormat, "Not supported DepthFormat = D3DFMT_D16 (1)"},
      {Refusal::kDepthMatch, "Not supported DepthFormat = D3DFMT_D16 (2)"},
      {Refusal::kMultiSample,
       "Not supported MultiSampleType = D3DMULTISAMPLE_NONE "
       "\xE4\xEB\xFF \xEE\xEA\xEE\xED\xED\xEE\xE3\xEE \xF0\xE5\xE6\xE8\xEC\xE0"},
  };
  for (const auto& c : cases) {
    shownMessages.clear();
    RefusingDirect3D refusing(direct3d_, c.refusal);
    AdapterModes modes;
    EXPECT_EQ(EnumerateAdapterModes(&refusing, modes), E_FAIL) << c.message;
    EXPECT_EQ(shownMessages, std::vector<std::string>{c.message});
    EXPECT_TRUE(modes.lists.modesX8R8G8B8.empty() && modes.lists.foundFormats.empty()) << c.message;
  }
  shownMessages.clear();
  AdapterModes modes;
  EXPECT_EQ(EnumerateAdapterModes(nullptr, modes), E_FAIL);
  EXPECT_TRUE(shownMessages.empty());
}

}  // namespace
}  // namespace lumar
