// Little-endian reads from a bounded buffer. Every read checks the bounds and reports failure through
// ok() instead of reading past the end, so a header parser can read a whole record and test once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumar {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  void Skip(size_t count) {
    if (count > size_ - offset_) {
      ok_ = false;
      offset_ = size_;
    } else {
      offset_ += count;
    }
  }
  void Seek(size_t offset) {
    offset_ = 0;
    Skip(offset);
  }

  bool ok() const { return ok_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return size_ - offset_; }

 private:
  uint64_t Take(size_t count) {
    if (count > size_ - offset_) {
      ok_ = false;
      offset_ = size_;
      return 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i) value |= static_cast<uint64_t>(data_[offset_ + i]) << (8 * i);
    offset_ += count;
    return value;
  }

  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool ok_ = true;
};

}  // namespace lumar
