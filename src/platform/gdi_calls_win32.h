// The GDI calls of the desktop snapshot and the text overlay, made through one table so that a test can
// count the objects they make or fail any one of them. The table starts with the system's functions.
#pragma once

#include <windows.h>

namespace lumar {

struct GdiCalls {
  HDC(WINAPI* createDC)(LPCSTR, LPCSTR, LPCSTR, const DEVMODEA*) = CreateDCA;
  HDC(WINAPI* createCompatibleDC)(HDC) = CreateCompatibleDC;
  BOOL(WINAPI* deleteDC)(HDC) = DeleteDC;
  HBITMAP(WINAPI* createDIBSection)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD) = CreateDIBSection;
  HFONT(WINAPI* createFont)
  (int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, LPCSTR) = CreateFontA;
  HGDIOBJ(WINAPI* selectObject)(HDC, HGDIOBJ) = SelectObject;
  BOOL(WINAPI* deleteObject)(HGDIOBJ) = DeleteObject;
  BOOL(WINAPI* bitBlt)(HDC, int, int, int, int, HDC, int, int, DWORD) = BitBlt;
  BOOL(WINAPI* stretchBlt)(HDC, int, int, int, int, HDC, int, int, int, int, DWORD) = StretchBlt;
};

// The table in use; tests replace entries and put the defaults back when done.
GdiCalls& Gdi();

}  // namespace lumar
