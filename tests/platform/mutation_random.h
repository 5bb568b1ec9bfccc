// The random numbers of the deterministic mutation tests: a 64-bit xorshift, the same on every platform.
#pragma once

#include <cstdint>

namespace lumar::test {

class MutationRandom {
 public:
  explicit MutationRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

}  // namespace lumar::test
