// Loads a library by bare name with the ordinary search order (the program's own folder first) and says
// which file was taken: the control case for the planted-library test, showing that a stand-in beside a
// program is found when nothing restricts the search.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: library_probe_tool <library name>\n");
    return 2;
  }
  HMODULE library = LoadLibraryA(argv[1]);
  if (!library) {
    std::printf("not loaded: %lu\n", GetLastError());
    return 1;
  }
  char path[MAX_PATH] = {};
  GetModuleFileNameA(library, path, MAX_PATH);
  std::printf("%s\n", path);
  FreeLibrary(library);
  return 0;
}
