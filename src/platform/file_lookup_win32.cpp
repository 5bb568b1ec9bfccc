#include "platform/file_lookup_win32.h"

#include <windows.h>

#include <cstring>

namespace lumar {

bool PictureFileExists(const char* path) {
  if (path == nullptr || path[0] == '\0' || std::strpbrk(path, "*?") != nullptr) return false;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace lumar
