#include "platform/imaging_component_win32.h"

#include <windows.h>
// After windows.h: the GUIDs of wincodec.h are defined here rather than taken from an import library.
#include <initguid.h>
#include <objbase.h>
#include <wincodec.h>

#include <utility>

#include "platform/com_ptr_win32.h"
#include "platform/system_libraries_win32.h"

namespace lumar {

namespace {

// The COM calls, looked up in ole32.dll from the system folder: lumar.scr's import table keeps to the
// libraries it has always named.
class Ole32 {
 public:
  Ole32() : module_(LoadSystemLibrary("ole32.dll")) {
    if (!module_) return;
    initialize_ = reinterpret_cast<InitializeProc>(Find("CoInitializeEx"));
    uninitialize_ = reinterpret_cast<UninitializeProc>(Find("CoUninitialize"));
    createInstance_ = reinterpret_cast<CreateInstanceProc>(Find("CoCreateInstance"));
  }
  Ole32(const Ole32&) = delete;
  Ole32& operator=(const Ole32&) = delete;
  ~Ole32() {
    if (module_) FreeLibrary(module_);
  }

  bool ok() const { return initialize_ && uninitialize_ && createInstance_; }
  HRESULT Initialize() const {
    return initialize_(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  }
  void Uninitialize() const { uninitialize_(); }
  HRESULT CreateFactory(IWICImagingFactory** factory) const {
    return createInstance_(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(factory));
  }

 private:
  using InitializeProc = HRESULT(WINAPI*)(void*, DWORD);
  using UninitializeProc = void(WINAPI*)();
  using CreateInstanceProc = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);

  void* Find(const char* name) const { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }

  HMODULE module_;
  InitializeProc initialize_ = nullptr;
  UninitializeProc uninitialize_ = nullptr;
  CreateInstanceProc createInstance_ = nullptr;
};

const Ole32& Ole32Library() {
  static const Ole32 library;
  return library;
}

// The calling thread inside a COM apartment for the lifetime of this object. A thread already in one
// (the dialog's, after the file browser) stays in it; a thread in the multithreaded apartment works too.
class ComApartment {
 public:
  explicit ComApartment(const Ole32& ole) : ole_(ole) {
    const HRESULT hr = ole.Initialize();
    joined_ = SUCCEEDED(hr);  // S_OK and S_FALSE both want their CoUninitialize
    usable_ = joined_ || hr == RPC_E_CHANGED_MODE;
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (joined_) ole_.Uninitialize();
  }
  bool usable() const { return usable_; }

 private:
  const Ole32& ole_;
  bool joined_ = false;
  bool usable_ = false;
};

// How a codec's failure reads to the loader's callers.
ImageStatus StatusOf(HRESULT hr) {
  if (hr == WINCODEC_ERR_COMPONENTNOTFOUND || hr == WINCODEC_ERR_UNKNOWNIMAGEFORMAT)
    return ImageStatus::kUnknownFormat;
  if (hr == E_OUTOFMEMORY) return ImageStatus::kOutOfMemory;
  if (hr == WINCODEC_ERR_STREAMREAD || hr == WINCODEC_ERR_STREAMNOTAVAILABLE ||
      hr == HRESULT_FROM_WIN32(ERROR_HANDLE_EOF))
    return ImageStatus::kTruncated;
  return ImageStatus::kInvalid;
}

// The imaging factory, with the calling thread in an apartment while it lives.
struct Factory {
  explicit Factory(const Ole32& ole) : apartment(ole) {
    if (ole.ok() && apartment.usable()) created = ole.CreateFactory(factory.Receive());
  }
  explicit operator bool() const { return SUCCEEDED(created) && factory; }

  ComApartment apartment;  // first in, last out: the COM objects go before the apartment
  ComPtr<IWICImagingFactory> factory;
  HRESULT created = E_FAIL;
};

}  // namespace

bool ImagingComponentAvailable() {
  const Ole32& ole = Ole32Library();
  if (!ole.ok()) return false;
  return static_cast<bool>(Factory(ole));
}

ImageStatus DecodeWithImagingComponent(const uint8_t* data, size_t size, Image& image) {
  const Ole32& ole = Ole32Library();
  if (!ole.ok()) return ImageStatus::kUnknownFormat;
  if (size > MAXDWORD) return ImageStatus::kFileUnreadable;
  Factory wic(ole);
  if (!wic) return ImageStatus::kUnknownFormat;
  ComPtr<IWICStream> stream;
  HRESULT hr = wic.factory->CreateStream(stream.Receive());
  if (SUCCEEDED(hr)) hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
  ComPtr<IWICBitmapDecoder> decoder;
  if (SUCCEEDED(hr))
    hr = wic.factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.Receive());
  ComPtr<IWICBitmapFrameDecode> frame;
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.Receive());
  UINT width = 0, height = 0;
  if (SUCCEEDED(hr)) hr = frame->GetSize(&width, &height);
  if (FAILED(hr)) return StatusOf(hr);
  // The declared size, before a pixel is decoded: a header claiming 30000 x 30000 costs nothing.
  if (!ImageSizeAllowed(width, height)) return ImageStatus::kTooLarge;
  ComPtr<IWICFormatConverter> converter;
  hr = wic.factory->CreateFormatConverter(converter.Receive());
  // 32bppBGRA in memory is the loader's 0xAARRGGBB word; pictures without alpha get A = 255.
  if (SUCCEEDED(hr))
    hr = converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                               0.0, WICBitmapPaletteTypeCustom);
  if (FAILED(hr)) return StatusOf(hr);
  Image decoded;
  decoded.width = width;
  decoded.height = height;
  decoded.pixels.resize(static_cast<size_t>(width) * height);
  const UINT stride = width * 4;
  hr = converter->CopyPixels(nullptr, stride, static_cast<UINT>(decoded.pixels.size() * 4),
                             reinterpret_cast<BYTE*>(decoded.pixels.data()));
  if (FAILED(hr)) return StatusOf(hr);
  image = std::move(decoded);
  return ImageStatus::kOk;
}

}  // namespace lumar
