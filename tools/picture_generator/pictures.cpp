#include "pictures.h"

#include <algorithm>
#include <cmath>

#include "noise.h"

namespace lumar::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {tools::Mix(a.r, b.r, t), tools::Mix(a.g, b.g, t), tools::Mix(a.b, b.b, t)};
}

uint32_t Pack(const Rgb& c) {
  auto channel = [](double v) { return static_cast<uint32_t>(std::lround(Clamp01(v) * 255.0)); };
  return 0xFF000000u | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

Image Blank(uint32_t width, uint32_t height) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  return image;
}

// Brushed metal: each plate brushed along x or y, fine streaks over coarse ones over uneven polish,
// a broad reflected sheen, scratches, seams between the plates and rivets at their corners.
struct Plate {
  double left, top, right, bottom;
  bool brushedAcross;
  uint32_t seed;
};

double BrushedValue(double x, double y, const Plate& p) {
  const double along = p.brushedAcross ? x : y, across = p.brushedAcross ? y : x;
  double streaks = 0.45 * GradientNoise(along / 170.0, across / 1.1, p.seed) +
                   0.30 * GradientNoise(along / 60.0, across / 0.45, p.seed + 1) +
                   0.35 * GradientNoise(along / 420.0, across / 3.5, p.seed + 2) +
                   0.30 * GradientNoise(along / 900.0, across / 16.0, p.seed + 3);
  const double polish = FractalNoise(x / 240.0, y / 240.0, 5, p.seed + 4);
  // Brushed metal reflects light in bands across the brushing direction.
  const double bandPhase = (p.brushedAcross ? x : y) / 150.0 + 0.9 * polish + p.seed * 0.37;
  const double sheen = std::pow(0.5 + 0.5 * std::sin(bandPhase), 3.0);
  const double grain = HashUnit(static_cast<int64_t>(x), static_cast<int64_t>(y), p.seed + 5) - 0.5;
  return 0.50 + 0.11 * streaks + 0.09 * polish + 0.22 * sheen + 0.035 * grain;
}

// Light comes from the upper left; returns the brightness change of a dome or groove.
double RivetShade(double dx, double dy, double radius) {
  const double d = std::sqrt(dx * dx + dy * dy);
  if (d > radius + 2.5) return 0.0;
  if (d > radius) return -0.22 * (1.0 - (d - radius) / 2.5) * (0.6 + 0.4 * (dx + dy) / (d + 1e-9));  // shadow
  const double nx = dx / radius, ny = dy / radius, nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
  const double lambert = (-nx * 0.55 - ny * 0.55 + nz * 0.63);
  const double highlight = std::pow(std::max(0.0, lambert), 24.0);
  return 0.28 * (lambert - 0.5) + 0.45 * highlight;
}

void DrawScratches(std::vector<double>& value, uint32_t width, uint32_t height) {
  for (int i = 0; i < 70; ++i) {
    const double x0 = HashUnit(i, 1, 601) * width, y0 = HashUnit(i, 2, 601) * height;
    const bool mostlyFlat = HashUnit(i, 3, 601) < 0.7;
    const double angle = mostlyFlat ? (HashUnit(i, 4, 601) - 0.5) * 0.3 : HashUnit(i, 4, 601) * kPi;
    const double length = 20 + HashUnit(i, 5, 601) * 160;
    const double strength = (HashUnit(i, 6, 601) < 0.6 ? 0.10 : -0.08) * (0.5 + HashUnit(i, 7, 601));
    const double ux = std::cos(angle), uy = std::sin(angle);
    const int steps = static_cast<int>(length * 2);
    for (int s = 0; s <= steps; ++s) {
      const double t = s / 2.0;
      const double fade = std::sin(kPi * t / length);  // scratches taper at both ends
      const double px = x0 + ux * t, py = y0 + uy * t;
      for (int oy = -1; oy <= 1; ++oy) {
        const int yi = static_cast<int>(std::floor(py)) + oy;
        const int xi = static_cast<int>(std::floor(px));
        if (xi < 0 || yi < 0 || xi >= static_cast<int>(width) || yi >= static_cast<int>(height)) continue;
        const double dist = std::fabs(yi + 0.5 - py);
        value[static_cast<size_t>(yi) * width + xi] +=
            0.5 * strength * fade * std::max(0.0, 1.0 - dist / 1.2);
      }
    }
  }
}

}  // namespace

Image MakeMetal(uint32_t width, uint32_t height) {
  // Three plates across, two down, brushed in alternate directions.
  const int columns = 3, rows = 2;
  std::vector<Plate> plates;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      plates.push_back({width * c / double(columns), height * r / double(rows),
                        width * (c + 1) / double(columns), height * (r + 1) / double(rows), (r + c) % 2 == 0,
                        100u + 10u * (r * columns + c)});
    }
  }
  std::vector<double> value(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const int c = std::min(columns - 1, static_cast<int>(x * columns / width));
      const int r = std::min(rows - 1, static_cast<int>(y * rows / height));
      const Plate& p = plates[r * columns + c];
      const double px = x + 0.5, py = y + 0.5;
      double v = BrushedValue(px, py, p);
      // Seams: a dark groove with a lit lower-right lip and a shaded upper-left one.
      const double toLeft = px - p.left, toTop = py - p.top, toRight = p.right - px, toBottom = p.bottom - py;
      const double edge = std::min({toLeft, toTop, toRight, toBottom});
      if (edge < 1.5) {
        v = 0.18 + 0.05 * v;
      } else if (edge < 4.0) {
        const bool litSide = edge == toLeft || edge == toTop;
        v += (litSide ? 0.16 : -0.14) * (1.0 - (edge - 1.5) / 2.5);
      }
      for (double cx : {p.left + 18, p.right - 18}) {
        for (double cy : {p.top + 18, p.bottom - 18}) v += RivetShade(px - cx, py - cy, 6.5);
      }
      value[static_cast<size_t>(y) * width + x] = v;
    }
  }
  DrawScratches(value, width, height);
  Image image = Blank(width, height);
  for (size_t i = 0; i < value.size(); ++i) {
    const double v = value[i];
    image.pixels[i] = Pack({v * 0.95, v * 0.98, v * 1.04});  // cool steel
  }
  return image;
}

namespace {

// Cloud density on the sky plane: warped fractal noise, thresholded into cumulus shapes.
double CloudDensity(double x, double y) {
  const double wx = FractalNoise(x * 0.6, y * 0.6, 4, 41),
               wy = FractalNoise(x * 0.6 + 5.2, y * 0.6 - 1.3, 4, 42);
  return FractalNoise(x * 1.1 + 0.7 * wx, y * 1.1 + 0.7 * wy, 7, 43);
}

}  // namespace

Image MakeSky(uint32_t width, uint32_t height) {
  Image image = Blank(width, height);
  const Rgb zenith{0.13, 0.33, 0.70}, horizon{0.66, 0.80, 0.93};
  const Rgb cloudLit{0.99, 0.98, 0.96}, cloudShadow{0.55, 0.60, 0.70};
  for (uint32_t y = 0; y < height; ++y) {
    const double t = (y + 0.5) / height;  // 0 at the top, 1 at the horizon
    // The cloud layer is a plane above the viewer: further away towards the horizon, so smaller there.
    const double depth = 1.0 / (0.22 + 0.78 * (1.0 - t));
    for (uint32_t x = 0; x < width; ++x) {
      const double sx = (x + 0.5 - width / 2.0) / width * depth * 3.2, sy = depth * 2.4;
      Rgb sky = Mix(zenith, horizon, std::pow(t, 1.5));
      // Thin high streaks in the clear blue.
      const double cirrus = SmoothStep(0.15, 0.75, FractalNoise(sx * 0.35, sy * 2.8, 5, 51));
      sky = Mix(sky, Rgb{0.85, 0.90, 0.97}, 0.35 * cirrus);
      // A soft glow around the sun, up and to the left.
      const double gx = x / double(width) - 0.18, gy = y / double(height) + 0.05;
      const double glow = std::exp(-(gx * gx + gy * gy) / 0.06);
      sky = Mix(sky, Rgb{1.0, 0.98, 0.90}, 0.45 * glow);

      const double d = CloudDensity(sx, sy);
      const double cover = SmoothStep(0.0, 0.32, d);
      if (cover > 0.0) {
        // Lit where the density falls towards the sun, shaded underneath and in thick parts.
        const double towardsSun = CloudDensity(sx - 0.035, sy - 0.05 * depth);
        double light = Clamp01(0.55 + 4.0 * (d - towardsSun) + 0.25 * glow);
        light *= 1.0 - 0.35 * SmoothStep(0.25, 0.7, d);
        Rgb cloud = Mix(cloudShadow, cloudLit, light);
        cloud = Mix(cloud, horizon, 0.35 * t * t);  // haze near the horizon
        sky = Mix(sky, cloud, 0.97 * cover);
      }
      const double grain = (HashUnit(x, y, 61) - 0.5) * 0.012;
      image.pixels[static_cast<size_t>(y) * width + x] = Pack({sky.r + grain, sky.g + grain, sky.b + grain});
    }
  }
  return image;
}

namespace {

// A desktop's furniture, in fractions of the screen: windows with a title bar and lines of "text".
struct DesktopWindow {
  double left, top, right, bottom;
  Rgb title;
};

void FillBox(Image& image, double left, double top, double right, double bottom, const Rgb& colour) {
  const auto x0 = static_cast<uint32_t>(std::max(0.0, left * image.width));
  const auto x1 = static_cast<uint32_t>(std::min<double>(image.width, right * image.width));
  const auto y0 = static_cast<uint32_t>(std::max(0.0, top * image.height));
  const auto y1 = static_cast<uint32_t>(std::min<double>(image.height, bottom * image.height));
  for (uint32_t y = y0; y < y1; ++y)
    for (uint32_t x = x0; x < x1; ++x) image.pixels[static_cast<size_t>(y) * image.width + x] = Pack(colour);
}

}  // namespace

Image MakeDesktop(uint32_t width, uint32_t height) {
  // The sky as the wallpaper, over sand dunes.
  Image image = MakeSky(width, height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const double u = x / double(width), v = y / double(height);
      const double ridge = 0.62 + 0.08 * std::sin(u * 5.1 + 0.6) + 0.05 * FractalNoise(u * 3.0, 0.5, 4, 71);
      if (v < ridge) continue;
      const double shade = 0.75 + 0.25 * FractalNoise(u * 12.0, v * 12.0, 4, 72);
      const Rgb sand = Mix(Rgb{0.62, 0.42, 0.22}, Rgb{0.95, 0.80, 0.52}, shade * (1.0 - (v - ridge)));
      image.pixels[static_cast<size_t>(y) * width + x] = Pack(sand);
    }
  }
  const DesktopWindow windows[] = {{0.22, 0.10, 0.62, 0.52, Rgb{0.10, 0.30, 0.65}},
                                   {0.48, 0.34, 0.93, 0.80, Rgb{0.60, 0.16, 0.14}}};
  for (const DesktopWindow& w : windows) {
    FillBox(image, w.left - 0.004, w.top - 0.005, w.right + 0.004, w.bottom + 0.005, Rgb{0.15, 0.15, 0.17});
    FillBox(image, w.left, w.top, w.right, w.bottom, Rgb{0.96, 0.96, 0.94});
    FillBox(image, w.left, w.top, w.right, w.top + 0.05, w.title);
    // Lines of text of uneven lengths.
    for (int line = 0; line * 0.045 + 0.09 < w.bottom - w.top - 0.03; ++line) {
      const double y = w.top + 0.085 + line * 0.045;
      const double length = 0.45 + 0.5 * HashUnit(line, static_cast<int64_t>(w.left * 100), 73);
      FillBox(image, w.left + 0.02, y, w.left + 0.02 + length * (w.right - w.left - 0.04), y + 0.018,
              Rgb{0.25, 0.25, 0.30});
    }
  }
  // Icons down the left edge and a task bar along the bottom.
  const Rgb iconColours[] = {{0.95, 0.75, 0.15}, {0.20, 0.55, 0.90}, {0.85, 0.25, 0.55}, {0.30, 0.75, 0.45}};
  for (int i = 0; i < 4; ++i)
    FillBox(image, 0.025, 0.05 + i * 0.15, 0.085, 0.05 + i * 0.15 + 0.08, iconColours[i]);
  FillBox(image, 0.0, 0.94, 1.0, 1.0, Rgb{0.12, 0.13, 0.18});
  FillBox(image, 0.005, 0.95, 0.085, 0.99, Rgb{0.25, 0.55, 0.30});
  return image;
}

namespace {

// Signed distance from a rounded rectangle's border (negative inside).
double RoundedBoxDistance(double x, double y, double halfWidth, double halfHeight, double radius) {
  const double qx = std::fabs(x) - halfWidth + radius, qy = std::fabs(y) - halfHeight + radius;
  const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
}

// Height of the bar's plate: a raised rounded slab with a bevel, rings of ripples pressed into it and a
// hammered texture.
double PlateHeight(double x, double y, uint32_t width, uint32_t height) {
  const double cx = x - width / 2.0, cy = y - height / 2.0;
  const double edge = RoundedBoxDistance(cx, cy, width / 2.0 - 6, height / 2.0 - 6, 24);
  const double slab = SmoothStep(4.0, -10.0, edge);
  double relief = 0.0;
  const double centres[2][2] = {{0.34, 0.42}, {0.74, 0.64}};
  for (const auto& c : centres) {
    const double dx = x - c[0] * width, dy = y - c[1] * height;
    const double r = std::sqrt(dx * dx + dy * dy);
    relief += std::sin(r / 3.4) * std::exp(-r / 60.0);
  }
  const double hammered = FractalNoise(x / 22.0, y / 22.0, 5, 71);
  return 6.0 * slab + slab * (2.6 * relief + 1.2 * hammered);
}

}  // namespace

Image MakeBarPlate(uint32_t width, uint32_t height) {
  Image image = Blank(width, height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      // Emboss: the height's slope towards the light (upper left).
      const double slope =
          PlateHeight(px - 1, py - 1, width, height) - PlateHeight(px + 1, py + 1, width, height);
      const double fine = FractalNoise(px / 6.0, py / 6.0, 3, 81);
      const double v = 0.68 + 0.13 * slope + 0.05 * fine + (HashUnit(x, y, 82) - 0.5) * 0.03;
      image.pixels[static_cast<size_t>(y) * width + x] = Pack({v, v, v});
    }
  }
  return image;
}

namespace {

// Sixteen colours for the button, spaced along the blues of its sky, water and drop.
const uint32_t kButtonPalette[16] = {0x000000, 0xFFFFFF, 0xEDF5FF, 0xDCEBFC, 0xCCE2FA, 0xBDD9F5,
                                     0x9CC8F2, 0x73B0EE, 0x4D8CD9, 0x3672C4, 0x2558AA, 0x1A4DB3,
                                     0x14418F, 0x14337A, 0x0C2660, 0x081A45};

Rgb FromPacked(uint32_t c) {
  return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0};
}

// The button scene in continuous coordinates (0 .. size): a drop falling towards rings on water.
Rgb ButtonScene(double x, double y, double size) {
  const double u = x / size, v = y / size;
  const double waterLine = 0.60;
  Rgb c = Mix(Rgb{0.93, 0.96, 1.0}, Rgb{0.74, 0.85, 0.96}, v / waterLine);
  if (v > waterLine) {
    c = Mix(Rgb{0.30, 0.55, 0.85}, Rgb{0.08, 0.20, 0.48}, (v - waterLine) / (1 - waterLine));
    // Rings around the impact, flattened by the low viewing angle.
    const double dx = u - 0.5, dy = (v - 0.78) * 3.2;
    const double r = std::sqrt(dx * dx + dy * dy);
    const double ring = std::cos(r * 38.0) * std::exp(-r * 3.0);
    c = Mix(c, ring > 0 ? Rgb{0.80, 0.92, 1.0} : Rgb{0.04, 0.12, 0.32}, std::min(1.0, std::fabs(ring) * 0.9));
  }
  // The drop: a circle with a pointed top.
  const double cx = 0.5, cy = 0.36, radius = 0.15, tip = 0.06;
  const double dx = u - cx, dy = v - cy;
  bool inDrop = dx * dx + dy * dy < radius * radius;
  if (!inDrop && v > tip && v < cy) {
    const double halfWidth = radius * std::pow((v - tip) / (cy - tip), 1.4);
    inDrop = std::fabs(dx) < halfWidth;
  }
  if (inDrop) {
    const double shade = Clamp01(0.5 - 2.2 * dx - 1.2 * dy);
    c = Mix(Rgb{0.10, 0.30, 0.70}, Rgb{0.45, 0.75, 0.98}, shade);
    const double hx = u - (cx - 0.06), hy = v - (cy - 0.05);
    if (hx * hx + hy * hy < 0.0016) c = Rgb{1.0, 1.0, 1.0};  // highlight
  }
  return c;
}

}  // namespace

IndexedImage MakeLinkButton(uint32_t size) {
  // Supersample the scene, then reduce it to the palette with error diffusion.
  constexpr int kSamples = 4;
  std::vector<Rgb> colour(static_cast<size_t>(size) * size);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      Rgb sum{0, 0, 0};
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Rgb s = ButtonScene(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples, size);
          sum = {sum.r + s.r, sum.g + s.g, sum.b + s.b};
        }
      }
      const double n = kSamples * kSamples;
      colour[static_cast<size_t>(y) * size + x] = {sum.r / n, sum.g / n, sum.b / n};
    }
  }
  IndexedImage image;
  image.width = size;
  image.height = size;
  image.palette.assign(std::begin(kButtonPalette), std::end(kButtonPalette));
  image.indices.resize(colour.size());
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      const Rgb want = colour[static_cast<size_t>(y) * size + x];
      int best = 0;
      double bestDistance = 1e9;
      for (int i = 0; i < 16; ++i) {
        const Rgb p = FromPacked(kButtonPalette[i]);
        const double d = (p.r - want.r) * (p.r - want.r) * 0.3 + (p.g - want.g) * (p.g - want.g) * 0.59 +
                         (p.b - want.b) * (p.b - want.b) * 0.11;
        if (d < bestDistance) bestDistance = d, best = i;
      }
      image.indices[static_cast<size_t>(y) * size + x] = static_cast<uint8_t>(best);
      const Rgb got = FromPacked(kButtonPalette[best]);
      const Rgb error{want.r - got.r, want.g - got.g, want.b - got.b};
      auto spread = [&](int ox, int oy, double weight) {
        const int nx = static_cast<int>(x) + ox, ny = static_cast<int>(y) + oy;
        if (nx < 0 || nx >= static_cast<int>(size) || ny >= static_cast<int>(size)) return;
        Rgb& c = colour[static_cast<size_t>(ny) * size + nx];
        c = {c.r + error.r * weight, c.g + error.g * weight, c.b + error.b * weight};
      };
      spread(1, 0, 7.0 / 16);
      spread(-1, 1, 3.0 / 16);
      spread(0, 1, 5.0 / 16);
      spread(1, 1, 1.0 / 16);
    }
  }
  return image;
}

std::vector<uint8_t> EncodeBmp4(const IndexedImage& image) {
  std::vector<uint8_t> file;
  auto put = [&file](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  const uint32_t stride = (image.width * 4 + 31) / 32 * 4;
  const uint32_t offset = 14 + 40 + 16 * 4;
  file.push_back('B');
  file.push_back('M');
  put(offset + stride * image.height, 4);
  put(0, 4);
  put(offset, 4);
  put(40, 4);
  put(image.width, 4);
  put(image.height, 4);  // positive: bottom row first
  put(1, 2);
  put(4, 2);
  put(0, 4);  // uncompressed
  put(stride * image.height, 4);
  put(2835, 4);
  put(2835, 4);
  put(16, 4);
  put(16, 4);
  for (uint32_t i = 0; i < 16; ++i) put(i < image.palette.size() ? image.palette[i] : 0, 4);
  for (uint32_t row = image.height; row-- > 0;) {
    std::vector<uint8_t> bytes(stride, 0);
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint8_t index = image.indices[static_cast<size_t>(row) * image.width + x] & 0x0F;
      bytes[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    file.insert(file.end(), bytes.begin(), bytes.end());
  }
  return file;
}

}  // namespace lumar::tools
