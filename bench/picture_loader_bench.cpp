// What a device reset costs for a built-in picture: decoding an 800 x 600 JPEG, scaling it to
// 1024 x 1024 and making its next mip level.
#include <benchmark/benchmark.h>

#include "platform/image.h"
#include "platform/image_scaling.h"
#include "platform/jpeg_encoder.h"

namespace lumar {
namespace {

Image DetailedPicture(uint32_t width, uint32_t height) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  uint32_t state = 1;
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    state = state * 214013u + 2531011u;
    const uint32_t v = (i % width + i / width + (state >> 28)) & 0xFF;
    image.pixels[i] = 0xFF000000u | v << 16 | (255 - v) << 8 | (v ^ 0x55);
  }
  return image;
}

void BM_DecodeJpeg800x600(benchmark::State& state) {
  const std::vector<uint8_t> file = EncodeJpeg(DetailedPicture(800, 600), {});
  for (auto _ : state) {
    Image image;
    benchmark::DoNotOptimize(DecodeImage(file.data(), file.size(), image));
    benchmark::DoNotOptimize(image.pixels.data());
  }
}
BENCHMARK(BM_DecodeJpeg800x600)->Unit(benchmark::kMillisecond);

void BM_ScaleToPowerOfTwo800x600(benchmark::State& state) {
  const Image picture = DetailedPicture(800, 600);
  for (auto _ : state) benchmark::DoNotOptimize(ScaleToPowerOfTwo(picture).pixels.data());
}
BENCHMARK(BM_ScaleToPowerOfTwo800x600)->Unit(benchmark::kMillisecond);

void BM_HalveImage1024(benchmark::State& state) {
  const Image picture = DetailedPicture(1024, 1024);
  for (auto _ : state) benchmark::DoNotOptimize(HalveImage(picture).pixels.data());
}
BENCHMARK(BM_HalveImage1024)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumar
