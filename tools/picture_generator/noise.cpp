#include "noise.h"

#include <cmath>

namespace lumar::tools {
namespace {

uint32_t Hash(int64_t a, int64_t b, uint32_t seed) {
  uint64_t h = static_cast<uint64_t>(a) * 0x9E3779B97F4A7C15ull ^
               static_cast<uint64_t>(b) * 0xC2B2AE3D27D4EB4Full ^
               (static_cast<uint64_t>(seed) << 32 | seed) * 0x165667B19E3779F9ull;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<uint32_t>(h);
}

// Quintic fade: continuous second derivative, so shading from the noise has no creases.
double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

double Gradient(int64_t ix, int64_t iy, double dx, double dy, uint32_t seed) {
  const double angle = Hash(ix, iy, seed) * (2.0 * 3.14159265358979323846 / 4294967296.0);
  return std::cos(angle) * dx + std::sin(angle) * dy;
}

}  // namespace

double GradientNoise(double x, double y, uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int64_t ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy);
  const double dx = x - fx, dy = y - fy;
  const double n00 = Gradient(ix, iy, dx, dy, seed);
  const double n10 = Gradient(ix + 1, iy, dx - 1, dy, seed);
  const double n01 = Gradient(ix, iy + 1, dx, dy - 1, seed);
  const double n11 = Gradient(ix + 1, iy + 1, dx - 1, dy - 1, seed);
  const double u = Fade(dx), v = Fade(dy);
  return 1.41 * Mix(Mix(n00, n10, u), Mix(n01, n11, u), v);
}

double FractalNoise(double x, double y, int octaves, uint32_t seed) {
  double sum = 0, amplitude = 1, total = 0;
  for (int i = 0; i < octaves; ++i) {
    // Each octave is rotated a little so the lattices do not line up.
    const double rx = x * 0.8 - y * 0.6, ry = x * 0.6 + y * 0.8;
    sum += amplitude * GradientNoise(rx, ry, seed + static_cast<uint32_t>(i) * 1013u);
    total += amplitude;
    amplitude *= 0.5;
    x = rx * 2.0 + 17.3;
    y = ry * 2.0 - 9.1;
  }
  return sum / total;
}

double HashUnit(int64_t a, int64_t b, uint32_t seed) { return Hash(a, b, seed) / 4294967296.0; }

double SmoothStep(double edge0, double edge1, double x) {
  const double t = Clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}

double Clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

double Mix(double a, double b, double t) { return a + (b - a) * t; }

}  // namespace lumar::tools
