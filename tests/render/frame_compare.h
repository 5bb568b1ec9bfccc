// Comparing frames read back from the device with the pictures they should show.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>

#include "platform/image.h"
#include "render/render_rig_win32.h"

namespace lumar::test {

// The counters below measure a frame; over no frame (nothing drawn, nothing read back) they fail the test,
// since any count they returned could satisfy a check.
inline bool HasPixels(const Frame& frame) {
  if (!frame.pixels.empty() && frame.pixels.size() == static_cast<size_t>(frame.width) * frame.height)
    return true;
  ADD_FAILURE() << "no frame to measure: nothing was drawn or it could not be read back";
  return false;
}

inline int ChannelDifference(uint32_t a, uint32_t b) {
  int most = 0;
  for (int shift = 0; shift < 24; shift += 8)
    most = std::max(most,
                    std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  return most;
}

// The screen as a picture would show it undistorted: pixel (x, y) of the frame samples the picture at the
// same fraction of its width and height; `upsideDown` reads the picture's rows from the bottom.
inline Frame StretchedPicture(const Image& picture, int width, int height, bool upsideDown) {
  Frame out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    uint32_t row = static_cast<uint32_t>((static_cast<uint64_t>(y) * picture.height) / height);
    if (upsideDown) row = picture.height - 1 - row;
    for (int x = 0; x < width; ++x) {
      const auto column = static_cast<uint32_t>((static_cast<uint64_t>(x) * picture.width) / width);
      out.pixels[static_cast<size_t>(y) * width + x] = picture.At(column, row) | 0xFF000000u;
    }
  }
  return out;
}

// The largest channel difference between the mean colours of corresponding `block` x `block` squares:
// small when the frame shows the expected picture in place, whichever single pixels the sampling moves.
inline double WorstBlockDifference(const Frame& frame, const Frame& expected, int block) {
  if (!HasPixels(frame) || !HasPixels(expected)) return 255.0;
  double worst = 0.0;
  for (int by = 0; by + block <= frame.height; by += block) {
    for (int bx = 0; bx + block <= frame.width; bx += block) {
      for (int shift = 0; shift < 24; shift += 8) {
        double sum = 0.0;
        for (int y = by; y < by + block; ++y)
          for (int x = bx; x < bx + block; ++x)
            sum +=
                static_cast<double>((frame.At(x, y) >> shift) & 0xFF) - ((expected.At(x, y) >> shift) & 0xFF);
        worst = std::max(worst, std::abs(sum) / (block * block));
      }
    }
  }
  return worst;
}

// How many pixels for which `where` holds differ between two frames by more than `tolerance`.
inline int CountChanged(const Frame& a, const Frame& b, const std::function<bool(int x, int y)>& where,
                        int tolerance = 0) {
  if (!HasPixels(a) || !HasPixels(b)) return -1;
  if (a.width != b.width || a.height != b.height) {
    ADD_FAILURE() << "frames of different sizes: " << a.width << "x" << a.height << ", " << b.width << "x"
                  << b.height;
    return -1;
  }
  int changed = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if (where(x, y) && ChannelDifference(a.At(x, y), b.At(x, y)) > tolerance) ++changed;
  return changed;
}

inline int CountPixels(const Frame& frame, const std::function<bool(int x, int y)>& where) {
  if (!HasPixels(frame)) return -1;
  int count = 0;
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x)
      if (where(x, y)) ++count;
  return count;
}

// How many pixels for which `where` holds are within 2 of `color` in every channel.
inline int CountColor(const Frame& frame, uint32_t color, const std::function<bool(int x, int y)>& where) {
  if (!HasPixels(frame)) return -2;  // never equal to a CountPixels over no frame either
  int count = 0;
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x)
      if (where(x, y) && ChannelDifference(frame.At(x, y), color) <= 2) ++count;
  return count;
}

}  // namespace lumar::test
