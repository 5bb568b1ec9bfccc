// A top-level popup window of its own class for the tests, gone with its class when the object goes.
#pragma once

#include <windows.h>

#include <string>

namespace lumar {

class TestWindow {
 public:
  TestWindow(const char* className, WNDPROC procedure, DWORD extendedStyle, int width, int height)
      : className_(className) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className_.c_str();
    RegisterClassA(&wc);
    window_ = CreateWindowExA(extendedStyle, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                              nullptr, nullptr, wc.hInstance, nullptr);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  ~TestWindow() {
    DestroyWindow(window_);
    UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
  }
  HWND get() const { return window_; }

 private:
  std::string className_;
  HWND window_ = nullptr;
};

}  // namespace lumar
