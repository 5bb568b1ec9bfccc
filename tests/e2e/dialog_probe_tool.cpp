// Looks at the configuration dialog from another process, as a user's input would reach it:
//   dialog_probe_tool answer SECONDS   sends WM_NULL every 10 ms for SECONDS, each with a 50 ms limit;
//                                      prints the slowest answer in ms and the counts of messages that
//                                      ran out of time while the machine stalled and on their own; exit
//                                      code 1 when any did on its own, more than 1 in 50 in stalls, or
//                                      there is no dialog
//   dialog_probe_tool minimize|restore minimises or restores the dialog (its system menu's commands)
//   dialog_probe_tool preset NAME      chooses preset NAME in the Preset list as a click on it would;
//                                      prints the Unix time at which the dialog had taken it
//   dialog_probe_tool cancel           clicks Cancel
//   dialog_probe_tool dialogs          prints how many dialogs are open with a preview pane and without
//   dialog_probe_tool drags SLIDER N   with two dialogs open, one with the preview pane and one without:
//                                      drags slider SLIDER (its id) end to end in each, N times, taking
//                                      turns; prints each drag's time, the medians and the median of the
//                                      ratios of the two drags of each round ("median on X off Y ratio
//                                      R"); exit code 1 when either dialog is missing
// commctrl.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The dialog of lumar.scr: a dialog-class window titled "Lumar".
HWND FindDialog() { return FindWindowA("#32770", "Lumar"); }

double Seconds(const LARGE_INTEGER& at) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(at.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return Seconds(now);
}

// A window of the probe's own on a thread of its own that does nothing but answer: when it too answers
// late, the whole machine stalled (another program had the processors), not the dialog.
struct Reference {
  HWND window = nullptr;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  static DWORD WINAPI Thread(void* self) {
    auto* reference = static_cast<Reference*>(self);
    reference->window =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetEvent(reference->ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
  }
};

// The answers of the reference window, sent every 10 ms by a thread of their own: the spans in which it
// went more than 60 ms without an answer.
struct StallWatch {
  HWND window;
  double until;
  std::vector<std::pair<double, double>> stalls;
  static DWORD WINAPI Thread(void* self) {
    auto* watch = static_cast<StallWatch*>(self);
    double last = Now();
    while (last < watch->until) {
      DWORD_PTR result = 0;
      SendMessageTimeoutA(watch->window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result);
      const double now = Now();
      if (now - last > 0.060) watch->stalls.emplace_back(last, now);
      last = now;
      Sleep(10);
    }
    return 0;
  }
};

// WM_NULL to the dialog every 10 ms for `seconds`, each with 50 ms to answer. An answer that ran out of
// time while the probe's own idle window also went unanswered (the machine stalled) is counted apart, as
// stalled; more than one message in fifty stalled fails too, so that a dialog whose process keeps the
// processors busy cannot pass as stalls.
int Answer(double seconds) {
  HWND dialog = FindDialog();
  if (!dialog) {
    std::printf("no dialog\n");
    return 1;
  }
  Reference reference;
  HANDLE referenceThread = CreateThread(nullptr, 0, Reference::Thread, &reference, 0, nullptr);
  WaitForSingleObject(reference.ready, 5000);
  if (!reference.window) {
    std::printf("no reference window\n");
    return 1;
  }
  const double start = Now();
  StallWatch watch{reference.window, start + seconds, {}};
  HANDLE watchThread = CreateThread(nullptr, 0, StallWatch::Thread, &watch, 0, nullptr);
  double slowest = 0;
  int sent = 0;
  std::vector<std::pair<double, double>> late;
  while (Now() - start < seconds) {
    const double before = Now();
    DWORD_PTR result = 0;
    const LRESULT answered = SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 50, &result);
    const double after = Now();
    ++sent;
    if (!answered) late.emplace_back(before, after);
    slowest = std::max(slowest, 1000 * (after - before));
    Sleep(10);
  }
  WaitForSingleObject(watchThread, 5000);
  PostMessageA(reference.window, WM_QUIT, 0, 0);
  PostThreadMessageA(GetThreadId(referenceThread), WM_QUIT, 0, 0);
  WaitForSingleObject(referenceThread, 2000);
  int stalled = 0;
  for (const auto& message : late) {
    for (const auto& stall : watch.stalls) {
      if (stall.first < message.second && message.first < stall.second) {
        ++stalled;
        break;
      }
    }
  }
  const int lateOnItsOwn = static_cast<int>(late.size()) - stalled;
  std::printf("sent %d slowest %.1f stalled %d late %d\n", sent, slowest, stalled, lateOnItsOwn);
  return lateOnItsOwn == 0 && stalled * 50 <= sent && sent > 0 ? 0 : 1;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The preview pane a dialog owns, or null.
HWND PaneOf(HWND dialog) {
  for (HWND w = FindWindowExA(nullptr, nullptr, "LumarPreviewPane", nullptr); w;
       w = FindWindowExA(nullptr, w, "LumarPreviewPane", nullptr)) {
    if (GetWindow(w, GW_OWNER) == dialog) return w;
  }
  return nullptr;
}

// The dialog with a pane (`withPane`) or without one.
HWND FindDialogWithPane(bool withPane) {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", "Lumar"); w;
       w = FindWindowExA(nullptr, w, "#32770", "Lumar")) {
    if ((PaneOf(w) != nullptr) == withPane) return w;
  }
  return nullptr;
}

// Waits up to `ms` for `done`.
template <typename Done>
bool WaitFor(DWORD ms, Done done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(10);
  }
  return true;
}

// One drag of the thumb from the slider's least position to its greatest, as the trackbar reports a drag
// to its dialog: 60 moves at a mouse's pace (one every 8 ms), each a new position and TB_THUMBTRACK, then
// TB_THUMBPOSITION and TB_ENDTRACK as the button goes up. Returns the time the dialog took to answer
// them, the pauses between moves left out.
double Drag(HWND dialog, int sliderId) {
  HWND slider = GetDlgItem(dialog, sliderId);
  if (!slider) return -1;
  const int least = static_cast<int>(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0));
  const int greatest = static_cast<int>(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0));
  constexpr int kMoves = 60;
  double answering = 0;
  auto report = [&](WPARAM code, int position) {
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(slider));
    QueryPerformanceCounter(&after);
    answering += Milliseconds(before, after);
  };
  for (int move = 1; move <= kMoves; ++move) {
    report(TB_THUMBTRACK, least + (greatest - least) * move / kMoves);
    Sleep(8);
  }
  report(TB_THUMBPOSITION, greatest);
  report(TB_ENDTRACK, greatest);
  const double answered = answering;
  // Back to the start for the next drag, as a click would put it (not timed), and a moment for the pane
  // to follow while it is on the screen.
  report(TB_ENDTRACK, least);
  Sleep(500);
  return answered;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// Drags in the dialog with the pane (restored, its pane drawing) and in the one without, taking turns
// and changing who goes first each round, so that a change in the machine's load falls on both alike.
// The dialog not dragged waits hidden (its pane resting).
int Drags(int sliderId, int rounds) {
  HWND on = FindDialogWithPane(true);
  HWND off = FindDialogWithPane(false);
  if (!on || !off) {
    std::printf("need a dialog with the pane and one without (%s, %s)\n", on ? "found" : "missing",
                off ? "found" : "missing");
    return 1;
  }
  HWND pane = PaneOf(on);
  std::vector<double> withPane, withoutPane;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool paneTurn = (turn == 0) == (round % 2 == 0);
      HWND dragged = paneTurn ? on : off;
      HWND other = paneTurn ? off : on;
      // Each drag's dialog shows again and the other hides: the same for both. (Hidden rather than
      // minimised: the dialog opened second has the first, the foreground window then, as its owner, which
      // it keeps disabled.)
      ShowWindow(other, SW_HIDE);
      ShowWindow(dragged, SW_SHOWNOACTIVATE);
      if (!WaitFor(5000, [&] {
            return !IsWindowVisible(other) && IsWindowVisible(dragged) &&
                   (IsWindowVisible(pane) != FALSE) == paneTurn;
          })) {
        std::printf("the dialogs did not come and go (dragged %s, other %s, pane %s)\n",
                    IsWindowVisible(dragged) ? "shown" : "hidden",
                    IsWindowVisible(other) ? "shown" : "hidden", IsWindowVisible(pane) ? "shown" : "hidden");
        return 1;
      }
      Sleep(1000);  // the pane drawing again
      (paneTurn ? withPane : withoutPane).push_back(Drag(dragged, sliderId));
      std::printf("%s %.1f\n", paneTurn ? "on" : "off", (paneTurn ? withPane : withoutPane).back());
    }
  }
  ShowWindow(on, SW_SHOWNOACTIVATE);
  ShowWindow(off, SW_SHOWNOACTIVATE);
  PostMessageA(on, WM_SYSCOMMAND, SC_RESTORE, 0);
  // The two drags of a round came one after the other, under much the same load.
  std::vector<double> ratios;
  for (size_t i = 0; i < withPane.size() && i < withoutPane.size(); ++i)
    ratios.push_back(withPane[i] / std::max(withoutPane[i], 0.1));
  std::printf("median on %.1f off %.1f ratio %.2f\n", Median(withPane), Median(withoutPane), Median(ratios));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "answer") == 0) return Answer(std::atof(argv[2]));
  if (argc == 2 && (std::strcmp(argv[1], "minimize") == 0 || std::strcmp(argv[1], "restore") == 0)) {
    HWND dialog = FindDialog();
    if (!dialog) return 1;
    PostMessageA(dialog, WM_SYSCOMMAND, std::strcmp(argv[1], "minimize") == 0 ? SC_MINIMIZE : SC_RESTORE, 0);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "preset") == 0) {
    constexpr int kPresetList = 1105;
    HWND dialog = FindDialog();
    HWND list = dialog ? GetDlgItem(dialog, kPresetList) : nullptr;
    if (!list) return 1;
    const LRESULT at =
        SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(argv[2]));
    if (at == CB_ERR) return 1;
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kPresetList, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
    // When the dialog had taken the choice, on the clock a Linux shell reads (Wine's system time is it).
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr ULONGLONG kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in 100 ns steps from 1601
    std::printf("chosen at %.3f\n", static_cast<double>(ticks - kUnixEpoch) / 1e7);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "dialogs") == 0) {
    int with = 0, without = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", "Lumar"); w;
         w = FindWindowExA(nullptr, w, "#32770", "Lumar")) {
      ++(PaneOf(w) ? with : without);
    }
    std::printf("with pane %d without %d\n", with, without);
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "drags") == 0) return Drags(std::atoi(argv[2]), std::atoi(argv[3]));
  if (argc == 2 && std::strcmp(argv[1], "cancel") == 0) {
    HWND dialog = FindDialog();
    HWND button = dialog ? GetDlgItem(dialog, IDCANCEL) : nullptr;
    if (!button) return 1;
    PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
  }
  std::fprintf(stderr,
               "usage: dialog_probe_tool answer SECONDS | minimize | restore | preset NAME | cancel | "
               "dialogs | drags SLIDER N\n");
  return 2;
}
