// Fault injection at the Direct3D and GDI calls of a run: a forwarding Direct3D object whose devices hand
// out forwarding textures, buffers and state blocks, and a GDI table over the system's; every call that
// can fail goes through one plan, which counts the calls of each error kind and fails the N-th one with an
// error that call can really return. The same doubles count the COM and GDI objects still alive.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gdi_calls_win32.h"
#include "render/forwarding_device_win32.h"
#include "render/forwarding_direct3d_win32.h"
#include "render/forwarding_resources_win32.h"

namespace lumar::test {

// The errors a call may be failed with.
enum class FaultKind { kOutOfMemory, kOutOfVideoMemory, kInvalidCall, kDeviceLost, kNullHandle };
constexpr int kFaultKindCount = 5;
using FaultKinds = unsigned;
constexpr FaultKinds Kind(FaultKind kind) { return 1u << static_cast<int>(kind); }

inline const char* FaultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kOutOfMemory:
      return "E_OUTOFMEMORY";
    case FaultKind::kOutOfVideoMemory:
      return "D3DERR_OUTOFVIDEOMEMORY";
    case FaultKind::kInvalidCall:
      return "D3DERR_INVALIDCALL";
    case FaultKind::kDeviceLost:
      return "D3DERR_DEVICELOST";
    case FaultKind::kNullHandle:
      return "a null handle";
  }
  return "?";
}

inline HRESULT FaultCode(FaultKind kind) {
  switch (kind) {
    case FaultKind::kOutOfMemory:
      return E_OUTOFMEMORY;
    case FaultKind::kOutOfVideoMemory:
      return D3DERR_OUTOFVIDEOMEMORY;
    case FaultKind::kDeviceLost:
      return D3DERR_DEVICELOST;
    default:
      return D3DERR_INVALIDCALL;
  }
}

// What each kind of call can really return.
constexpr FaultKinds kCreationFaults =
    Kind(FaultKind::kOutOfMemory) | Kind(FaultKind::kOutOfVideoMemory) | Kind(FaultKind::kInvalidCall);
constexpr FaultKinds kDeviceCreationFaults =
    Kind(FaultKind::kOutOfVideoMemory) | Kind(FaultKind::kInvalidCall) | Kind(FaultKind::kDeviceLost);
constexpr FaultKinds kResetFaults =
    Kind(FaultKind::kOutOfVideoMemory) | Kind(FaultKind::kInvalidCall) | Kind(FaultKind::kDeviceLost);
constexpr FaultKinds kPresentFaults = Kind(FaultKind::kInvalidCall) | Kind(FaultKind::kDeviceLost);
constexpr FaultKinds kInvalidCallOnly = Kind(FaultKind::kInvalidCall);
constexpr FaultKinds kLossOnly = Kind(FaultKind::kDeviceLost);
constexpr FaultKinds kNullHandleOnly = Kind(FaultKind::kNullHandle);

// Counts the calls of every kind and fails the chosen one. Armed with `failAt` 0 it only counts. A call is
// known by its site (the interface method or GDI function), the code that made it (its return address),
// the phase of the run the test is in, and the device it went to: the first call of each such place is
// where a fault differs from its neighbours, later ones repeat it frame after frame.
class FaultPlan {
 public:
  void Arm(FaultKind kind, long failAt) {
    kind_ = kind;
    failAt_ = failAt;
    counts_.clear();
    places_.clear();
    firstCalls_.clear();
    callers_.clear();
    callerOrder_.clear();
    sites.clear();
    failedSite.clear();
    phase = 0;
    devicesMade = 0;
    paused = false;
  }
  void Disarm() { failAt_ = 0; }

  // Every wrapped call asks: true when this call is the one to fail.
  bool Fails(const char* site, FaultKinds kinds, const void* caller, int device = -1) {
    if (paused) return false;
    ++sites[site];
    const bool newCaller = callers_.emplace(caller, CallerRecord{}).second;
    CallerRecord& record = callers_[caller];
    if (newCaller) {
      record.kinds = kinds;
      callerOrder_.push_back(caller);
    }
    bool fails = false;
    for (int k = 0; k < kFaultKindCount; ++k) {
      if (!(kinds & (1u << k))) continue;
      const long n = ++counts_[k];
      if (newCaller) record.firstCall[k] = n;
      if (places_.insert(std::make_tuple(k, caller, phase, device)).second) firstCalls_[k].push_back(n);
      if (k == static_cast<int>(kind_) && failAt_ != 0 && n == failAt_) fails = true;
    }
    if (fails) failedSite = site;
    return fails;
  }

  FaultKind kind() const { return kind_; }
  long count(FaultKind kind) const {
    const auto found = counts_.find(static_cast<int>(kind));
    return found == counts_.end() ? 0 : found->second;
  }
  // The numbers of the calls of `kind` that are the first at their place.
  std::vector<long> FirstCalls(FaultKind kind) const {
    const auto found = firstCalls_.find(static_cast<int>(kind));
    return found == firstCalls_.end() ? std::vector<long>{} : found->second;
  }
  // How many places in our code made the calls.
  size_t callSites() const { return callers_.size(); }
  // One call of each call site of our code, its first, each failed with one of the errors it can return,
  // taken in turn from site to site: the numbers of those given `kind`.
  std::vector<long> FirstCallOfEachSite(FaultKind kind) const {
    std::vector<long> chosen;
    for (size_t i = 0; i < callerOrder_.size(); ++i) {
      const CallerRecord& record = callers_.at(callerOrder_[i]);
      std::vector<int> kinds;
      for (int k = 0; k < kFaultKindCount; ++k)
        if (record.kinds & (1u << k)) kinds.push_back(k);
      if (!kinds.empty() && kinds[i % kinds.size()] == static_cast<int>(kind))
        chosen.push_back(record.firstCall[static_cast<int>(kind)]);
    }
    // A kind that no site drew in turn still gets the first site that can return it: every kind is
    // injected at least once.
    for (size_t i = 0; chosen.empty() && i < callerOrder_.size(); ++i) {
      const CallerRecord& record = callers_.at(callerOrder_[i]);
      if (record.kinds & (1u << static_cast<int>(kind)))
        chosen.push_back(record.firstCall[static_cast<int>(kind)]);
    }
    return chosen;
  }

  std::map<std::string, long> sites;  // every interface method or function asked, with its calls
  std::string failedSite;             // where the fault was injected; empty when none was
  int phase = 0;                      // set by the test as the run goes on
  int devicesMade = 0;                // devices made since Arm, numbering them
  bool paused = false;                // while set, calls are neither counted nor failed

 private:
  FaultKind kind_ = FaultKind::kOutOfMemory;
  long failAt_ = 0;
  std::map<int, long> counts_;
  std::set<std::tuple<int, const void*, int, int>> places_;
  std::map<int, std::vector<long>> firstCalls_;
  struct CallerRecord {
    FaultKinds kinds = 0;
    long firstCall[kFaultKindCount] = {};
  };
  std::map<const void*, CallerRecord> callers_;
  std::vector<const void*> callerOrder_;
};

inline FaultPlan& Faults() {
  static FaultPlan plan;
  return plan;
}

// The COM objects our doubles handed out that are still referenced, and the real objects that outlived
// their last release (a device whose resources were never released).
struct LiveObjects {
  long com = 0;
  long realLeftOver = 0;
  long gdi = 0;
};
inline LiveObjects& Live() {
  static LiveObjects live;
  return live;
}

// Our doubles alive, so that an object handed back to the device can be told from a real one without
// looking into it.
inline std::set<const void*>& Doubles() {
  static std::set<const void*> doubles;
  return doubles;
}

// A double counted while alive, which reports what its real object kept after the last release.
template <typename Base>
class Counted : public Base {
 public:
  template <typename Real>
  explicit Counted(Real* real) : Base(real) {
    ++Live().com;
    Doubles().insert(this);
  }

 protected:
  void Released(ULONG realLeft) override {
    --Live().com;
    Doubles().erase(this);
    if (realLeft != 0) ++Live().realLeftOver;
  }
};

class FaultyTexture : public Counted<ForwardingTexture> {
 public:
  using Counted::Counted;
  HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                                     DWORD flags) override {
    if (Faults().Fails("IDirect3DTexture9::LockRect", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->LockRect(level, locked, rect, flags);
  }
  HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
    if (Faults().Fails("IDirect3DTexture9::GetLevelDesc", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->GetLevelDesc(level, desc);
  }
};

class FaultyVertexBuffer : public Counted<ForwardingVertexBuffer> {
 public:
  using Counted::Counted;
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
    if (Faults().Fails("IDirect3DVertexBuffer9::Lock", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->Lock(offset, size, data, flags);
  }
};

class FaultyIndexBuffer : public Counted<ForwardingIndexBuffer> {
 public:
  using Counted::Counted;
  HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
    if (Faults().Fails("IDirect3DIndexBuffer9::Lock", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->Lock(offset, size, data, flags);
  }
};

class FaultyStateBlock : public Counted<ForwardingStateBlock> {
 public:
  using Counted::Counted;
  HRESULT STDMETHODCALLTYPE Capture() override {
    if (Faults().Fails("IDirect3DStateBlock9::Capture", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->Capture();
  }
  HRESULT STDMETHODCALLTYPE Apply() override {
    if (Faults().Fails("IDirect3DStateBlock9::Apply", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->Apply();
  }
};

// The real object behind one of our doubles (the device passes real objects on).
template <typename Double, typename Real>
Real* Unwrap(Real* object) {
  if (!object || !Doubles().count(object)) return object;
  return static_cast<Double*>(object)->real();
}

// A device whose calls that can fail go through the plan. An injected D3DERR_DEVICELOST loses the device
// as a driver would: the call reports the loss where it can, TestCooperativeLevel reports
// D3DERR_DEVICELOST once and then D3DERR_DEVICENOTRESET until a Reset succeeds, and Present fails the while.
class FaultyDevice : public Counted<ForwardingDevice> {
 public:
  explicit FaultyDevice(IDirect3DDevice9* real) : Counted(real), ordinal_(Faults().devicesMade++) {
    Alive().insert(this);
  }
  // The devices not yet released, in no order.
  static std::set<FaultyDevice*>& Alive() {
    static std::set<FaultyDevice*> alive;
    return alive;
  }
  // Called at every device check before anything else (the soak forces its losses there).
  static inline void (*beforeCheck)(FaultyDevice&) = nullptr;

  enum class Loss { kNone, kLost, kNotReset };
  Loss loss = Loss::kNone;
  int presented = 0;  // successful Present calls
  // Forces a device loss from outside (a scripted loss cycle).
  void Lose() { loss = Loss::kLost; }

  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
    if (beforeCheck) beforeCheck(*this);
    if (Check("TestCooperativeLevel", kLossOnly, __builtin_return_address(0))) return D3DERR_DEVICELOST;
    if (loss == Loss::kLost) {
      loss = Loss::kNotReset;
      return D3DERR_DEVICELOST;
    }
    if (loss == Loss::kNotReset) return D3DERR_DEVICENOTRESET;
    return real()->TestCooperativeLevel();
  }
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* parameters) override {
    if (Check("Reset", kResetFaults, __builtin_return_address(0))) return Injected();
    if (loss == Loss::kLost) return D3DERR_DEVICELOST;
    const HRESULT hr = real()->Reset(parameters);
    if (SUCCEEDED(hr)) loss = Loss::kNone;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Present(const RECT* source, const RECT* destination, HWND window,
                                    const RGNDATA* dirty) override {
    if (Check("Present", kPresentFaults, __builtin_return_address(0))) return Injected();
    if (loss != Loss::kNone) return D3DERR_DEVICELOST;
    const HRESULT hr = real()->Present(source, destination, window, dirty);
    if (SUCCEEDED(hr)) ++presented;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override {
    if (Check("GetDeviceCaps", kInvalidCallOnly, __builtin_return_address(0))) return D3DERR_INVALIDCALL;
    return real()->GetDeviceCaps(caps);
  }
  HRESULT STDMETHODCALLTYPE BeginScene() override {
    if (Check("BeginScene", kInvalidCallOnly, __builtin_return_address(0))) return D3DERR_INVALIDCALL;
    return real()->BeginScene();
  }
  HRESULT STDMETHODCALLTYPE EndScene() override {
    if (Check("EndScene", kInvalidCallOnly, __builtin_return_address(0))) return D3DERR_INVALIDCALL;
    return real()->EndScene();
  }
  HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z,
                                  DWORD stencil) override {
    if (Check("Clear", kInvalidCallOnly, __builtin_return_address(0))) return D3DERR_INVALIDCALL;
    return real()->Clear(count, rects, flags, colour, z, stencil);
  }
  HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override {
    if (Check("DrawPrimitive", kInvalidCallOnly, __builtin_return_address(0))) return D3DERR_INVALIDCALL;
    return real()->DrawPrimitive(type, start, count);
  }
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                                                 UINT vertexCount, UINT startIndex, UINT count) override {
    if (Check("DrawIndexedPrimitive", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->DrawIndexedPrimitive(type, baseVertex, minIndex, vertexCount, startIndex, count);
  }

  HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool, IDirect3DTexture9** texture,
                                          HANDLE* shared) override {
    if (Check("CreateTexture", kCreationFaults, __builtin_return_address(0))) return Injected();
    const HRESULT hr = real()->CreateTexture(width, height, levels, usage, format, pool, texture, shared);
    if (SUCCEEDED(hr) && *texture) *texture = new FaultyTexture(*texture);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override {
    if (Check("CreateVertexBuffer", kCreationFaults, __builtin_return_address(0))) return Injected();
    const HRESULT hr = real()->CreateVertexBuffer(length, usage, fvf, pool, buffer, shared);
    if (SUCCEEDED(hr) && *buffer) *buffer = new FaultyVertexBuffer(*buffer);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override {
    if (Check("CreateIndexBuffer", kCreationFaults, __builtin_return_address(0))) return Injected();
    const HRESULT hr = real()->CreateIndexBuffer(length, usage, format, pool, buffer, shared);
    if (SUCCEEDED(hr) && *buffer) *buffer = new FaultyIndexBuffer(*buffer);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) override {
    if (Check("CreateStateBlock", kCreationFaults, __builtin_return_address(0))) return Injected();
    const HRESULT hr = real()->CreateStateBlock(type, block);
    if (SUCCEEDED(hr) && *block) *block = new FaultyStateBlock(*block);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE BeginStateBlock() override {
    if (Check("BeginStateBlock", kInvalidCallOnly, __builtin_return_address(0))) return D3DERR_INVALIDCALL;
    return real()->BeginStateBlock();
  }
  HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** block) override {
    if (Check("EndStateBlock", kCreationFaults, __builtin_return_address(0))) {
      // The recording ends either way; the block made is dropped.
      IDirect3DStateBlock9* dropped = nullptr;
      if (SUCCEEDED(real()->EndStateBlock(&dropped)) && dropped) dropped->Release();
      *block = nullptr;
      return Injected();
    }
    const HRESULT hr = real()->EndStateBlock(block);
    if (SUCCEEDED(hr) && *block) *block = new FaultyStateBlock(*block);
    return hr;
  }

  // Resources given back to the device are the real ones.
  HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override {
    return real()->SetTexture(stage, UnwrapTexture(texture));
  }
  HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                            UINT stride) override {
    return real()->SetStreamSource(stream, Unwrap<FaultyVertexBuffer>(buffer), offset, stride);
  }
  HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* buffer) override {
    return real()->SetIndices(Unwrap<FaultyIndexBuffer>(buffer));
  }
  HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* source,
                                          IDirect3DBaseTexture9* target) override {
    return real()->UpdateTexture(UnwrapTexture(source), UnwrapTexture(target));
  }

 protected:
  void Released(ULONG realLeft) override {
    Alive().erase(this);
    Counted::Released(realLeft);
  }

 private:
  // Our textures are the only ones the saver makes, always as IDirect3DTexture9.
  static IDirect3DBaseTexture9* UnwrapTexture(IDirect3DBaseTexture9* texture) {
    if (!texture || !Doubles().count(texture)) return texture;
    return static_cast<FaultyTexture*>(texture)->real();
  }
  // Asks the plan; an injected loss also loses the device from here on.
  bool Check(const char* method, FaultKinds kinds, const void* caller) {
    const bool fails =
        Faults().Fails((std::string("IDirect3DDevice9::") + method).c_str(), kinds, caller, ordinal_);
    if (fails && Faults().kind() == FaultKind::kDeviceLost) loss = Loss::kLost;
    return fails;
  }
  static HRESULT Injected() { return FaultCode(Faults().kind()); }

  int ordinal_;  // 0 for the first device of the run, 1 for the next...
};

// The Direct3D object: its calls that can fail go through the plan, and its devices are FaultyDevices.
class FaultyDirect3D : public ForwardingDirect3D {
 public:
  using ForwardingDirect3D::ForwardingDirect3D;

  HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                                         D3DPRESENT_PARAMETERS* parameters,
                                         IDirect3DDevice9** device) override {
    if (Faults().Fails("IDirect3D9::CreateDevice", kDeviceCreationFaults, __builtin_return_address(0)))
      return FaultCode(Faults().kind());
    const HRESULT hr = real()->CreateDevice(adapter, type, window, flags, parameters, device);
    if (SUCCEEDED(hr) && *device) {
      *device = new FaultyDevice(*device);
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (Faults().Fails("IDirect3D9::GetAdapterDisplayMode", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->GetAdapterDisplayMode(adapter, mode);
  }
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    if (Faults().Fails("IDirect3D9::GetDeviceCaps", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->GetDeviceCaps(adapter, type, caps);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT back,
                                            WINBOOL windowed) override {
    if (Faults().Fails("IDirect3D9::CheckDeviceType", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->CheckDeviceType(adapter, type, display, back, windowed);
  }
  HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              DWORD usage, D3DRESOURCETYPE resource,
                                              D3DFORMAT format) override {
    if (Faults().Fails("IDirect3D9::CheckDeviceFormat", kInvalidCallOnly, __builtin_return_address(0)))
      return D3DERR_INVALIDCALL;
    return real()->CheckDeviceFormat(adapter, type, adapterFormat, usage, resource, format);
  }
};

// The GDI table with every creation counted while its object lives, and every call that can fail asked
// of the plan. Install() puts it in place; the destructor puts the system's functions back.
class FaultyGdi {
 public:
  FaultyGdi() { Install(); }
  FaultyGdi(const FaultyGdi&) = delete;
  FaultyGdi& operator=(const FaultyGdi&) = delete;
  ~FaultyGdi() { Gdi() = GdiCalls{}; }

  static void Install() {
    GdiCalls& gdi = Gdi();
    gdi.createDC = CreateDc;
    gdi.createCompatibleDC = CreateCompatibleDc;
    gdi.deleteDC = DeleteDc;
    gdi.createDIBSection = CreateDibSection;
    gdi.createFont = MakeFont;
    gdi.selectObject = Select;
    gdi.deleteObject = Delete;
    gdi.bitBlt = Blt;
    gdi.stretchBlt = StretchedBlt;
  }

 private:
  // Not inlined, so that the return address is the place in our code that called.
#define LUMAR_GDI_DOUBLE __attribute__((noinline)) static
  LUMAR_GDI_DOUBLE HDC WINAPI CreateDc(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode) {
    if (Faults().Fails("CreateDCA", kNullHandleOnly, __builtin_return_address(0))) return nullptr;
    return Track(CreateDCA(driver, device, port, mode));
  }
  LUMAR_GDI_DOUBLE HDC WINAPI CreateCompatibleDc(HDC dc) {
    if (Faults().Fails("CreateCompatibleDC", kNullHandleOnly, __builtin_return_address(0))) return nullptr;
    return Track(CreateCompatibleDC(dc));
  }
  LUMAR_GDI_DOUBLE BOOL WINAPI DeleteDc(HDC dc) {
    const BOOL deleted = DeleteDC(dc);
    if (deleted) --Live().gdi;
    return deleted;
  }
  LUMAR_GDI_DOUBLE HBITMAP WINAPI CreateDibSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                                   HANDLE section, DWORD offset) {
    if (Faults().Fails("CreateDIBSection", kNullHandleOnly, __builtin_return_address(0))) {
      if (bits) *bits = nullptr;
      return nullptr;
    }
    return Track(CreateDIBSection(dc, info, usage, bits, section, offset));
  }
  LUMAR_GDI_DOUBLE HFONT WINAPI MakeFont(int height, int width, int escapement, int orientation, int weight,
                                         DWORD italic, DWORD underline, DWORD strikeOut, DWORD charset,
                                         DWORD precision, DWORD clip, DWORD quality, DWORD pitch,
                                         LPCSTR face) {
    if (Faults().Fails("CreateFontA", kNullHandleOnly, __builtin_return_address(0))) return nullptr;
    return Track(CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                             charset, precision, clip, quality, pitch, face));
  }
  LUMAR_GDI_DOUBLE HGDIOBJ WINAPI Select(HDC dc, HGDIOBJ object) {
    if (Faults().Fails("SelectObject", kNullHandleOnly, __builtin_return_address(0))) return nullptr;
    return SelectObject(dc, object);
  }
  LUMAR_GDI_DOUBLE BOOL WINAPI Delete(HGDIOBJ object) {
    const BOOL deleted = DeleteObject(object);
    if (deleted) --Live().gdi;
    return deleted;
  }
  LUMAR_GDI_DOUBLE BOOL WINAPI Blt(HDC target, int x, int y, int w, int h, HDC source, int sx, int sy,
                                   DWORD op) {
    if (Faults().Fails("BitBlt", kNullHandleOnly, __builtin_return_address(0))) return FALSE;
    return BitBlt(target, x, y, w, h, source, sx, sy, op);
  }
  LUMAR_GDI_DOUBLE BOOL WINAPI StretchedBlt(HDC target, int x, int y, int w, int h, HDC source, int sx,
                                            int sy, int sw, int sh, DWORD op) {
    if (Faults().Fails("StretchBlt", kNullHandleOnly, __builtin_return_address(0))) return FALSE;
    return StretchBlt(target, x, y, w, h, source, sx, sy, sw, sh, op);
  }
#undef LUMAR_GDI_DOUBLE

  template <typename Handle>
  static Handle Track(Handle handle) {
    if (handle) ++Live().gdi;
    return handle;
  }
};

}  // namespace lumar::test
