// MPR.DLL as the host tests need it. The full double writes the arguments of PwdChangePasswordA to the
// file named by LUMAR_MPR_DOUBLE_LOG; built with MPR_DOUBLE_WITHOUT_CHANGE it lacks that function and
// has only the wide one.
#include <windows.h>

#include <cstdio>

extern "C" {

#ifndef MPR_DOUBLE_WITHOUT_CHANGE
__declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND parent, DWORD flags, LPVOID reserved) {
  char path[MAX_PATH] = {};
  if (GetEnvironmentVariableA("LUMAR_MPR_DOUBLE_LOG", path, sizeof path) == 0) return 1;
  FILE* log = std::fopen(path, "ab");
  if (!log) return 1;
  std::fprintf(log, "%s %llu %lu %llu\n", provider ? provider : "(null)",
               static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(parent)),
               static_cast<unsigned long>(flags),
               static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(reserved)));
  std::fclose(log);
  return 0;
}
#endif

__declspec(dllexport) DWORD WINAPI PwdChangePasswordW(LPCWSTR, HWND, DWORD, LPVOID) { return 1; }

}  // extern "C"
