// PASSWORD.CPL as the host tests need it: VerifyScreenSavePwd answers what the test set, counts its
// calls, remembers the window it was given and, while it "shows its dialog", runs the test's hook.
#include <windows.h>

using VerifyHook = void (*)(HWND window, void* context);

namespace {
BOOL answer = FALSE;
VerifyHook hook = nullptr;
void* hookContext = nullptr;
int calls = 0;
HWND lastWindow = nullptr;
}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  ++calls;
  lastWindow = window;
  if (hook) hook(window, hookContext);
  return answer;
}

// Test controls: the answer of the following checks and the hook they run; resets the record of calls.
__declspec(dllexport) void PasswordDoubleSetUp(BOOL nextAnswer, VerifyHook nextHook, void* context) {
  answer = nextAnswer;
  hook = nextHook;
  hookContext = context;
  calls = 0;
  lastWindow = nullptr;
}

__declspec(dllexport) int PasswordDoubleCalls() { return calls; }

__declspec(dllexport) HWND PasswordDoubleLastWindow() { return lastWindow; }

}  // extern "C"
