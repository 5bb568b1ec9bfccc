#include "config/preview_pane_win32.h"

#include <chrono>
#include <cstring>

#include "platform/file_lookup_win32.h"
#include "platform/image_scaling.h"
#include "platform/imaging_component_win32.h"
#include "render/device_limits_win32.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {

namespace {

constexpr char kPaneClass[] = "LumarPreviewPane";
constexpr int kPausedLookMilliseconds = 250;
constexpr char kNoDevice[] = "No Direct3D device for the preview";
constexpr char kNoMemory[] = "Not enough memory for the preview";
constexpr char kNoSetUp[] = "These settings cannot be previewed";

bool SameValues(const ParameterSet& a, const ParameterSet& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The one line why for a device or its resources that could not be made.
const char* DeviceFailure(HRESULT hr) {
  return hr == E_OUTOFMEMORY || hr == D3DERR_OUTOFVIDEOMEMORY ? kNoMemory : kNoDevice;
}

// The pane's own run of `record`: its size, no frame counter.
ParameterSet PaneRecord(const ParameterSet& record, int width, int height) {
  ParameterSet pane;
  std::memcpy(&pane, &record, sizeof pane);
  pane.screenWidth = static_cast<uint32_t>(width);
  pane.screenHeight = static_cast<uint32_t>(height);
  pane.showFps = 0;
  return pane;
}

DesktopSize Desktop() { return DesktopSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

}  // namespace

LRESULT CALLBACK PreviewPane::PaneProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto* pane = reinterpret_cast<const PreviewPane*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      RECT area{};
      GetClientRect(window, &area);
      if (pane) pane->Paint(dc, area);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // a click leaves the dialog active
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

PreviewPane::PreviewPane(HWND dialog, HINSTANCE instance, int width, int height,
                         PaneDirect3DCreator createDirect3D)
    : dialog_(dialog), instance_(instance), createDirect3D_(createDirect3D), width_(width), height_(height) {
  WNDCLASSA paneClass{};
  paneClass.lpfnWndProc = PaneProcedure;
  paneClass.hInstance = instance_;
  paneClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  paneClass.lpszClassName = kPaneClass;
  RegisterClassA(&paneClass);  // fails harmlessly when a dialog before this one registered it
  // Owned by the dialog: above it, hidden with it when it is minimised, destroyed with it.
  pane_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPaneClass, "", WS_POPUP | WS_BORDER, 0, 0,
                          width_, height_, dialog_, nullptr, instance_, this);
}

PreviewPane::~PreviewPane() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  snapshot_.Release();
  if (pane_) DestroyWindow(pane_);
}

void PreviewPane::Start(const ParameterSet& record) {
  std::memcpy(&handedOver_, &record, sizeof handedOver_);
  std::memcpy(&pending_, &record, sizeof pending_);
  changed_ = true;
  // The desktop now, while the dialog is not on the screen: the snapshot's square follows from the
  // desktop and the device's texture limit alone, whatever the values.
  direct3d_ = createDirect3D_ ? createDirect3D_(D3D_SDK_VERSION) : nullptr;
  if (direct3d_) maxTextureEdge_ = QueryDeviceLimits(direct3d_).LargestSquareTexture();
  field_ = std::make_unique<WaveField>();
  ParameterSet first = PaneRecord(record, width_, height_);
  first.texture = kTextureDesktop;
  if (PrepareWaveField(*field_, first, Desktop(), PictureFileExists, maxTextureEdge_) == SetupResult::Ok)
    snapshot_.Take(field_->constants);
  if (width_ > 0 && height_ > 0) thread_ = std::thread([this] { Run(); });
}

void PreviewPane::Tick(const ParameterSet& record) {
  const bool shown = IsWindowVisible(dialog_) && !IsIconic(dialog_);
  paused_ = !shown;
  if (!shown) {
    if (IsWindowVisible(pane_)) ShowWindow(pane_, SW_HIDE);
    return;
  }
  if (!IsWindowVisible(pane_)) {
    FollowDialog();
    ShowWindow(pane_, SW_SHOWNOACTIVATE);
  }
  HandOver(record, held_);
  const uint32_t read = framesRead_;
  if (read != framesPainted_) {
    framesPainted_ = read;
    InvalidateRect(pane_, nullptr, FALSE);
    // The pane's text is its one line why (empty while it draws), for screen readers.
    std::string reason;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      reason = reason_;
    }
    if (reason != titleShown_) {
      titleShown_ = reason;
      SetWindowTextA(pane_, reason.c_str());
    }
  }
}

void PreviewPane::HandOver(const ParameterSet& record, bool thumbHeld) {
  const bool same = SameValues(record, handedOver_);
  if (same && thumbHeld == held_) return;
  held_ = thumbHeld;
  std::memcpy(&handedOver_, &record, sizeof handedOver_);
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!same) {
      std::memcpy(&pending_, &record, sizeof pending_);
      changed_ = true;
      lastHandOver_ = std::chrono::steady_clock::now();
    }
    thumbHeld_ = thumbHeld;
    wake = changed_ && !thumbHeld;
  }
  // While the thumb moves the run sleeps until it stops: no wake-up for each position.
  if (wake) wake_.notify_all();
}

PreviewPane* PreviewPane::Of(HWND window) {
  char name[64] = {};
  if (!window || !GetClassNameA(window, name, sizeof name) || std::strcmp(name, kPaneClass) != 0)
    return nullptr;
  return reinterpret_cast<PreviewPane*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

PaneWork PreviewPane::Work() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return work_;
}

bool PreviewPane::LastFrameShows(const ParameterSet& record) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return work_.frames > 0 && reason_.empty() && SameValues(frameValues_, record);
}

void PreviewPane::FollowDialog() const {
  RECT dialog{};
  GetWindowRect(dialog_, &dialog);
  SetWindowPos(pane_, nullptr, dialog.right, dialog.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PreviewPane::SetReason(const char* text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reason_ = text;
  }
  ++framesRead_;  // the panel is painted like a new frame
}

void PreviewPane::Run() {
  // Below the dialog's thread: when both want the processor, the controls come first.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  deviceWindow_ =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, width_, height_, nullptr, nullptr, instance_, nullptr);
  if (!direct3d_ || !deviceWindow_) SetReason(kNoDevice);
  using Clock = std::chrono::steady_clock;
  const auto framePeriod = std::chrono::milliseconds(kPreviewFrameMilliseconds);
  const auto thumbStill = std::chrono::milliseconds(kThumbStillMilliseconds);
  auto nextFrame = Clock::now();
  for (;;) {
    ParameterSet values;
    bool taken = false;
    bool moving = false;
    auto now = Clock::now();
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // Minimised or hidden: four looks a second whether the dialog is back. A thumb being dragged: until
      // it has been still for a moment. A change: at once. Otherwise the next frame's time, or while
      // there is nothing to draw (the panel) the next look.
      moving = changed_ && thumbHeld_ && now - lastHandOver_ < thumbStill;
      const auto until = paused_    ? now + std::chrono::milliseconds(kPausedLookMilliseconds)
                         : moving   ? lastHandOver_ + thumbStill
                         : changed_ ? now
                         : drawing_ ? nextFrame
                                    : now + std::chrono::milliseconds(kPausedLookMilliseconds);
      wake_.wait_until(lock, until, [this] { return stop_ || (changed_ && !thumbHeld_ && !paused_); });
      if (stop_) break;
      now = Clock::now();
      moving = changed_ && thumbHeld_ && now - lastHandOver_ < thumbStill;
      if (changed_ && !paused_ && !moving) {
        std::memcpy(&values, &pending_, sizeof values);
        changed_ = false;
        taken = true;
      }
    }
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (paused_ || moving || !direct3d_ || !deviceWindow_) continue;
    if (taken) SetUp(values);
    if (!drawing_ || (!taken && now < nextFrame)) continue;
    nextFrame = now + framePeriod;
    DrawFrame();
  }
  readBack_.reset();
  if (renderer_) renderer_->ReleaseDevice(false);
  renderer_.reset();
  if (deviceWindow_) DestroyWindow(deviceWindow_);
  if (direct3d_) direct3d_->Release();
}

// Only what a change needs: a slider or a button that the field alone reads sets up the field again; a
// view or orange-bar choice also the bar, light and camera; a new picture (texture or file) the picture
// texture besides; another effect (whose water cycle starts with the device) restarts the run on the same
// device, keeping the picture and buffers. A new device only when there is none.
void PreviewPane::SetUp(const ParameterSet& values) {
  const bool wasDrawing = drawing_;  // a failed set-up left no resources to keep
  drawing_ = false;
  const ParameterSet next = PaneRecord(values, width_, height_);
  const bool restart = next.effect != record_.effect || !wasDrawing;
  const bool newPicture =
      next.texture != record_.texture ||
      (next.texture == kTextureFile && std::strcmp(next.textureFile, record_.textureFile) != 0);
  const bool followScene =
      newPicture || next.view != record_.view || next.showOrangeBar != record_.showOrangeBar;
  std::memcpy(&record_, &next, sizeof record_);
  std::memcpy(&runValues_, &values, sizeof runValues_);
  // The user's picture is decoded once for as long as it stays the chosen one.
  if (record_.texture == kTextureFile && userPicturePath_ != record_.textureFile) {
    userPicture_ = Image{};
    userPicturePath_.clear();
    const uint32_t maxEdge = maxTextureEdge_ > 0 ? static_cast<uint32_t>(maxTextureEdge_) : kMaxImageEdge;
    const ImageStatus status =
        LoadTexturePicture(record_.textureFile, maxEdge, userPicture_, DecodeWithImagingComponent);
    if (status != ImageStatus::kOk) {
      const std::string why = std::string("The picture cannot be shown: ") + ImageStatusName(status);
      SetReason(why.c_str());
      return;
    }
    userPicturePath_ = record_.textureFile;
  }
  ClearSources(field_->sourceSet);
  // A set-up starts the sheet at rest; where the renderer goes on without starting again, the sheet goes on
  // at its level (full, or where the Aquarium's cycle has it), as in the saver.
  const float waterLevel = field_->waterLevel;
  const int draining = field_->draining;
  const SetupResult setup = PrepareWaveField(*field_, record_, Desktop(), PictureFileExists, maxTextureEdge_);
  if (setup != SetupResult::Ok) {
    SetReason(setup == SetupResult::OutOfMemory ? kNoMemory : kNoSetUp);
    return;
  }
  if (renderer_ && wasDrawing && !restart) {
    field_->waterLevel = waterLevel;
    field_->draining = draining;
  }
  const bool newDevice = !renderer_;
  const bool redoResources = newDevice || restart || followScene;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++work_.fieldSetUps;
    if (redoResources) ++work_.resourceSetUps;
    if (newDevice || !wasDrawing || newPicture) ++work_.pictureSetUps;
    if (newDevice) ++work_.deviceSetUps;
  }
  HRESULT hr = S_OK;
  if (newDevice) {
    RenderContext context;
    context.record = &record_;
    context.field = field_.get();
    context.snapshot = &snapshot_;
    context.userPicture = &userPicture_;
    context.clock = &clock_;
    context.instance = instance_;
    context.preview = true;
    renderer_ = std::make_unique<Renderer>(context);
    renderer_->SetFrameReader([this](IDirect3DDevice9* device) { ReadBack(device); });
    // The device's own error, which the renderer's answer does not carry (no device, or no memory).
    HRESULT made = S_OK;
    renderer_->SetDeviceFactory([&made](IDirect3D9* direct3d, HWND window, DWORD flags,
                                        D3DPRESENT_PARAMETERS& parameters, IDirect3DDevice9** device) {
      made = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, device);
      return made;
    });
    // The quiet creation: a failure shows the pane's panel, never a message box over the dialog.
    hr = renderer_->CreateMonitorDevice(direct3d_, deviceWindow_, D3DADAPTER_DEFAULT, deviceWindow_, false);
    if (FAILED(hr) && FAILED(made)) hr = made;
    if (FAILED(hr) && renderer_->device()) {
      // The device was made, its resources were not: once more, for their own error (and a shortage that
      // has passed).
      renderer_->ReleaseResources();
      hr = renderer_->CreateResources();
    }
    renderer_->SetDeviceFactory(nullptr);
    if (FAILED(hr)) renderer_.reset();
  } else if (!wasDrawing) {
    // A failed set-up may have left anything half made.
    renderer_->ReleaseResources();
    hr = renderer_->Restart();
  } else if (restart) {
    hr = renderer_->Restart();
    if (SUCCEEDED(hr) && newPicture) hr = renderer_->FollowRecord(true);
  } else if (followScene) {
    hr = renderer_->FollowRecord(newPicture);
  }
  if (FAILED(hr)) {
    SetReason(DeviceFailure(hr));
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reason_.clear();
  }
  startTime_ = clock_.Now();
  SpawnSource(*field_, clock_, random_);
  drawing_ = true;
}

void PreviewPane::DrawFrame() {
  DecideSpawn(*field_, clock_, random_);
  RetireAndUpdateSources(*field_, clock_);
  if (!renderer_->PrepareFrame()) return;
  renderer_->RenderFrame(static_cast<float>(clock_.Now() - startTime_) / 1000.0f);
}

void PreviewPane::ReadBack(IDirect3DDevice9* device) {
  ComPtr<IDirect3DSurface9> target;
  if (FAILED(device->GetRenderTarget(0, target.Receive()))) return;
  D3DSURFACE_DESC desc{};
  target->GetDesc(&desc);
  if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) return;
  if (!readBack_ &&
      FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                 readBack_.Receive(), nullptr)))
    return;
  if (FAILED(device->GetRenderTargetData(target.get(), readBack_.get()))) return;
  D3DLOCKED_RECT locked{};
  if (FAILED(readBack_->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return;
  const int width = static_cast<int>(desc.Width), height = static_cast<int>(desc.Height);
  readPixels_.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    std::memcpy(readPixels_.data() + static_cast<size_t>(y) * width,
                static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                static_cast<size_t>(width) * 4);
  }
  readBack_->UnlockRect();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frame_.swap(readPixels_);
    frameWidth_ = width;
    frameHeight_ = height;
    std::memcpy(&frameValues_, &runValues_, sizeof frameValues_);
    ++work_.frames;
    work_.waterLevel = field_->waterLevel;
  }
  ++framesRead_;
}

void PreviewPane::Paint(HDC dc, const RECT& r) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (reason_.empty() && !frame_.empty()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = frameWidth_;
    info.bmiHeader.biHeight = -frameHeight_;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    StretchDIBits(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, frameWidth_, frameHeight_,
                  frame_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    return;
  }
  RECT inside = r;
  FillRect(dc, &inside, GetSysColorBrush(COLOR_3DFACE));
  DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (reason_.empty()) return;  // the first frame is on its way
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0)));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextA(dc, reason_.c_str(), -1, &inside, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
}

}  // namespace lumar
