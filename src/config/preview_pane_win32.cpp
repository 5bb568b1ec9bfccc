#include "config/preview_pane_win32.h"

#include <cstring>

#include "platform/file_lookup_win32.h"
#include "platform/image_scaling.h"
#include "platform/imaging_component_win32.h"
#include "render/device_limits_win32.h"
#include "wavefield/run_setup.h"
#include "wavefield/wave_sources.h"

namespace lumar {

namespace {

constexpr char kNoDevice[] = "No Direct3D device for the preview";
constexpr char kNoMemory[] = "Not enough memory for the preview";
constexpr char kNoSetUp[] = "These settings cannot be previewed";

bool SameValues(const ParameterSet& a, const ParameterSet& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

constexpr char kPaneClass[] = "LumarPreviewPane";

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

PreviewPane::PreviewPane(HWND dialog, HINSTANCE instance, int width, int height)
    : dialog_(dialog), instance_(instance), width_(width), height_(height) {
  WNDCLASSA paneClass{};
  paneClass.lpfnWndProc = PaneProcedure;
  paneClass.hInstance = instance_;
  paneClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  paneClass.lpszClassName = kPaneClass;
  RegisterClassA(&paneClass);  // fails harmlessly when a dialog before this one registered it
  // Owned by the dialog: above it, hidden with it when it is minimised, destroyed with it.
  pane_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPaneClass, "", WS_POPUP | WS_BORDER, 0, 0,
                          width_, height_, dialog_, nullptr, instance_, this);
  deviceWindow_ =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, width_, height_, nullptr, nullptr, instance_, nullptr);
  direct3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (!direct3d_ || !deviceWindow_ || width_ <= 0 || height_ <= 0) {
    reason_ = kNoDevice;
    return;
  }
  maxTextureEdge_ = QueryDeviceLimits(direct3d_).LargestSquareTexture();
}

void PreviewPane::FollowDialog() const {
  RECT dialog{};
  GetWindowRect(dialog_, &dialog);
  SetWindowPos(pane_, nullptr, dialog.right, dialog.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

PreviewPane::~PreviewPane() {
  Stop();
  snapshot_.Release();
  if (direct3d_) direct3d_->Release();
  if (deviceWindow_) DestroyWindow(deviceWindow_);
  if (pane_) DestroyWindow(pane_);
}

void PreviewPane::Stop() {
  readBack_.reset();
  if (renderer_) renderer_->ReleaseDevice(false);
  renderer_.reset();
}

void PreviewPane::SetUp(const ParameterSet& record) {
  Stop();
  frame_.clear();
  reason_.clear();
  if (!direct3d_ || !deviceWindow_) {
    reason_ = kNoDevice;
    return;
  }
  std::memcpy(&record_, &record, sizeof record_);
  record_.screenWidth = static_cast<uint32_t>(width_);
  record_.screenHeight = static_cast<uint32_t>(height_);
  record_.showFps = 0;
  userPicture_ = Image{};
  if (record_.texture == kTextureFile) {
    const uint32_t maxEdge = maxTextureEdge_ > 0 ? static_cast<uint32_t>(maxTextureEdge_) : kMaxImageEdge;
    const ImageStatus status =
        LoadTexturePicture(record_.textureFile, maxEdge, userPicture_, DecodeWithImagingComponent);
    if (status != ImageStatus::kOk) {
      reason_ = std::string("The picture cannot be shown: ") + ImageStatusName(status);
      return;
    }
  }
  field_ = std::make_unique<WaveField>();
  const DesktopSize desktop{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const SetupResult setup = PrepareWaveField(*field_, record_, desktop, PictureFileExists, maxTextureEdge_);
  if (setup != SetupResult::Ok) {
    reason_ = setup == SetupResult::OutOfMemory ? kNoMemory : kNoSetUp;
    return;
  }
  // Once, at the first set-up: the dialog is not on the screen yet.
  if (!snapshot_.taken()) snapshot_.Take(field_->constants);
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
  // The quiet creation: a failure shows the pane's panel, never a message box over the dialog.
  if (FAILED(renderer_->CreateMonitorDevice(direct3d_, deviceWindow_, D3DADAPTER_DEFAULT, deviceWindow_,
                                            false))) {
    renderer_.reset();
    reason_ = kNoDevice;
    return;
  }
  startTime_ = clock_.Now();
  SpawnSource(*field_, clock_, random_);
}

void PreviewPane::Start(const ParameterSet& record) {
  std::memcpy(&shown_, &record, sizeof shown_);
  SetUp(record);
}

void PreviewPane::Tick(const ParameterSet& record) {
  if (IsIconic(dialog_) || !IsWindowVisible(dialog_)) {
    if (IsWindowVisible(pane_)) ShowWindow(pane_, SW_HIDE);
    return;
  }
  if (!IsWindowVisible(pane_)) {
    FollowDialog();
    ShowWindow(pane_, SW_SHOWNOACTIVATE);
  }
  // Changes made while a frame was pending are all taken up here, in one set-up per tick at most, so a
  // slider being dragged never waits for one.
  if (!SameValues(record, shown_)) {
    Start(record);
    InvalidateRect(pane_, nullptr, FALSE);
  }
  if (!renderer_) return;
  DecideSpawn(*field_, clock_, random_);
  RetireAndUpdateSources(*field_, clock_);
  if (!renderer_->PrepareFrame()) return;
  renderer_->RenderFrame(static_cast<float>(clock_.Now() - startTime_) / 1000.0f);
  InvalidateRect(pane_, nullptr, FALSE);
}

void PreviewPane::ReadBack(IDirect3DDevice9* device) {
  ComPtr<IDirect3DSurface9> target;
  if (FAILED(device->GetRenderTarget(0, target.Receive()))) return;
  D3DSURFACE_DESC desc{};
  target->GetDesc(&desc);
  if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) return;
  if (!readBack_) {
    if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                   readBack_.Receive(), nullptr)))
      return;
  }
  if (FAILED(device->GetRenderTargetData(target.get(), readBack_.get()))) return;
  D3DLOCKED_RECT locked{};
  if (FAILED(readBack_->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return;
  frameWidth_ = static_cast<int>(desc.Width);
  frameHeight_ = static_cast<int>(desc.Height);
  frame_.resize(static_cast<size_t>(frameWidth_) * frameHeight_);
  for (int y = 0; y < frameHeight_; ++y) {
    std::memcpy(frame_.data() + static_cast<size_t>(y) * frameWidth_,
                static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                static_cast<size_t>(frameWidth_) * 4);
  }
  readBack_->UnlockRect();
  ++framesShown_;
}

void PreviewPane::Paint(HDC dc, const RECT& r) const {
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
