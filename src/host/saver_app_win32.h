// The program: start-up by run mode, the message loop, the frame step and the endings. One SaverApp is
// the whole process state of a run: the run mode, the loop, the list of screens (one per monitor, each
// making and undoing itself, see saver_screen_win32.h) and what the screens share (the Direct3D object,
// the worker threads, the timer). Its members are defined in saver_app_win32.cpp (start-up, endings),
// saver_loop_win32.cpp (loop and frame step), saver_screens_win32.cpp (the monitor list),
// saver_window_win32.cpp (the window procedure) and saver_system_state_win32.cpp (power, session and
// pacing).
//
// Endings, three words and no others:
// - *Release*: a device gives back its resources, or a screen its device (ReleaseResources,
//   ReleaseDevice, ReleaseDevices); the device may be made again.
// - *End*: the run ends (EndRun, when the user dismisses it or its window goes): no more frames, every
//   device released, the loop gets its quit message.
// - *Close*: what was opened is undone, windows included: a screen (SaverScreen::Close, CloseScreen) or,
//   after the loop, the whole app (Close: windows, class, event, password library, timer).
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/frame_timer.h"
#include "host/loop_state.h"
#include "host/saver_input.h"
#include "host/saver_password_win32.h"
#include "host/saver_screen_win32.h"
#include "platform/com_ptr_win32.h"
#include "platform/millisecond_clock.h"
#include "platform/multimedia_clock_win32.h"
#include "render/adapter_modes_win32.h"
#include "settings/parameter_set.h"

namespace lumar {

constexpr const char* kSaverEventName = "LumarEvent";

// Platform facts a test may force: the Windows 9x family (a 64-bit program never sees it otherwise).
struct PlatformProbe {
  bool (*isWin9x)() = nullptr;  // nullptr: ask GetVersionExA
};

// The Direct3D 9 version the saver asks for: 31, whatever the SDK header in use defines (MinGW's says 32).
constexpr UINT kDirect3DVersion = 31;

// Makes the Direct3D 9 object (Direct3DCreate9 unless a test passes its own).
using Direct3DCreator = IDirect3D9*(WINAPI*)(UINT sdkVersion);

// What the configure mode runs once start-up is done: the configuration dialog. Returns false when the
// dialog could not be shown.
using ConfigureDialogRunner = bool (*)(HINSTANCE instance, SettingsState& settings, AdapterModes& modes);

// The monitors a full-screen run covers; tests pass monitors of their own.
using MonitorSource = std::function<std::vector<MonitorArea>()>;

// How the loop rests: MsgWaitForMultipleObjects on the handles (the pacing timer, if any) and the message
// queue, for at most `milliseconds` (INFINITE: until a message or a handle). Tests count the waits.
using LoopWait = std::function<DWORD(DWORD count, const HANDLE* handles, DWORD milliseconds)>;

// The power source (GetSystemPowerStatus unless a test passes its own); false when unknown.
using PowerStatusSource = std::function<bool(SYSTEM_POWER_STATUS& status)>;

// The refresh rate a monitor reports in Hz (EnumDisplaySettings of its device unless a test passes its
// own); 0 or 1 stand for the hardware's default rate, taken as 60.
using RefreshSource = std::function<uint32_t(const MonitorArea& monitor)>;

// What a test may replace; each left empty stands for the system's own.
struct SaverSeams {
  PlatformProbe probe;
  ConfigureDialogRunner configureDialog = nullptr;
  MonitorSource monitorSource;
  Direct3DCreator direct3dCreator = Direct3DCreate9;
  LoopWait loopWait;
  PowerStatusSource powerStatus;
  RefreshSource refreshSource;
  TimerResolution* timerResolution = nullptr;  // must outlive the app
};

// What the window procedure recorded, for the loop to act on between frames.
struct RecordedEvents {
  bool dismiss = false;        // input, a lost activation, a suspend, Alt+F4
  bool windowEnded = false;    // a screen's window was destroyed
  bool displayChange = false;  // monitors came, went or changed
  bool powerStatus = false;    // the power source changed
};

struct RunCounts {
  uint64_t loopPasses = 0;
  uint64_t frameSteps = 0;
  uint32_t deviceRenewals = 0;
};

// The window class and, for a full-screen run, the event a preview waits on and the system's "screen
// saver running" flag, undone in the reverse order.
class RunRegistration {
 public:
  ~RunRegistration() { Close(); }
  bool Open(HINSTANCE instance, bool preview, WNDPROC procedure);
  // The "running" flag off, at the end of the run.
  void ClearRunning();
  void Close();

 private:
  HINSTANCE instance_ = nullptr;
  HANDLE event_ = nullptr;
  BOOL previousRunning_ = FALSE;
  bool runningSet_ = false;
  bool classRegistered_ = false;
};

// The power and session notifications the loop rests by, and the waitable timer it paces frames with.
class SystemStateWatch {
 public:
  ~SystemStateWatch() { Close(); }
  void Open(HWND window);
  void Close();
  // The pacing timer, made on first use; null when it cannot be made.
  HANDLE PaceTimer();
  HANDLE paceTimer() const { return paceTimer_; }

 private:
  HWND window_ = nullptr;
  std::vector<HPOWERNOTIFY> powerNotifications_;
  HMODULE sessionLibrary_ = nullptr;
  bool sessionRegistered_ = false;
  HANDLE paceTimer_ = nullptr;
};

class SaverApp {
 public:
  SaverApp(HINSTANCE instance, const MillisecondClock& clock);
  SaverApp(const SaverApp&) = delete;
  SaverApp& operator=(const SaverApp&) = delete;
  ~SaverApp();

  // The entry point's work: start-up, then (in the drawing modes) show the windows and run the message
  // loop, then Close. Returns the process exit code, 0.
  int Run(const std::string& arguments);

  // Start-up in its fixed order; true only in Preview and Saver modes with a window and a device ready.
  bool StartUp(const std::string& arguments);
  void MessageLoop();
  // What the loop does when no message is waiting: a preview waits while a full-screen instance runs;
  // then what the window procedure recorded is acted on; then, unless the password dialog is up or the
  // run has ended, what the loop state plans: one frame step, or a wait (the next frame not yet due,
  // displays off, session hidden, every device lost).
  void IdlePass();
  // Between frames: what the window procedure recorded (a dismissal, the end of a window, a display or
  // power change) is acted on here and nowhere else, so that no message sent while a device is being
  // made, reset or drawn with can end the run under it.
  void HandleRecorded();
  // One frame: spawn decision, frame time, source retirement and update, device check, drawing; every
  // screen in turn, the primary first, with one frame time; then new devices where they are due.
  void FrameStep();

  void RequestDismiss();
  // The run ends (see the endings above); a second call does nothing.
  void EndRun();
  // After the loop, or after a start-up that failed half-way: the run ends if it has not, then every
  // screen closes (the primary last) and the class, the event, the password library and the timer
  // resolution are given back.
  void Close();
  LRESULT WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Test seams.
  void SetPlatformProbe(PlatformProbe probe) { seams_.probe = probe; }
  void SetConfigureDialog(ConfigureDialogRunner runner) { seams_.configureDialog = runner; }
  void SetDeviceFactory(DeviceFactory factory) { shared_.deviceFactory = std::move(factory); }
  void SetMonitorSource(MonitorSource source) { seams_.monitorSource = std::move(source); }
  void SetDirect3DCreator(Direct3DCreator creator) { seams_.direct3dCreator = creator; }
  void SetLoopWait(LoopWait wait) { seams_.loopWait = std::move(wait); }
  void SetPowerStatusSource(PowerStatusSource source) { seams_.powerStatus = std::move(source); }
  void SetRefreshSource(RefreshSource source) { seams_.refreshSource = std::move(source); }
  // Must outlive the app; nullptr: timeBeginPeriod and timeEndPeriod.
  void SetTimerResolution(TimerResolution* resolution) { seams_.timerResolution = resolution; }

  // State read by tests and by the password check.
  ScreenSaverMode mode() const { return mode_; }
  HWND mainWindow() const { return primary().window(); }
  SettingsState& settings() { return settings_; }
  WaveField& field() { return primary().field(); }
  Renderer* renderer() { return primary().renderer(); }
  // The primary screen first, then one per other monitor of a full-screen run.
  const std::vector<std::unique_ptr<SaverScreen>>& screens() const { return screens_; }
  const SaverInput& input() const { return input_; }
  bool passwordDialogActive() const { return passwordDialogActive_; }
  bool runEnded() const { return runEnded_; }
  const DesktopSnapshot& snapshot() const { return primary().snapshot(); }
  float frameTime() const { return frameTime_; }
  PasswordSettings& password() { return password_; }
  bool isWin9x() const { return isWin9x_; }
  const LoopState& loopState() const { return loopState_; }
  uint64_t loopPasses() const { return counts_.loopPasses; }
  uint64_t frameSteps() const { return counts_.frameSteps; }
  uint32_t deviceRenewals() const { return counts_.deviceRenewals; }
  IDirect3D9* direct3d() const { return shared_.direct3d.get(); }
  bool asFastAsPossible() const { return shared_.asFastAsPossible; }
  bool timerResolutionRaised() const { return timer_.raised(); }

 private:
  bool DetectWin9x() const;
  bool EnumerateModes(const char* outOfMemoryMessage);
  // Start-up's steps: Direct3D, the settings and the password settings (false: no Direct3D); the modes
  // without a window of their own (true: this mode has none, and start-up ends); a fresh record takes the
  // desktop's mode (false: the adapter does not list it); the primary's window, run set-up and snapshot
  // (false: the run cannot start); the other monitors' screens; the devices, the clock and the first
  // ripples.
  bool ReadSettings();
  bool RunWithoutWindow(HWND parent);
  bool TakeDesktopMode();
  bool OpenPrimary(HWND parent);
  SetupResult PreparePrimary();
  bool StartDrawing();
  SaverScreen& primary() const { return *screens_.front(); }
  SaverScreen* ScreenOf(HWND window) const;
  // Whether a screen other than `screen` holds its adapter with a full-screen device.
  bool AdapterHeld(const SaverScreen& screen) const;
  // After a frame step: a new device for every screen whose device is due for one.
  void RenewDevices();
  // A fresh Direct3D object for the devices made from now on (Windows keeps an object's adapter list as it
  // was when the object was made); the screens look their adapters up on it.
  void RenewDirect3D();
  // The screens of the other monitors in `monitors` not yet covered, the same call at start-up and for a
  // monitor that arrives later: window, set-up and snapshot, then (`withDevices`; start-up makes them
  // after the primary's) the device and the first ripple. Returns how many were added.
  size_t OpenOtherMonitors(const std::vector<MonitorArea>& monitors, bool withDevices);
  void ShowOtherMonitors(size_t from);
  // The screen at `index` (not the primary) leaves the list, then closes.
  void CloseScreen(size_t index);
  void ReleaseDevices(bool discardSnapshots);
  // Monitors that came, went or changed size since the list was last taken.
  void ApplyDisplayChange();
  bool PrimaryMoved(const std::vector<MonitorArea>& monitors);
  void RecordPowerSetting(const POWERBROADCAST_SETTING* setting);
  void UpdatePowerPacing();
  void Rest(const LoopPlan& plan);
  // What the window procedure does with input, keys and the window's commands in a full-screen run:
  // records a dismissal. True with `result` when the message is answered here.
  bool RecordInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool PaintBlack(HWND window);
  // What this run changes in memory only, never in the registry: a secure saver shows Sky instead of the
  // desktop, and the preview never shows the frame rate. Applied again when the defaults replace a
  // refused record.
  void ApplyRunOverrides();
  void CheckPassword();
  void RestartAnimation();

  const MillisecondClock& clock_;
  SaverSeams seams_;
  ScreenSaverMode mode_ = ScreenSaverMode::Saver;
  bool isWin9x_ = false;
  SettingsState settings_;
  AdapterModes modes_;
  PasswordSettings password_;
  // Declared before the screens, so that the class and what they share outlive their windows.
  RunRegistration registration_;
  ScreenShared shared_;
  std::vector<std::unique_ptr<SaverScreen>> screens_;
  uint32_t seed_ = 1;
  int monitorIndex_ = 0;        // the last seed index given to another monitor
  MonitorArea primaryMonitor_;  // the primary as the monitor list named it at start-up

  SystemStateWatch watch_;
  TimerResolutionHold timer_;
  LoopState loopState_;
  FrameTimer frameTimer_;
  float frameTime_ = 0.0f;
  SaverInput input_;
  RecordedEvents recorded_;
  bool passwordDialogActive_ = false;
  bool runEnded_ = false;
  RunCounts counts_;
};

}  // namespace lumar
