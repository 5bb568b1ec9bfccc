// One owned reference to a COM object (Direct3D textures, buffers, state blocks), released when the
// holder goes or is reset.
#pragma once

#include <utility>

namespace lumar {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* owned) : object_(owned) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // The pointer is cleared before the Release, which may send messages (a full-screen device restoring
  // the mode) that lead back to the holder.
  void reset(T* owned = nullptr) {
    if (T* held = std::exchange(object_, owned)) held->Release();
  }
  // For creation calls that hand out a new reference: releases the old object first.
  T** Receive() {
    reset();
    return &object_;
  }

 private:
  T* object_ = nullptr;
};

}  // namespace lumar
