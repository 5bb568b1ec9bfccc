// The configuration dialog's live preview: the liquid with the dialog's current values (not the stored
// ones), run as the saver runs it (the same run set-up, wave field and renderer, on a windowed device
// as in the control panel's preview), drawn off screen, read back and painted with GDI into a pane: a
// window the dialog owns, attached to its right edge and moving with it, so that the pane's pixels are on
// the screen like any other window's and the dialog itself keeps its size and controls.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/com_ptr_win32.h"
#include "platform/image.h"
#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "render/desktop_snapshot_win32.h"
#include "render/renderer_win32.h"
#include "settings/parameter_set.h"
#include "wavefield/wave_field.h"

namespace lumar {

// At most this many frames a second; the dialog's timer ticks this often.
constexpr UINT kPreviewFrameMilliseconds = 34;

class PreviewPane {
 public:
  // A pane of `width` x `height` pixels beside `dialog`, hidden until the dialog shows.
  PreviewPane(HWND dialog, HINSTANCE instance, int width, int height);
  PreviewPane(const PreviewPane&) = delete;
  PreviewPane& operator=(const PreviewPane&) = delete;
  ~PreviewPane();

  // The first run set-up, at WM_INITDIALOG: the desktop is photographed then, before the dialog shows,
  // so the Desktop picture is the desktop the saver would see.
  void Start(const ParameterSet& record);
  // One timer tick: nothing while the dialog is minimised or hidden (the pane hides with it); otherwise,
  // when `record` differs from the values last shown, a new run set-up, then one frame.
  void Tick(const ParameterSet& record);
  // Puts the pane against the dialog's right edge, top to top (after the dialog moved).
  void FollowDialog() const;
  // The last frame, or a plain panel with the one line why there is none.
  void Paint(HDC dc, const RECT& area) const;
  HWND window() const { return pane_; }

  // Why the pane cannot draw; empty while it draws.
  const std::string& reason() const { return reason_; }
  uint32_t framesShown() const { return framesShown_; }

 private:
  void SetUp(const ParameterSet& record);
  void ReadBack(IDirect3DDevice9* device);
  void Stop();

  static LRESULT CALLBACK PaneProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND dialog_;
  HWND pane_ = nullptr;
  HINSTANCE instance_;
  HWND deviceWindow_ = nullptr;  // hidden: the frames are read back, never shown there
  IDirect3D9* direct3d_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int maxTextureEdge_ = 0;

  struct TickClock : MillisecondClock {
    uint32_t Now() const override { return GetTickCount(); }
  } clock_;
  RandomGenerator random_;
  ParameterSet shown_{};   // the dialog's values the current run was set up with
  ParameterSet record_{};  // those values as the pane runs them (its own size, no frame counter)
  std::unique_ptr<WaveField> field_;
  DesktopSnapshot snapshot_;
  Image userPicture_;
  std::unique_ptr<Renderer> renderer_;
  ComPtr<IDirect3DSurface9> readBack_;
  uint32_t startTime_ = 0;

  std::vector<uint32_t> frame_;  // top row first, 0x00RRGGBB
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  uint32_t framesShown_ = 0;
  std::string reason_;
};

}  // namespace lumar
