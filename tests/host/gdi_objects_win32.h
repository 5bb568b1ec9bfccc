// The GDI objects this process holds, for tests that check nothing is left over. Windows counts them
// (GetGuiResources); Wine's GetGuiResources is a stub that fails with ERROR_CALL_NOT_IMPLEMENTED, and
// there the GDI handle table the process environment block names is the process's own: the entries in
// use are counted instead. -1 when neither answers (a test must then fail, not pass).
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>

namespace lumar {
namespace test {

// An entry of Wine's GDI handle table (win32u's GDI_HANDLE_ENTRY): a type of 0 is a free entry.
struct GdiHandleEntry {
  uint64_t object;
  uint32_t owner;
  uint16_t unique;
  uint8_t type;
  uint8_t flags;
  uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "the table's entry is 24 bytes");

inline long GdiObjectCount() {
  SetLastError(0);
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return static_cast<long>(counted);
  // GdiSharedHandleTable lies at 0xF8 in the 64-bit process environment block (MinGW's PEB leaves it
  // unnamed); Wine's table has 65536 entries.
  constexpr size_t kTableOffset = 0xF8;
  constexpr size_t kEntries = 0x10000;
  using QueryProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryProcess>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
    return -1;
  const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
  const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + kTableOffset);
  if (!table) return -1;
  long used = 0;
  for (size_t i = 0; i < kEntries; ++i) used += table[i].type != 0 ? 1 : 0;
  return used;
}

}  // namespace test
}  // namespace lumar
