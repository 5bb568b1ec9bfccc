// The configuration dialog's window procedure: fills the controls from the record, follows the user's
// choices, keeps the Preset list in step with the values and writes the record on OK.
#include "config/config_dialog_win32.h"

// commctrl.h and commdlg.h need windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <cstring>
#include <memory>

#include "config/dialog_state.h"
#include "config/dialog_texts.h"
#include "config/enabling_rules.h"
#include "config/preview_pane_win32.h"
#include "config/slider_scales.h"
#include "config/user_guide.h"
#include "config/user_guide_win32.h"
#include "platform/imaging_component_win32.h"
#include "resource_ids.h"
#include "settings/frame_pacing_win32.h"
#include "settings/policy_registry_win32.h"
#include "settings/presets.h"
#include "settings/settings_registry_win32.h"

namespace lumar {

namespace {

constexpr int kPresetSearchLimit = 36;  // list positions searched for a preset id
constexpr int kLinkBitmapSize = 40;
constexpr UINT_PTR kLinkSubclassId = 1;
// The preview pane's timer, and its width and least width in dialog units.
constexpr UINT_PTR kPreviewTimerId = 1;
constexpr int kPaneWidth = 190;
constexpr int kPaneLeastWidth = 80;
constexpr int kDialogHeight = 260;

struct BitmapDeleter {
  void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

bool SystemFileExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SystemChoosePicture(HWND owner, const char* initialDirectory, std::string& chosen) {
  char file[MAX_PATH] = {};
  OPENFILENAMEA dialog{};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // the 76-byte layout
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = ImagingComponentAvailable() ? kAllPicturesFilter : kPictureFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = initialDirectory;
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&dialog)) return false;
  chosen = file;
  return true;
}

void SystemOpenPage(const char* url) { ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL); }

std::string SystemFindUserGuide() { return FindUserGuide(SystemFileExists); }

void SystemTell(HWND owner, const char* text) {
  MessageBoxA(owner, text, "Lumar", MB_OK | MB_ICONINFORMATION);
}

// The hand cursor over the link button; everything else goes on to the button.
LRESULT CALLBACK LinkButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR cursor) {
  if (message == WM_MOUSEMOVE) SetCursor(reinterpret_cast<HCURSOR>(cursor));
  if (message == WM_NCDESTROY) RemoveWindowSubclass(button, LinkButtonProcedure, kLinkSubclassId);
  return DefSubclassProc(button, message, wParam, lParam);
}

class ConfigDialog {
 public:
  ConfigDialog(HWND dialog, ConfigDialogContext& context)
      : dialog_(dialog), context_(context), record_(*context.record) {}

  void Initialize();
  void OnScroll(HWND slider);
  void OnCommand(int id, int code);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void OnDestroy() {
    if (pane_) KillTimer(dialog_, kPreviewTimerId);
    pane_.reset();
    linkBitmap_.reset();
  }
  void AddPreviewPane();
  void OnTimer(UINT_PTR id) {
    if (id == kPreviewTimerId && pane_) pane_->Tick(record_);
  }
  // The values as they are now go to the pane at once (the timer would take them within a tick).
  void HandOverToPane(bool thumbHeld) {
    if (pane_) pane_->HandOver(record_, thumbHeld);
  }
  void OnMove() const {
    if (pane_) pane_->FollowDialog();
  }
  // The installed user's guide in the browser, or a message that says where it should be.
  void OpenUserGuide() const {
    const std::string guide = context_.services.findUserGuide();
    if (guide.empty()) {
      context_.services.tell(dialog_, kUserGuideMissing);
    } else {
      context_.services.openPage(guide.c_str());
    }
  }

 private:
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendDlgItemMessageA(dialog_, id, message, wParam, lParam);
  }
  void Enable(int id, bool enabled) const { EnableWindow(Item(id), enabled ? TRUE : FALSE); }
  void Enable(ControlIds ids, bool enabled) const {
    for (int id : ids) Enable(id, enabled);
  }
  void Apply(EnablingRule rule) const {
    ApplyEnablingRule(rule, [this](int id, bool enabled) { Enable(id, enabled); });
  }
  void Check(int id, bool checked) const {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  bool IsChecked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

  void SetLabel(int id, const std::string& text) const { SetDlgItemTextA(dialog_, id, text.c_str()); }
  void SetRange(int sliderId, SliderRange range) const {
    Send(sliderId, TBM_SETRANGEMIN, FALSE, range.min);
    Send(sliderId, TBM_SETRANGEMAX, TRUE, range.max);
    Send(sliderId, TBM_SETPAGESIZE, 0, 1);
  }
  int32_t Position(int sliderId) const { return static_cast<int32_t>(Send(sliderId, TBM_GETPOS)); }
  void SetPosition(int sliderId, int32_t position) const { Send(sliderId, TBM_SETPOS, TRUE, position); }
  // A slider's position and its label in the slider's format.
  void ShowSlider(Slider slider, int32_t value) const {
    const SliderDefinition& d = DefinitionOf(slider);
    SetPosition(d.sliderId, value);
    SetLabel(d.labelId, FormatSliderLabel(d.format, value));
  }
  void SetUpFixedSlider(Slider slider) const {
    SetRange(DefinitionOf(slider).sliderId, DefinitionOf(slider).fixedRange);
    ShowSlider(slider, record_.*DefinitionOf(slider).field);
  }
  void Show(const SliderSetting& setting) const {
    const SliderDefinition& d = DefinitionOf(setting.slider);
    SetRange(d.sliderId, setting.range);
    SetPosition(d.sliderId, setting.requestedPosition);
    SetLabel(d.labelId, setting.label);
  }
  void UpdateDependentRangesShown() {
    const DependentSettings s = UpdateDependentRanges(record_);
    for (const SliderSetting* setting : {&s.speed, &s.optical, &s.light, &s.geometry}) Show(*setting);
  }

  void ShowRadioPairs() const {
    for (const RadioPair& pair : RadioPairs()) {
      Check(pair.buttonForOne, record_.*pair.field == 1);
      Check(pair.buttonForZero, record_.*pair.field != 1);
    }
  }
  void ShowZSides() const {
    Check(IDC_ZSIDES_ONE, record_.zSides == 1);
    Check(IDC_ZSIDES_BOTH, record_.zSides != 1);
  }
  void ShowBroadening() const {
    const bool normal = record_.calculation != 1;
    ShowSlider(Slider::Broadening, BroadeningShown(record_));
    Enable(BroadeningControls(), normal);
  }
  void ShowParameters() const;
  // After a preset's values were set: the ranges that follow from them, then every value.
  void ShowPresetApplied() {
    UpdateDependentRangesShown();
    ShowParameters();
  }

  void FillPresetList(bool full) const;
  bool SelectPreset(int id) const;
  void SyncPresetSelection();
  int SelectedItemData(int listId) const;

  void FillModeList() const;
  // Selects screenFormat in the Color list and the screen size in the refilled Mode list.
  void ShowScreenMode() const;
  void FillTextureList();
  void SetUpLinkButton();
  void SetUpTooltip() const;

  void OnPresetCommand(int code);
  void OnEffectChosen();
  void OnRadio(int id);
  void OnCurrentMode();
  void OnBrowse();
  void OnOk();
  void End(INT_PTR result) {
    context_.result = result;
    EndDialog(dialog_, result);
  }

  void DrawPresetItem(const DRAWITEMSTRUCT& item) const;
  void DrawLinkButton(const DRAWITEMSTRUCT& item) const;

  HWND dialog_;
  ConfigDialogContext& context_;
  ParameterSet& record_;
  DialogState state_;
  BitmapHandle linkBitmap_;
  std::unique_ptr<PreviewPane> pane_;
};

// The pane against the dialog's right edge: 190 dialog units wide where the work area leaves room (at least
// 80), as high as the desktop's shape makes it (at most the dialog's height). The dialog moves left so that
// the two stay centred where the dialog was, within the work area. Where there is no room (a small screen
// at a large scale) the dialog shows without the pane, as it always has.
void ConfigDialog::AddPreviewPane() {
  RECT units{0, 0, kPaneWidth, kPaneLeastWidth};
  MapDialogRect(dialog_, &units);
  RECT window{}, work{};
  GetWindowRect(dialog_, &window);
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
    work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int dialogWidth = window.right - window.left;
  const int width = std::min<int>(units.right, work.right - work.left - dialogWidth);
  if (width < units.bottom) return;
  const int screenWidth = std::max(1, GetSystemMetrics(SM_CXSCREEN));
  const int height =
      std::min<int>(window.bottom - window.top, MulDiv(width, GetSystemMetrics(SM_CYSCREEN), screenWidth));
  const int left = std::clamp<int>(window.left - width / 2, work.left, work.right - dialogWidth - width);
  SetWindowPos(dialog_, nullptr, left, window.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog_, GWLP_HINSTANCE));
  pane_ = std::make_unique<PreviewPane>(dialog_, instance, width, height, context_.services.createDirect3D);
  pane_->Start(record_);
  SetTimer(dialog_, kPreviewTimerId, kPreviewFrameMilliseconds, nullptr);
}

void ConfigDialog::ShowParameters() const {
  for (Slider s : {Slider::WaveLength, Slider::Speed, Slider::Space, Slider::Time, Slider::Drops,
                   Slider::Optical, Slider::Light, Slider::Geometry}) {
    ShowSlider(s, record_.*DefinitionOf(s).field);
  }
  Send(IDC_TEXTURE_LIST, CB_SETCURSEL, static_cast<WPARAM>(record_.texture));
  ShowRadioPairs();
  ShowBroadening();
}

void ConfigDialog::FillPresetList(bool full) const {
  const PresetListEntry* entries = full ? FullPresetList() : ShortPresetList();
  const std::size_t count = full ? kFullPresetListSize : kShortPresetListSize;
  for (std::size_t i = 0; i < count; ++i) {
    const LRESULT at = Send(IDC_PRESET_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i].name));
    Send(IDC_PRESET_LIST, CB_SETITEMDATA, static_cast<WPARAM>(at), entries[i].id);
  }
}

bool ConfigDialog::SelectPreset(int id) const {
  const int count = std::min(static_cast<int>(Send(IDC_PRESET_LIST, CB_GETCOUNT)), kPresetSearchLimit);
  for (int i = 0; i < count; ++i) {
    if (static_cast<int>(Send(IDC_PRESET_LIST, CB_GETITEMDATA, static_cast<WPARAM>(i))) == id) {
      Send(IDC_PRESET_LIST, CB_SETCURSEL, static_cast<WPARAM>(i));
      return true;
    }
  }
  return false;
}

void ConfigDialog::SyncPresetSelection() {
  record_.presetId = MatchPreset(record_);
  SelectPreset(record_.presetId);
}

int ConfigDialog::SelectedItemData(int listId) const {
  const LRESULT selected = Send(listId, CB_GETCURSEL);
  if (selected == CB_ERR) return CB_ERR;
  return static_cast<int>(Send(listId, CB_GETITEMDATA, static_cast<WPARAM>(selected)));
}

void ConfigDialog::FillModeList() const {
  Send(IDC_MODE_LIST, CB_RESETCONTENT);
  for (const DisplayMode& mode : ModeListForFormat(*context_.modes, record_.screenFormat)) {
    Send(IDC_MODE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ModeEntryText(mode).c_str()));
  }
}

void ConfigDialog::ShowScreenMode() const {
  const AdapterModeLists& modes = *context_.modes;
  Send(IDC_COLOR_LIST, CB_SETCURSEL, static_cast<WPARAM>(ColorPosition(modes, record_.screenFormat)));
  FillModeList();
  const int mode =
      FindMode(ModeListForFormat(modes, record_.screenFormat), record_.screenWidth, record_.screenHeight);
  Send(IDC_MODE_LIST, CB_SETCURSEL, static_cast<WPARAM>(mode));
}

void ConfigDialog::FillTextureList() {
  for (const char* name : kTextureEntries)
    Send(IDC_TEXTURE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  Send(IDC_TEXTURE_LIST, CB_SETCURSEL, static_cast<WPARAM>(record_.texture));
  UserPicture picture = UserPicture::None;
  if (record_.textureFile[0] != '\0') {
    picture = UserPicture::Missing;
    if (context_.services.fileExists(record_.textureFile)) {
      char title[256];
      picture = UserPicture::Untitled;
      if (GetFileTitleA(record_.textureFile, title, sizeof title) == 0) {
        Send(IDC_TEXTURE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
        picture = UserPicture::Listed;
      }
    }
  }
  record_.texture = TextureAfterListing(record_.texture, picture);
}

void ConfigDialog::SetUpLinkButton() {
  SetWindowSubclass(Item(IDC_LINK_BUTTON), LinkButtonProcedure, kLinkSubclassId,
                    reinterpret_cast<DWORD_PTR>(LoadCursorA(nullptr, IDC_HAND)));
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog_, GWLP_HINSTANCE));
  linkBitmap_.reset(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_LINK_BUTTON)));
}

void ConfigDialog::SetUpTooltip() const {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog_, GWLP_HINSTANCE));
  HWND tooltip =
      CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr, instance, nullptr);
  if (!tooltip) return;  // owned by the dialog, it goes with it
  SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;  // the 44-byte layout
  tool.uFlags = TTF_SUBCLASS | TTF_TRANSPARENT;
  tool.hwnd = Item(IDC_LINK_BUTTON);
  tool.uId = IDC_LINK_TOOL;
  GetClientRect(tool.hwnd, &tool.rect);
  tool.hinst = instance;
  tool.lpszText = const_cast<char*>(kUserGuideTooltip);
  SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageA(tooltip, TTM_ACTIVATE, TRUE, 0);
}

void ConfigDialog::Initialize() {
  FillTextureList();
  FillPresetList(record_.effect == kEffectBasis);
  SelectPreset(record_.presetId);
  for (const char* name : kEffectEntries)
    Send(IDC_EFFECT_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  Send(IDC_EFFECT_LIST, CB_SETCURSEL, static_cast<WPARAM>(record_.effect));
  SetUpLinkButton();
  SetUpTooltip();
  for (const CheckBox& box : CheckBoxes()) Check(box.button, record_.*box.field != 0);
  Check(IDC_AS_FAST_AS_POSSIBLE, ReadAsFastAsPossible());  // beside the record, not in it
  ShowRadioPairs();
  if (record_.calculation == 1) Enable(BroadeningControls(), false);

  // The stored Broadening value is shown even under fast calculation; its controls are disabled then.
  for (Slider s : {Slider::WaveLength, Slider::Broadening, Slider::Space, Slider::Time, Slider::Drops}) {
    SetUpFixedSlider(s);
  }
  UpdateDependentRangesShown();

  if (record_.useCurrentMode) UseDesktopMode(record_, context_.desktop);
  for (int32_t format : context_.modes->foundFormats) {
    const LRESULT at =
        Send(IDC_COLOR_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ColorFormatText(format)));
    Send(IDC_COLOR_LIST, CB_SETITEMDATA, static_cast<WPARAM>(at), at);
  }
  ShowScreenMode();
  Enable(ModeListControls(), !record_.useCurrentMode);

  EnablingRule rule;
  if (EffectRule(record_.effect, rule)) Apply(rule);
  Send(IDC_TEXTURE_LIST, CB_SETCURSEL, static_cast<WPARAM>(record_.texture));
  if (record_.effect == kEffectBasis) Enable(ZSidesControls(), record_.view == kViewTop);
  if (record_.presetId == kTsunamiPresetId) {
    state_.allControlsLocked = true;
    Apply(EnablingRule::Lock);
  }
}

void ConfigDialog::OnScroll(HWND sliderWindow) {
  const SliderDefinition* d = FindSliderById(GetDlgCtrlID(sliderWindow));
  if (!d) return;
  const int32_t position = Position(d->sliderId);
  record_.*d->field = position;
  SetLabel(d->labelId, FormatSliderLabel(d->format, position));
  switch (d->slider) {
    case Slider::WaveLength:
      UpdateDependentRangesShown();
      break;
    case Slider::Drops: {
      UpdateWindow(Item(d->labelId));
      const OptionalSliderSetting geometry = GeometryAfterDropsMoved(record_);
      if (geometry.has) Show(geometry.setting);
      break;
    }
    case Slider::Space:
    case Slider::Time:
      UpdateWindow(Item(d->labelId));
      break;
    default:
      break;
  }
  SyncPresetSelection();
}

void ConfigDialog::OnPresetCommand(int code) {
  switch (code) {
    case CBN_DROPDOWN: {
      PresetListOpened(state_, SelectedItemData(IDC_PRESET_LIST));
      const int count = static_cast<int>(Send(IDC_PRESET_LIST, CB_GETCOUNT));
      for (int i = 0; i < count; ++i) {
        if (Send(IDC_PRESET_LIST, CB_GETITEMDATA, static_cast<WPARAM>(i)) == kCustomPresetId) {
          Send(IDC_PRESET_LIST, CB_DELETESTRING, static_cast<WPARAM>(i));
          break;
        }
      }
      break;
    }
    case CBN_CLOSEUP: {
      const LRESULT at = Send(IDC_PRESET_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Custom"));
      Send(IDC_PRESET_LIST, CB_SETITEMDATA, static_cast<WPARAM>(at), kCustomPresetId);
      if (PresetListClosed(state_)) Send(IDC_PRESET_LIST, CB_SETCURSEL, static_cast<WPARAM>(at));
      break;
    }
    case CBN_SELENDOK: {
      const int id = SelectedItemData(IDC_PRESET_LIST);
      if (id == CB_ERR) break;
      const PresetChoice choice = ChoosePreset(state_, record_, id);
      if (choice.lock == LockChange::Lock) Apply(EnablingRule::Lock);
      if (choice.lock == LockChange::Unlock) Apply(EnablingRule::Unlock);
      ShowPresetApplied();
      if (choice.viewChanged) {
        Enable(ZSidesControls(), record_.view == kViewTop);
        ShowZSides();
        UpdateDependentRangesShown();
      }
      break;
    }
    default:
      break;
  }
}

void ConfigDialog::OnEffectChosen() {
  const LRESULT chosen = Send(IDC_EFFECT_LIST, CB_GETCURSEL);
  if (chosen == CB_ERR) return;
  const EffectChoice choice = ChooseEffect(record_, static_cast<int32_t>(chosen));
  if (!choice.changed) return;
  Send(IDC_PRESET_LIST, CB_RESETCONTENT);
  FillPresetList(choice.fullPresetList);
  Apply(choice.rule);
  if (choice.selectRain) {
    SelectPreset(record_.presetId);
  } else {
    Check(IDC_VIEW_TOP, true);
    Check(IDC_VIEW_BOTTOM, false);
    if (!SelectPreset(record_.presetId)) Send(IDC_PRESET_LIST, CB_SETCURSEL, static_cast<WPARAM>(-1));
  }
  ShowPresetApplied();
  // The values just shown are the stored ones, which may lie outside the new effect's ranges: the second
  // range update clamps the positions and shows the labels of what OK will store.
  UpdateDependentRangesShown();
}

void ConfigDialog::OnRadio(int id) {
  const RadioOutcome outcome = ClickRadio(state_, record_, id);
  if (!outcome.handled) return;  // "Show FPS", "Random Start": taken on OK, no re-match
  if (outcome.broadeningEnabled >= 0) ShowBroadening();
  if (outcome.zSidesEnabled >= 0) {
    Enable(ZSidesControls(), outcome.zSidesEnabled == 1);
    ShowZSides();
  }
  SyncPresetSelection();
  if (outcome.recomputeGeometry) Show(UpdateGeometryRange(record_));
  if (outcome.updateRanges) UpdateDependentRangesShown();
}

void ConfigDialog::OnCurrentMode() {
  record_.useCurrentMode = IsChecked(IDC_CURRENT_MODE) ? 1 : 0;
  if (record_.useCurrentMode) {
    UseDesktopMode(record_, context_.desktop);
    ShowScreenMode();
  }
  Enable(ModeListControls(), !record_.useCurrentMode);
}

void ConfigDialog::OnBrowse() {
  std::string chosen;
  if (!context_.services.choosePicture(dialog_, record_.textureFile, chosen)) return;
  const std::size_t length = std::min(chosen.size(), kTextureFileSize - 1);
  std::memcpy(record_.textureFile, chosen.data(), length);
  record_.textureFile[length] = '\0';
  char title[256];
  if (GetFileTitleA(record_.textureFile, title, sizeof title) != 0) return;
  if (Send(IDC_TEXTURE_LIST, CB_GETCOUNT) == 4) Send(IDC_TEXTURE_LIST, CB_DELETESTRING, 3);
  const LRESULT at = Send(IDC_TEXTURE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
  Send(IDC_TEXTURE_LIST, CB_SETCURSEL, static_cast<WPARAM>(at));
  record_.texture = static_cast<int32_t>(at);
}

void ConfigDialog::OnOk() {
  DialogReadBack controls{};
  controls.showFps = IsChecked(IDC_SHOW_FPS);
  controls.useCurrentMode = IsChecked(IDC_CURRENT_MODE);
  controls.mirror = IsChecked(IDC_OPTICS_MIRROR);
  controls.oneSide = IsChecked(IDC_ZSIDES_ONE);
  controls.fallOut = IsChecked(IDC_FALL_OUT);
  controls.fast = IsChecked(IDC_CALCULATION_FAST);
  controls.randomStart = IsChecked(IDC_RANDOM_START);
  controls.speed = Position(IDC_SPEED_SLIDER);
  controls.optical = Position(IDC_OPTICAL_SLIDER);
  controls.light = Position(IDC_LIGHT_SLIDER);
  controls.geometry = Position(IDC_GEOMETRY_SLIDER);
  controls.broadening = Position(IDC_BROADENING_SLIDER);
  controls.geometryRangeMax = static_cast<int32_t>(Send(IDC_GEOMETRY_SLIDER, TBM_GETRANGEMAX));
  uint8_t identifier[kAdapterIdentifierSize] = {};
  if (context_.adapterIdentifier) std::memcpy(identifier, context_.adapterIdentifier, sizeof identifier);
  StoreReadBack(record_, controls, context_.desktop, identifier);
  context_.services.writeSettings(record_);  // a failed write is not reported
  WriteAsFastAsPossible(IsChecked(IDC_AS_FAST_AS_POSSIBLE));
  End(1);
}

void ConfigDialog::OnCommand(int id, int code) {
  switch (id) {
    case IDC_PRESET_LIST:
      OnPresetCommand(code);
      return;
    case IDC_LINK_BUTTON:
      // Once per click: the owner-drawn button also reports the second press of a double-click.
      if (code == BN_CLICKED) OpenUserGuide();
      return;
    case IDOK:
      OnOk();
      return;
    case IDCANCEL:
      End(2);
      return;
    default:
      break;
  }
  if (code == CBN_SELENDOK) {
    switch (id) {
      case IDC_EFFECT_LIST:
        OnEffectChosen();
        break;
      case IDC_COLOR_LIST: {
        const int selected =
            ChooseColorFormat(record_, *context_.modes, static_cast<int>(Send(id, CB_GETCURSEL)));
        FillModeList();
        Send(IDC_MODE_LIST, CB_SETCURSEL, static_cast<WPARAM>(selected));
        break;
      }
      case IDC_MODE_LIST:
        ChooseMode(record_, *context_.modes, static_cast<int>(Send(id, CB_GETCURSEL)));
        break;
      case IDC_TEXTURE_LIST:
        record_.texture = static_cast<int32_t>(Send(id, CB_GETCURSEL));
        break;
      default:
        break;
    }
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_SHOW_ORANGE_BAR:
      record_.showOrangeBar = IsChecked(id) ? 1 : 0;
      break;
    case IDC_CURRENT_MODE:
      OnCurrentMode();
      break;
    case IDC_BROWSE:
      OnBrowse();
      break;
    default:
      OnRadio(id);
      break;
  }
}

void ConfigDialog::DrawPresetItem(const DRAWITEMSTRUCT& item) const {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const COLORREF oldText =
      SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const COLORREF oldBack = SetBkColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  char text[64] = {};
  if (Send(IDC_PRESET_LIST, CB_GETLBTEXTLEN, item.itemID) < static_cast<LRESULT>(sizeof text)) {
    Send(IDC_PRESET_LIST, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
  }
  TEXTMETRICA metrics{};
  GetTextMetricsA(item.hDC, &metrics);
  const int x = LOWORD(GetDialogBaseUnits()) / 4 + 2;
  const int y = (item.rcItem.top + item.rcItem.bottom - metrics.tmHeight) / 2;
  ExtTextOutA(item.hDC, x, y, ETO_OPAQUE | ETO_CLIPPED, &item.rcItem, text,
              static_cast<UINT>(std::strlen(text)), nullptr);
  SetTextColor(item.hDC, oldText);
  SetBkColor(item.hDC, oldBack);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

void ConfigDialog::DrawLinkButton(const DRAWITEMSTRUCT& item) const {
  RECT frame = item.rcItem;
  DrawFrameControl(item.hDC, &frame, DFC_BUTTON,
                   DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
  if (!linkBitmap_) return;
  HDC memory = CreateCompatibleDC(item.hDC);
  if (!memory) return;
  HGDIOBJ previous = SelectObject(memory, linkBitmap_.get());
  StretchBlt(item.hDC, item.rcItem.left + 1, item.rcItem.top + 1, item.rcItem.right - item.rcItem.left - 3,
             item.rcItem.bottom - item.rcItem.top - 3, memory, 0, 0, kLinkBitmapSize, kLinkBitmapSize,
             SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

void ConfigDialog::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID == IDC_PRESET_LIST) DrawPresetItem(item);
  if (item.CtlID == IDC_LINK_BUTTON) DrawLinkButton(item);
}

void FillInSystemServices(ConfigDialogServices& services) {
  if (!services.fileExists) services.fileExists = SystemFileExists;
  if (!services.choosePicture) services.choosePicture = SystemChoosePicture;
  if (!services.openPage) services.openPage = SystemOpenPage;
  if (!services.findUserGuide) services.findUserGuide = SystemFindUserGuide;
  if (!services.tell) services.tell = SystemTell;
  if (!services.writeSettings) services.writeSettings = WriteSettings;
  if (!services.createDirect3D) services.createDirect3D = Direct3DCreate9;
}

INT_PTR CALLBACK ConfigDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<ConfigDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      auto* context = reinterpret_cast<ConfigDialogContext*>(lParam);
      dialog = new ConfigDialog(window, *context);
      SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
      dialog->Initialize();
      if (context->livePreview) dialog->AddPreviewPane();
      return 0;
    }
    case WM_TIMER:
      if (dialog) dialog->OnTimer(wParam);
      return 0;
    case WM_MOVE:
      if (dialog) dialog->OnMove();
      return 0;
    case WM_HSCROLL:
      if (dialog) {
        dialog->OnScroll(reinterpret_cast<HWND>(lParam));
        dialog->HandOverToPane(LOWORD(wParam) == TB_THUMBTRACK);
      }
      return 0;
    case WM_COMMAND:
      if (dialog) {
        dialog->OnCommand(LOWORD(wParam), HIWORD(wParam));
        // (unless the command ended the dialog's window)
        if (GetWindowLongPtrA(window, DWLP_USER) == reinterpret_cast<LONG_PTR>(dialog))
          dialog->HandOverToPane(false);
      }
      return 0;
    case WM_DRAWITEM:
      if (dialog) dialog->OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return 0;
    case WM_DESTROY:
      if (dialog) dialog->OnDestroy();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, DWLP_USER, 0);
      delete dialog;
      return 0;
    default:
      return 0;
  }
}

}  // namespace

INT_PTR RunConfigDialog(HINSTANCE instance, HWND owner, ConfigDialogContext& context) {
  FillInSystemServices(context.services);
  context.livePreview = PreviewPaneWanted();
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONFIGURE), owner, ConfigDialogProcedure,
                         reinterpret_cast<LPARAM>(&context));
}

HWND CreateConfigDialog(HINSTANCE instance, HWND owner, ConfigDialogContext& context, bool withPreview) {
  FillInSystemServices(context.services);
  context.livePreview = withPreview;
  return CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CONFIGURE), owner, ConfigDialogProcedure,
                            reinterpret_cast<LPARAM>(&context));
}

}  // namespace lumar
