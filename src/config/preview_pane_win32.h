// The configuration dialog's live preview: the liquid with the dialog's current values (not the stored
// ones), run as the saver runs it (the same run set-up, wave field and renderer, on a windowed device
// as in the control panel's preview), drawn off screen, read back and painted with GDI into a pane: a
// window the dialog owns, attached to its right edge and moving with it, so that the pane's pixels are on
// the screen like any other window's and the dialog itself keeps its size and controls.
//
// The run has a thread of its own, so the dialog's controls answer at once while a frame or a set-up is
// under way: the dialog hands over its values, the run hands back frames.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

// At most this many frames a second: the run draws once per period, the dialog's timer ticks as often.
constexpr UINT kPreviewFrameMilliseconds = 34;
// While a slider's thumb is dragged the run neither sets up nor draws; the thumb counts as stopped once
// no new position came for this long (or when it is let go), and the run follows then.
constexpr UINT kThumbStillMilliseconds = 150;

// How the pane makes its Direct3D object (Direct3DCreate9; tests put a failing one in its place).
using PaneDirect3DCreator = IDirect3D9*(WINAPI*)(UINT sdkVersion);

// What the run has done since it started: set-ups by what they redid, and frames read back.
struct PaneWork {
  uint32_t fieldSetUps = 0;     // every set-up that reached the wave field
  uint32_t resourceSetUps = 0;  // ... that made any of the device's resources again (a new device included)
  uint32_t pictureSetUps = 0;   // ... that made the picture texture again
  uint32_t deviceSetUps = 0;    // ... that made a new device
  uint32_t frames = 0;
  float waterLevel = 0.0f;  // the sheet's level in the last frame read back
};

class PreviewPane {
 public:
  // A pane of `width` x `height` pixels beside `dialog`, hidden until the dialog shows.
  PreviewPane(HWND dialog, HINSTANCE instance, int width, int height,
              PaneDirect3DCreator createDirect3D = Direct3DCreate9);
  PreviewPane(const PreviewPane&) = delete;
  PreviewPane& operator=(const PreviewPane&) = delete;
  ~PreviewPane();

  // At WM_INITDIALOG: photographs the desktop (the dialog is not on the screen yet, so the Desktop
  // picture is the desktop the saver would see) and starts the run with `record`.
  void Start(const ParameterSet& record);
  // The dialog's timer: the pane hides while the dialog is minimised or hidden and the run draws nothing
  // then; `record` goes to the run when it differs from the values last handed over (HandOver gave it
  // none); a new frame is painted.
  void Tick(const ParameterSet& record);
  // A control changed `record`: it goes to the run at once. `thumbHeld` while a slider's thumb is being
  // dragged (the run waits until it stops); a change made otherwise wakes the run.
  void HandOver(const ParameterSet& record, bool thumbHeld);
  // Puts the pane against the dialog's right edge, top to top (after the dialog moved).
  void FollowDialog() const;
  // The last frame, or a plain panel with the one line why there is none.
  void Paint(HDC dc, const RECT& area) const;
  HWND window() const { return pane_; }
  // The pane of a pane window, or null.
  static PreviewPane* Of(HWND window);

  // For tests: what the run has done, and whether its last frame was drawn with `record`'s values.
  PaneWork Work() const;
  bool LastFrameShows(const ParameterSet& record) const;

 private:
  static LRESULT CALLBACK PaneProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The run's thread and what it alone touches.
  void Run();
  void SetUp(const ParameterSet& record);
  void DrawFrame();
  void ReadBack(IDirect3DDevice9* device);
  void SetReason(const char* text);

  HWND dialog_;
  HWND pane_ = nullptr;
  HINSTANCE instance_;
  PaneDirect3DCreator createDirect3D_;
  const int width_;
  const int height_;
  DesktopSnapshot snapshot_;  // taken by Start, then read by the run

  // Handed over between the dialog and the run, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool changed_ = false;
  bool thumbHeld_ = false;
  std::chrono::steady_clock::time_point lastHandOver_{};
  ParameterSet pending_{};
  ParameterSet frameValues_{};  // the values the last frame was drawn with
  PaneWork work_;
  std::vector<uint32_t> frame_;  // the last frame, top row first, 0x00RRGGBB
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  std::string reason_;
  std::atomic<bool> paused_{true};
  std::atomic<uint32_t> framesRead_{0};

  // The dialog's side.
  ParameterSet handedOver_{};
  bool held_ = false;
  uint32_t framesPainted_ = 0;
  std::string titleShown_;

  // The run's side.
  struct TickClock : MillisecondClock {
    uint32_t Now() const override { return GetTickCount(); }
  } clock_;
  RandomGenerator random_;
  ParameterSet record_{};     // the values as the pane runs them (its own size, no frame counter)
  ParameterSet runValues_{};  // ... as the dialog handed them over
  std::unique_ptr<WaveField> field_;
  Image userPicture_;            // decoded once while it stays the chosen picture
  std::string userPicturePath_;  // ... from this file (empty: none decoded)
  IDirect3D9* direct3d_ = nullptr;
  HWND deviceWindow_ = nullptr;
  int maxTextureEdge_ = 0;
  std::unique_ptr<Renderer> renderer_;
  bool drawing_ = false;  // set up and able to draw
  ComPtr<IDirect3DSurface9> readBack_;
  uint32_t startTime_ = 0;
  std::vector<uint32_t> readPixels_;

  std::thread thread_;
};

}  // namespace lumar
