#include "platform/image_scaling.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace lumar {
namespace {

// Mitchell-Netravali cubic with B = C = 1/3: little blur, little ringing.
float Mitchell(float x) {
  constexpr float B = 1.0f / 3.0f;
  constexpr float C = 1.0f / 3.0f;
  x = std::fabs(x);
  if (x < 1.0f) {
    return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) / 6.0f;
  }
  if (x < 2.0f) {
    return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x + (8 * B + 24 * C)) /
           6.0f;
  }
  return 0.0f;
}

struct Tap {
  uint32_t index;
  float weight;
};

// For each destination position, the source positions it reads and their normalised weights.
struct Contributions {
  std::vector<uint32_t> first;  // first tap of destination i is taps[first[i]], the last taps[first[i+1]-1]
  std::vector<Tap> taps;
};

Contributions ComputeContributions(uint32_t sourceSize, uint32_t destinationSize) {
  Contributions c;
  c.first.reserve(destinationSize + 1);
  const double scale = static_cast<double>(sourceSize) / destinationSize;
  const double widen = std::max(1.0, scale);
  const double radius = 2.0 * widen;
  for (uint32_t i = 0; i < destinationSize; ++i) {
    c.first.push_back(static_cast<uint32_t>(c.taps.size()));
    if (sourceSize == destinationSize) {
      c.taps.push_back({i, 1.0f});
      continue;
    }
    const double center = (i + 0.5) * scale - 0.5;
    const long lo = static_cast<long>(std::floor(center - radius)) + 1;
    const long hi = static_cast<long>(std::ceil(center + radius)) - 1;
    const size_t begin = c.taps.size();
    float sum = 0.0f;
    for (long j = lo; j <= hi; ++j) {
      const float w = Mitchell(static_cast<float>((j - center) / widen));
      if (w == 0.0f) continue;
      const uint32_t clamped =
          static_cast<uint32_t>(std::clamp<long>(j, 0, static_cast<long>(sourceSize) - 1));
      c.taps.push_back({clamped, w});
      sum += w;
    }
    for (size_t t = begin; t < c.taps.size(); ++t) c.taps[t].weight /= sum;
  }
  c.first.push_back(static_cast<uint32_t>(c.taps.size()));
  return c;
}

constexpr uint32_t kNoRow = 0xFFFFFFFFu;

// The widest run of source positions one destination position reads: the rows the vertical pass needs
// at once. Consecutive destinations read runs that move forward, so a ring of this many rows serves all.
uint32_t RowsHeld(const Contributions& c) {
  uint32_t held = 1;
  for (size_t i = 0; i + 1 < c.first.size(); ++i) {
    uint32_t lo = kNoRow, hi = 0;
    for (uint32_t t = c.first[i]; t < c.first[i + 1]; ++t) {
      lo = std::min(lo, c.taps[t].index);
      hi = std::max(hi, c.taps[t].index);
    }
    if (lo <= hi) held = std::max(held, hi - lo + 1);
  }
  return held;
}

uint32_t Channel(uint32_t pixel, int channel) { return (pixel >> (8 * channel)) & 0xFFu; }

uint32_t PackChannel(float value, int channel) {
  const float clamped = std::clamp(value, 0.0f, 255.0f);
  return static_cast<uint32_t>(std::lround(clamped)) << (8 * channel);
}

}  // namespace

uint32_t PowerOfTwoAtLeast(uint32_t n) {
  uint32_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

uint32_t ResizeRowsHeld(uint32_t sourceHeight, uint32_t height) {
  if (sourceHeight == 0 || height == 0) return 0;
  return RowsHeld(ComputeContributions(sourceHeight, height));
}

Image ResizeImage(const Image& source, uint32_t width, uint32_t height) {
  if (source.pixels.empty() || width == 0 || height == 0) return Image{};
  if (width == source.width && height == source.height) return source;
  const Contributions across = ComputeContributions(source.width, width);
  const Contributions down = ComputeContributions(source.height, height);

  // The horizontal pass fills float rows on demand into a ring that holds just the rows one destination
  // row reads; the vertical pass then sums them in tap order, as a pass over all rows at once would.
  const uint32_t held = RowsHeld(down);
  const size_t rowFloats = static_cast<size_t>(width) * 4;
  std::vector<float> ring(rowFloats * held);
  std::vector<uint32_t> slotRow(held, kNoRow);
  auto filteredRow = [&](uint32_t y) -> const float* {
    const uint32_t slot = y % held;
    float* out = ring.data() + slot * rowFloats;
    if (slotRow[slot] == y) return out;
    slotRow[slot] = y;
    const uint32_t* in = source.pixels.data() + static_cast<size_t>(y) * source.width;
    for (uint32_t x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (uint32_t t = across.first[x]; t < across.first[x + 1]; ++t) {
        const uint32_t pixel = in[across.taps[t].index];
        for (int ch = 0; ch < 4; ++ch) sum[ch] += across.taps[t].weight * Channel(pixel, ch);
      }
      std::copy(sum, sum + 4, out + x * 4);
    }
    return out;
  };

  Image result;
  result.width = width;
  result.height = height;
  result.pixels.resize(static_cast<size_t>(width) * height);
  std::vector<const float*> tapRows;
  for (uint32_t y = 0; y < height; ++y) {
    tapRows.clear();
    for (uint32_t t = down.first[y]; t < down.first[y + 1]; ++t)
      tapRows.push_back(filteredRow(down.taps[t].index));
    for (uint32_t x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (uint32_t t = down.first[y]; t < down.first[y + 1]; ++t) {
        const float* in = tapRows[t - down.first[y]] + static_cast<size_t>(x) * 4;
        for (int ch = 0; ch < 4; ++ch) sum[ch] += down.taps[t].weight * in[ch];
      }
      uint32_t pixel = 0;
      for (int ch = 0; ch < 4; ++ch) pixel |= PackChannel(sum[ch], ch);
      result.pixels[static_cast<size_t>(y) * width + x] = pixel;
    }
  }
  return result;
}

Image ScaleToPowerOfTwo(const Image& source) {
  return ResizeImage(source, PowerOfTwoAtLeast(source.width), PowerOfTwoAtLeast(source.height));
}

uint32_t TextureEdge(uint32_t edge, uint32_t maxEdge) { return std::min(PowerOfTwoAtLeast(edge), maxEdge); }

Image ScaleForTexture(Image source, uint32_t maxWidth, uint32_t maxHeight) {
  const uint32_t width = TextureEdge(source.width, maxWidth);
  const uint32_t height = TextureEdge(source.height, maxHeight);
  if (width == source.width && height == source.height) return source;
  return ResizeImage(source, width, height);
}

ImageStatus LoadTexturePicture(const std::string& path, uint32_t maxEdge, Image& picture,
                               OtherFormatDecoder other) {
  return CatchOutOfMemory(picture, [&] {
    Image decoded;
    const ImageStatus status = LoadImageFile(path, decoded, nullptr, other);
    if (status != ImageStatus::kOk) return status;
    picture = ScaleForTexture(std::move(decoded), maxEdge, maxEdge);
    return ImageStatus::kOk;
  });
}

Image HalveImage(const Image& source) {
  Image result;
  if (source.pixels.empty()) return result;
  result.width = std::max(1u, source.width / 2);
  result.height = std::max(1u, source.height / 2);
  result.pixels.resize(static_cast<size_t>(result.width) * result.height);
  // Odd edges: the last source row or column is dropped, as in a plain 2 x 2 reduction.
  const uint32_t stepX = source.width > 1 ? 2 : 1;
  const uint32_t stepY = source.height > 1 ? 2 : 1;
  for (uint32_t y = 0; y < result.height; ++y) {
    for (uint32_t x = 0; x < result.width; ++x) {
      uint32_t sum[4] = {0, 0, 0, 0};
      for (uint32_t dy = 0; dy < stepY; ++dy) {
        for (uint32_t dx = 0; dx < stepX; ++dx) {
          const uint32_t pixel = source.At(x * stepX + dx, y * stepY + dy);
          for (int ch = 0; ch < 4; ++ch) sum[ch] += Channel(pixel, ch);
        }
      }
      const uint32_t count = stepX * stepY;
      uint32_t pixel = 0;
      for (int ch = 0; ch < 4; ++ch) pixel |= ((sum[ch] + count / 2) / count) << (8 * ch);
      result.pixels[static_cast<size_t>(y) * result.width + x] = pixel;
    }
  }
  return result;
}

}  // namespace lumar
