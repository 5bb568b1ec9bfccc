// A small, deterministic fuzzer that runs with the unit tests: valid BMP and JPEG files of every kind the
// loader reads, mutated the way damaged or hostile files are (flipped bits, cut ends, extreme header
// values, spliced chunks). The sanitizers catch out-of-bounds access; the contract check catches the rest.
#include <gtest/gtest.h>

#include <map>

#include "bmp_builder.h"
#include "decode_check.h"
#include "mutation_random.h"
#include "platform/jpeg_encoder.h"
#include "test_pictures.h"

namespace lumar {
namespace {

using test::BuildBmp;
using test::Layout;

class Mutator : public test::MutationRandom {
 public:
  using MutationRandom::MutationRandom;

  std::vector<uint8_t> Mutate(std::vector<uint8_t> data) {
    const int rounds = 1 + static_cast<int>(Below(4));
    for (int i = 0; i < rounds && !data.empty(); ++i) {
      const size_t at = Below(static_cast<uint32_t>(data.size()));
      switch (Below(6)) {
        case 0:
          data[at] ^= static_cast<uint8_t>(1u << Below(8));
          break;
        case 1: {
          static const uint8_t kBytes[] = {0x00, 0xFF, 0x7F, 0x80, 0x01, 0xD8, 0xD9, 0xC0, 0xC2, 0xDA};
          data[at] = kBytes[Below(sizeof(kBytes))];
          break;
        }
        case 2: {
          static const uint32_t kWords[] = {0,     0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu,
                                            16384, 16385,       65535,       100000};
          const uint32_t w = kWords[Below(sizeof(kWords) / sizeof(kWords[0]))];
          for (size_t k = 0; k < 4 && at + k < data.size(); ++k)
            data[at + k] = static_cast<uint8_t>(w >> (8 * k));
          break;
        }
        case 3:
          data.resize(at);
          break;
        case 4: {  // repeat a chunk somewhere else
          const size_t length = std::min<size_t>(Below(64) + 1, data.size() - at);
          const std::vector<uint8_t> chunk(data.begin() + at, data.begin() + at + length);
          data.insert(data.begin() + Below(static_cast<uint32_t>(data.size())), chunk.begin(), chunk.end());
          break;
        }
        default:
          data[at] = static_cast<uint8_t>(Next());
          break;
      }
    }
    return data;
  }
};

std::vector<std::vector<uint8_t>> Seeds() {
  std::vector<std::vector<uint8_t>> seeds;
  auto indexed = [](uint16_t bits, int32_t height) {
    test::BmpLayout layout = Layout(13, height, bits);
    for (uint32_t i = 0; i < (1u << bits); ++i) layout.palette.push_back(i * 0x010203u);
    const size_t rowBytes = (13 * bits + 7) / 8;
    std::vector<std::vector<uint8_t>> rows(5, std::vector<uint8_t>(rowBytes, 0x5A));
    return BuildBmp(layout, rows);
  };
  seeds.push_back(indexed(1, 5));
  seeds.push_back(indexed(4, -5));
  seeds.push_back(indexed(8, 5));
  test::BmpLayout fields = Layout(6, 4, 16, 3);
  fields.masks = {0xF800, 0x07E0, 0x001F};
  seeds.push_back(BuildBmp(fields, std::vector<std::vector<uint8_t>>(4, std::vector<uint8_t>(12, 0x3C))));
  test::BmpLayout v5 = Layout(5, -3, 32, 3, 124);
  v5.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  seeds.push_back(BuildBmp(v5, std::vector<std::vector<uint8_t>>(3, std::vector<uint8_t>(20, 0x99))));
  seeds.push_back(
      BuildBmp(Layout(7, 3, 24), std::vector<std::vector<uint8_t>>(3, std::vector<uint8_t>(21, 0x42))));
  const Image picture = test::Quadrants(40, 24);
  seeds.push_back(EncodeJpeg(picture, {75, JpegColor::kColor, false}));
  seeds.push_back(EncodeJpeg(picture, {75, JpegColor::kColor, true}));
  seeds.push_back(EncodeJpeg(picture, {75, JpegColor::kGrayscale, false}));
  seeds.push_back(EncodeJpeg(picture, {75, JpegColor::kCmyk, false}));
  return seeds;
}

TEST(LoaderMutations, DamagedFilesNeverBreakTheDecoderContract) {
  constexpr int kMutantsPerSeed = 600;
  Mutator mutator(0x9E3779B97F4A7C15ull);
  std::map<ImageStatus, int> outcomes;
  for (const auto& seed : Seeds()) {
    ASSERT_TRUE(test::DecodeKeepsItsContract(seed.data(), seed.size()));
    for (int i = 0; i < kMutantsPerSeed; ++i) {
      const std::vector<uint8_t> mutant = mutator.Mutate(seed);
      ImageStatus status;
      ASSERT_TRUE(test::DecodeKeepsItsContract(mutant.data(), mutant.size(), &status)) << "mutant " << i;
      ++outcomes[status];
    }
  }
  // The mutations reach past the signature checks: both acceptance and several kinds of rejection occur.
  EXPECT_GT(outcomes[ImageStatus::kOk], 0);
  EXPECT_GT(outcomes[ImageStatus::kTruncated], 0);
  EXPECT_GT(outcomes[ImageStatus::kInvalid], 0);
}

}  // namespace
}  // namespace lumar
