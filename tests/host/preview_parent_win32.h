// The control panel's preview area: the parent window a preview draws into, and the command line that
// names it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace lumar::test {

class PreviewParent {
 public:
  PreviewParent() {
    window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  }
  PreviewParent(const PreviewParent&) = delete;
  PreviewParent& operator=(const PreviewParent&) = delete;
  ~PreviewParent() { DestroyWindow(window_); }
  std::string Arguments() const {
    return "/p " + std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window_)));
  }

 private:
  HWND window_ = nullptr;
};

}  // namespace lumar::test
