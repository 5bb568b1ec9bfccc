// Picture files written by tests into the temporary directory, for the saver to load by path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/bmp_builder.h"
#include "platform/image.h"

namespace lumar::test {

inline std::string TempFile(const char* name) {
  char directory[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, directory);
  return std::string(directory) + name;
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// A 24-bit bottom-up BMP of the picture, as the format stores it.
inline std::vector<uint8_t> BmpOf(const Image& picture) {
  std::vector<std::vector<uint8_t>> rows;
  for (uint32_t y = picture.height; y-- > 0;) {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < picture.width; ++x) {
      const uint32_t p = picture.At(x, y);
      row.insert(row.end(),
                 {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p >> 16)});
    }
    rows.push_back(row);
  }
  return BuildBmp(Layout(static_cast<int32_t>(picture.width), static_cast<int32_t>(picture.height), 24),
                  rows);
}

}  // namespace lumar::test
