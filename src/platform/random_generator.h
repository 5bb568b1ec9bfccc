// The saver's random numbers: the classic C run-time generator, as our own code so that every platform
// and every build draws the same sequence from the same seed.
#pragma once

#include <cstdint>

namespace lumar {

class RandomGenerator {
 public:
  static constexpr int kRandMax = 32767;

  // The state starts at 1, as the run-time library's does before any seeding.
  explicit RandomGenerator(uint32_t seed = 1) : state_(seed) {}

  void Srand(uint32_t seed) { state_ = seed; }

  // 0 ... 32767: state = state * 214013 + 2531011 (mod 2^32), result bits 16..30.
  int Rand() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }

 private:
  uint32_t state_;
};

}  // namespace lumar
