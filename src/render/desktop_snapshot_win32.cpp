// Desktop capture with GDI.
#include "render/desktop_snapshot_win32.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/gdi_calls_win32.h"

namespace lumar {

BITMAPINFOHEADER DesktopSnapshot::Header() const {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = squareSize_;
  header.biHeight = squareSize_;  // positive: bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitsPerPixel_);
  header.biCompression = BI_RGB;
  return header;
}

namespace {

// A screen at the desktop's origin takes the four copies; one elsewhere (a monitor other than the primary)
// repeats its own part in tiles, since a copy larger than the monitor would read another monitor's pixels.
std::vector<CopyRect> Layout(int s, int screenWidth, int screenHeight, int pictureWidth, int pictureHeight,
                             bool atOrigin) {
  if (!atOrigin) return SnapshotTiles(s, screenWidth, screenHeight, pictureWidth, pictureHeight);
  const auto copies = SnapshotCopies(s, screenWidth, screenHeight, pictureWidth, pictureHeight);
  return std::vector<CopyRect>(copies.begin(), copies.end());
}

}  // namespace

bool DesktopSnapshot::Take(int squareSize, int screenWidth, int screenHeight, int bitsPerPixel, int originX,
                           int originY) {
  const int w = std::clamp(screenWidth, 0, std::max(squareSize, 0));
  const int h = std::clamp(screenHeight, 0, std::max(squareSize, 0));
  return Capture(squareSize, bitsPerPixel, Layout(squareSize, w, h, w, h, originX == 0 && originY == 0),
                 originX, originY);
}

bool DesktopSnapshot::Take(const RunConstants& run, int originX, int originY) {
  return Capture(run.pictureTextureSize, run.snapshotBitsPerPixel,
                 Layout(run.pictureTextureSize, run.desktopWidth, run.desktopHeight, run.snapshotWidth,
                        run.snapshotHeight, originX == 0 && originY == 0),
                 originX, originY);
}

bool DesktopSnapshot::Capture(int squareSize, int bitsPerPixel, const std::vector<CopyRect>& copies,
                              int originX, int originY) {
  Release();
  squareSize_ = squareSize;
  bitsPerPixel_ = bitsPerPixel;
  BITMAPINFO info{};
  info.bmiHeader = Header();

  HDC display = Gdi().createDC("DISPLAY", nullptr, nullptr, nullptr);
  if (!display) return false;
  snapshotDC_ = Gdi().createCompatibleDC(display);
  void* bits = nullptr;
  snapshotBitmap_ = Gdi().createDIBSection(display, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<const unsigned char*>(bits);
  if (snapshotDC_ && snapshotBitmap_) {
    previousBitmap_ = Gdi().selectObject(snapshotDC_, snapshotBitmap_);
    // Every copy reads from the screen's origin on the desktop; results are not examined (a failed copy
    // leaves the bitmap as it was). A scaled copy averages the pixels it drops.
    SetStretchBltMode(snapshotDC_, HALFTONE);
    SetBrushOrgEx(snapshotDC_, 0, 0, nullptr);
    for (const CopyRect& r : copies) {
      if (r.empty()) continue;
      if (r.scaled()) {
        Gdi().stretchBlt(snapshotDC_, r.x, r.y, r.width, r.height, display, originX, originY, r.sourceWidth,
                         r.sourceHeight, SRCCOPY);
      } else {
        Gdi().bitBlt(snapshotDC_, r.x, r.y, r.width, r.height, display, originX, originY, SRCCOPY);
      }
    }
  }
  Gdi().deleteDC(display);
  if (!snapshotBitmap_) {
    Release();
    return false;
  }
  return true;
}

int DesktopSnapshot::CopyRows(void* destination, int pitch) const {
  if (!bits_ || !destination) return 0;
  GdiFlush();  // the DIB section's memory is current only after GDI's batch is flushed
  // DIB rows are padded to 4 bytes; the locked texture's rows are `pitch` apart, which may be wider.
  const std::size_t rowBytes = static_cast<std::size_t>(squareSize_) * (bitsPerPixel_ / 8);
  const std::size_t dibStride = (rowBytes + 3) & ~std::size_t{3};
  auto* out = static_cast<unsigned char*>(destination);
  for (int row = 0; row < squareSize_; ++row) {
    std::memcpy(out + static_cast<std::ptrdiff_t>(row) * pitch, bits_ + row * dibStride, rowBytes);
  }
  return squareSize_;
}

void DesktopSnapshot::Release() {
  if (snapshotDC_ && previousBitmap_) Gdi().selectObject(snapshotDC_, previousBitmap_);
  previousBitmap_ = nullptr;
  bits_ = nullptr;
  if (snapshotBitmap_) {
    Gdi().deleteObject(snapshotBitmap_);
    snapshotBitmap_ = nullptr;
  }
  if (snapshotDC_) {
    Gdi().deleteDC(snapshotDC_);
    snapshotDC_ = nullptr;
  }
}

}  // namespace lumar
