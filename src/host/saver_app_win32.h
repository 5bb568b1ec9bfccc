// The program: start-up by run mode, the window and its procedure, the message loop, the frame step,
// close-down and the shutdown steps. One SaverApp is the whole process state of a run. Its members are
// defined in saver_app_win32.cpp (start-up, loop, endings), saver_screens_win32.cpp (the screens and
// their devices), saver_window_win32.cpp (the window procedure) and saver_system_state_win32.cpp (power,
// session and pacing).
//
// Endings, one word each: a screen's device and resources are *released* (ReleaseDevice,
// ReleaseResources, ReleaseDevices), a screen is *closed* with its window (Close, CloseScreen), the run is
// *closed down* when the user dismisses it (CloseDown: the loop gets its quit message), and *Shutdown* is
// the process's last step after the loop.
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

constexpr const char* kWindowClass = "Lumar";
constexpr const char* kSaverEventName = "LumarEvent";

// Platform facts a test may force: the Windows 9x family (a 64-bit program never sees it otherwise).
struct PlatformProbe {
  bool (*isWin9x)() = nullptr;  // nullptr: ask GetVersionExA
};

// A screen whose device will not come back asks for a new one at most this often.
constexpr uint32_t kDeviceRenewalMs = 1000;

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

class SaverApp {
 public:
  SaverApp(HINSTANCE instance, const MillisecondClock& clock);
  SaverApp(const SaverApp&) = delete;
  SaverApp& operator=(const SaverApp&) = delete;
  ~SaverApp();

  // The entry point's work: start-up, then (in the drawing modes) show the window and run the message
  // loop, then the shutdown steps. Returns the process exit code, 0.
  int Run(const std::string& arguments);

  // Start-up in its fixed order; true only in Preview and Saver modes with a window and a device ready.
  bool StartUp(const std::string& arguments);
  void MessageLoop();
  // What the loop does when no message is waiting: a preview waits while a full-screen instance runs;
  // then what the window procedure recorded is acted on; then, unless the password dialog is up or the
  // run has closed down, what the loop state plans: one frame step, or a wait (the next frame not yet
  // due, displays off, session hidden, every device lost).
  void IdlePass();
  // Between frames: what the window procedure recorded (a dismissal, the end of a window, a display or
  // power change) is acted on here and nowhere else, so that no message sent while a device is being
  // reset or drawn with can end the run under it.
  void HandleRecorded();
  void Shutdown();

  // One frame: spawn decision, frame time, source retirement and update, device check, drawing; every
  // screen in turn, the primary first, with one frame time.
  void FrameStep();

  void RequestDismiss();
  void CloseDown();
  LRESULT WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Test seams.
  void SetPlatformProbe(PlatformProbe probe) { probe_ = probe; }
  void SetConfigureDialog(ConfigureDialogRunner runner) { configureDialog_ = runner; }
  void SetDeviceFactory(DeviceFactory factory);
  void SetMonitorSource(MonitorSource source) { monitorSource_ = std::move(source); }
  void SetDirect3DCreator(Direct3DCreator creator) { direct3dCreator_ = creator; }
  void SetLoopWait(LoopWait wait) { loopWait_ = std::move(wait); }
  void SetPowerStatusSource(PowerStatusSource source) { powerStatus_ = std::move(source); }
  void SetRefreshSource(RefreshSource source) { refreshSource_ = std::move(source); }
  // Must outlive the app; nullptr: timeBeginPeriod and timeEndPeriod.
  void SetTimerResolution(TimerResolution* resolution) { timerResolution_ = resolution; }

  // State read by tests and by the password check.
  ScreenSaverMode mode() const { return mode_; }
  HWND mainWindow() const { return primary().window; }
  SettingsState& settings() { return settings_; }
  WaveField& field() { return *primary().field; }
  Renderer* renderer() { return primary().renderer.get(); }
  // The primary screen first, then one per other monitor of a full-screen run.
  const std::vector<std::unique_ptr<SaverScreen>>& screens() const { return screens_; }
  const SaverInput& input() const { return input_; }
  bool passwordDialogActive() const { return passwordDialogActive_; }
  bool closedDown() const { return closedDown_; }
  const DesktopSnapshot& snapshot() const { return primary().snapshot; }
  float frameTime() const { return frameTime_; }
  PasswordSettings& password() { return password_; }
  bool isWin9x() const { return isWin9x_; }
  const LoopState& loopState() const { return loopState_; }
  uint64_t loopPasses() const { return loopPasses_; }
  uint64_t frameSteps() const { return frameSteps_; }
  uint32_t deviceRenewals() const { return deviceRenewals_; }
  IDirect3D9* direct3d() const { return direct3d_.get(); }
  bool asFastAsPossible() const { return asFastAsPossible_; }
  bool timerResolutionRaised() const { return timerRaised_; }

 private:
  bool DetectWin9x() const;
  bool EnumerateModes(const char* outOfMemoryMessage);
  // The window class, and for a full-screen run the event and the running flag.
  bool RegisterWindows();
  SaverScreen& primary() const { return *screens_.front(); }
  SaverScreen* ScreenOf(HWND window) const;
  // One screen's way in, the same for the primary and every other monitor: its window (hidden), then its
  // run set-up and snapshot (before any device exists), then its device. Only the data differ: the
  // primary runs the app's record in the chosen mode and tells the user of its failures; another monitor
  // runs a copy sized to it and, failing, stays a black window.
  bool OpenScreenWindow(SaverScreen& screen, HWND parent);
  // Start-up's steps: a fresh record takes the desktop's mode (false: the adapter does not list it); the
  // primary's window, run set-up and snapshot (false: the run cannot start).
  bool TakeDesktopMode();
  bool OpenPrimary(HWND parent);
  SetupResult PrepareScreen(SaverScreen& screen, const FileExistsCheck& pictureUsable);
  bool CreateScreenDevice(SaverScreen& screen, bool tellUser = true);
  // After a frame step: a new device for every screen whose device will not come back by Reset (or whose
  // last new device could not be made), each at most once a second.
  void RenewDevices();
  // Whether the Direct3D object still lists the adapter of `screen`'s monitor.
  bool AdapterListed(const SaverScreen& screen) const;
  // A fresh Direct3D object for the devices made from now on (Windows keeps an object's adapter list as it
  // was when the object was made); the screens look their adapters up on it.
  void RenewDirect3D();
  // The screens of the other monitors in `monitors` not yet covered, the same call at start-up and for a
  // monitor that arrives later: window, set-up and snapshot, then (`withDevices`; start-up makes them
  // after the primary's) the device and the first ripple. Returns how many were added.
  size_t OpenOtherMonitors(const std::vector<MonitorArea>& monitors, bool withDevices);
  void ShowOtherMonitors(size_t from);
  // The way out: the screen at `index` (not the primary) leaves the list, then releases everything.
  void CloseScreen(size_t index);
  void ReleaseDevices(bool discardSnapshots);
  // Monitors that came, went or changed size since the list was last taken.
  void ApplyDisplayChange();
  // Power and session notifications, registered once the window exists, unregistered at close-down.
  void WatchSystemState();
  void StopWatchingSystemState();
  void RecordPowerSetting(const POWERBROADCAST_SETTING* setting);
  void UpdatePowerPacing();
  void Rest(const LoopPlan& plan);
  // Raises the timer resolution for fine waits between frames or gives it back; only a change calls the
  // system.
  void RaiseTimerResolution(bool raised);
  // What the window procedure does with input in a full-screen run: records a dismissal.
  void RecordInput(HWND window, UINT message, LPARAM lParam);
  // What this run changes in memory only, never in the registry: a secure saver shows Sky instead of the
  // desktop, and the preview never shows the frame rate. Applied again when the defaults replace a
  // refused record.
  void ApplyRunOverrides();
  void CheckPassword();
  void RestartAnimation();

  HINSTANCE instance_;
  const MillisecondClock& clock_;
  PlatformProbe probe_;
  ConfigureDialogRunner configureDialog_ = nullptr;
  DeviceFactory deviceFactory_;
  MonitorSource monitorSource_;
  Direct3DCreator direct3dCreator_ = Direct3DCreate9;
  LoopWait loopWait_;
  PowerStatusSource powerStatus_;
  RefreshSource refreshSource_;
  MultimediaTimerResolution systemTimerResolution_;
  TimerResolution* timerResolution_ = nullptr;

  ScreenSaverMode mode_ = ScreenSaverMode::Saver;
  bool isWin9x_ = false;
  ComPtr<IDirect3D9> direct3d_;
  uint32_t timerPeriod_ = 0;
  bool timerRaised_ = false;
  bool asFastAsPossible_ = false;  // the setting beside the record
  // Recorded by the window procedure, acted on by HandleRecorded.
  bool dismissRequested_ = false;
  bool closeRequested_ = false;
  HANDLE saverEvent_ = nullptr;
  BOOL previousSaverRunning_ = FALSE;
  bool classRegistered_ = false;
  bool passwordDialogActive_ = false;
  bool closedDown_ = false;
  bool saverRunningSet_ = false;
  SaverInput input_;
  PasswordSettings password_;

  SettingsState settings_;
  AdapterModes modes_;
  // The field's worker threads, made with the first full-screen device and shared by every screen of the
  // run (screens come and go; the threads stay). Declared before the screens, so it outlives them.
  std::shared_ptr<WorkerPool> workers_;
  std::vector<std::unique_ptr<SaverScreen>> screens_;
  FrameTimer frameTimer_;
  float frameTime_ = 0.0f;
  uint32_t seed_ = 1;
  int monitorIndex_ = 0;        // the last seed index given to another monitor
  MonitorArea primaryMonitor_;  // the primary as the monitor list named it at start-up

  LoopState loopState_;
  uint64_t loopPasses_ = 0;
  uint64_t frameSteps_ = 0;
  uint32_t deviceRenewals_ = 0;
  bool displayChangePending_ = false;
  bool powerStatusPending_ = false;
  HANDLE paceTimer_ = nullptr;
  std::vector<HPOWERNOTIFY> powerNotifications_;
  HMODULE sessionLibrary_ = nullptr;
  bool sessionRegistered_ = false;
};

}  // namespace lumar
