#include "icon.h"

#include <algorithm>
#include <cmath>

namespace lumar::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgba {
  double r, g, b, a;
};

// The pool at (u, v) in [-1, 1]^2; `rings` ripples between the middle and the rim.
Rgba PoolSample(double u, double v, int rings) {
  const double radius = std::sqrt(u * u + v * v);
  constexpr double kRim = 0.94;
  if (radius > kRim) return {0, 0, 0, 0};
  const double depth = 1.0 - radius / kRim;
  // Deep blue at the rim, light turquoise in the middle.
  double r = 12 + 58 * depth, g = 52 + 128 * depth, b = 120 + 110 * depth;
  // The rings: light crests fading towards the rim.
  const double crest = 0.5 + 0.5 * std::cos(radius * rings * 2 * kPi);
  const double ringLight = 1.0 + 0.45 * crest * (0.35 + 0.65 * depth) - 0.2;
  r *= ringLight, g *= ringLight, b *= ringLight;
  // A highlight up and to the left, as from a window.
  const double hx = u + 0.38, hy = v + 0.42;
  const double shine = std::exp(-(hx * hx + hy * hy) / 0.045);
  r += (255 - r) * 0.75 * shine, g += (255 - g) * 0.75 * shine, b += (255 - b) * 0.75 * shine;
  // A darker lip at the rim.
  const double lip = std::clamp((radius - (kRim - 0.09)) / 0.09, 0.0, 1.0);
  r *= 1 - 0.45 * lip, g *= 1 - 0.45 * lip, b *= 1 - 0.45 * lip;
  return {r, g, b, 255};
}

uint32_t PackStraight(const Rgba& premultipliedSum, double count) {
  const double a = premultipliedSum.a / count;
  if (a <= 0) return 0;
  auto channel = [&](double premultiplied) {
    const double straight = premultiplied / count * 255.0 / a;
    return static_cast<uint32_t>(std::lround(std::clamp(straight, 0.0, 255.0)));
  };
  const uint32_t alpha = static_cast<uint32_t>(std::lround(std::clamp(a, 0.0, 255.0)));
  return alpha << 24 | channel(premultipliedSum.r) << 16 | channel(premultipliedSum.g) << 8 |
         channel(premultipliedSum.b);
}

void Put(std::vector<uint8_t>& file, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) file.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

Image MakeIcon(uint32_t size) {
  constexpr int kSamples = 4;
  const int rings = size >= 48 ? 3 : 2;
  Image image;
  image.width = size;
  image.height = size;
  image.pixels.resize(static_cast<size_t>(size) * size);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      Rgba sum{0, 0, 0, 0};  // colour premultiplied by alpha, so the edge does not darken
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double u = (x + (sx + 0.5) / kSamples) / size * 2 - 1;
          const double v = (y + (sy + 0.5) / kSamples) / size * 2 - 1;
          const Rgba s = PoolSample(u, v, rings);
          const double weight = s.a / 255.0;
          sum = {sum.r + s.r * weight, sum.g + s.g * weight, sum.b + s.b * weight, sum.a + s.a};
        }
      }
      image.pixels[static_cast<size_t>(y) * size + x] = PackStraight(sum, kSamples * kSamples);
    }
  }
  return image;
}

std::vector<uint8_t> EncodeIco(const std::vector<Image>& pictures) {
  std::vector<std::vector<uint8_t>> entries;
  for (const Image& picture : pictures) {
    std::vector<uint8_t> data;
    const uint32_t maskStride = (picture.width + 31) / 32 * 4;
    Put(data, 40, 4);
    Put(data, picture.width, 4);
    Put(data, picture.height * 2, 4);  // the colour rows and the mask rows
    Put(data, 1, 2);
    Put(data, 32, 2);
    Put(data, 0, 4);  // uncompressed
    Put(data, picture.width * picture.height * 4 + maskStride * picture.height, 4);
    for (int i = 0; i < 4; ++i) Put(data, 0, 4);
    for (uint32_t row = picture.height; row-- > 0;) {
      for (uint32_t x = 0; x < picture.width; ++x) Put(data, picture.At(x, row), 4);  // B, G, R, A
    }
    for (uint32_t row = picture.height; row-- > 0;) {
      std::vector<uint8_t> mask(maskStride, 0);
      for (uint32_t x = 0; x < picture.width; ++x) {
        if ((picture.At(x, row) >> 24) == 0) mask[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
      data.insert(data.end(), mask.begin(), mask.end());
    }
    entries.push_back(std::move(data));
  }
  std::vector<uint8_t> file;
  Put(file, 0, 2);
  Put(file, 1, 2);  // an icon
  Put(file, static_cast<uint32_t>(pictures.size()), 2);
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    Put(file, pictures[i].width >= 256 ? 0 : pictures[i].width, 1);  // 0 means 256
    Put(file, pictures[i].height >= 256 ? 0 : pictures[i].height, 1);
    Put(file, 0, 1);  // no palette
    Put(file, 0, 1);
    Put(file, 1, 2);  // planes
    Put(file, 32, 2);
    Put(file, static_cast<uint32_t>(entries[i].size()), 4);
    Put(file, offset, 4);
    offset += static_cast<uint32_t>(entries[i].size());
  }
  for (const auto& entry : entries) file.insert(file.end(), entry.begin(), entry.end());
  return file;
}

}  // namespace lumar::tools
