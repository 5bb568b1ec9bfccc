// The desktop snapshot: a square bottom-up DIB section holding a picture of the screen, taken once per
// run before the saver's window shows, and uploaded into the picture texture at every resource creation.
#pragma once

#include <windows.h>

#include <vector>

#include "render/snapshot_layout.h"
#include "wavefield/run_constants.h"

namespace lumar {

class DesktopSnapshot {
 public:
  DesktopSnapshot() = default;
  DesktopSnapshot(const DesktopSnapshot&) = delete;
  DesktopSnapshot& operator=(const DesktopSnapshot&) = delete;
  ~DesktopSnapshot() { Release(); }

  // Captures the W x H screen into an S x S bitmap of `bitsPerPixel` (16 or 32). A screen larger than the
  // square is cut to it. A failed capture leaves whatever the bitmap holds; returns false only when no
  // bitmap could be made. `originX`, `originY`: where the screen lies on the desktop (a monitor other
  // than the primary has its own part of it); every copy reads from there.
  bool Take(int squareSize, int screenWidth, int screenHeight, int bitsPerPixel, int originX = 0,
            int originY = 0);

  // The run's snapshot: the desktop into the run's square, scaled down to the run's snapshot size when
  // the square cannot hold it; a monitor other than the primary gives its place on the desktop.
  bool Take(const RunConstants& run, int originX = 0, int originY = 0);

  // Copies all S rows into `destination`, `pitch` bytes apart, in the bitmap's bottom-up order: the first
  // row written is the bottom row of the screen picture. Returns the number of rows copied.
  int CopyRows(void* destination, int pitch) const;

  // Deletes the bitmap and its memory DC; safe when absent.
  void Release();

  bool taken() const { return snapshotBitmap_ != nullptr; }
  HDC snapshotDC() const { return snapshotDC_; }
  HBITMAP snapshotBitmap() const { return snapshotBitmap_; }
  int squareSize() const { return squareSize_; }
  int bitsPerPixel() const { return bitsPerPixel_; }

 private:
  BITMAPINFOHEADER Header() const;
  bool Capture(int squareSize, int bitsPerPixel, const std::vector<CopyRect>& copies, int originX,
               int originY);

  HDC snapshotDC_ = nullptr;
  HBITMAP snapshotBitmap_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  const unsigned char* bits_ = nullptr;  // the DIB section's pixels
  int squareSize_ = 0;
  int bitsPerPixel_ = 32;
};

}  // namespace lumar
