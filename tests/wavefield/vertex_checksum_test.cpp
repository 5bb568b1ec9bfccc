// The vertices of the fixed run in the native build: the committed checksum the Windows build gives too.
#include "wavefield/vertex_checksum.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

namespace lumar {
namespace {

TEST(VertexChecksum, FixedRunOfEveryPresetGivesTheCommittedChecksum) {
  uint64_t vertices = 0;
  const uint64_t checksum = testing_support::FixedRunChecksum(vertices);
  std::printf("fixed run: %" PRIu64 " vertices, checksum 0x%016" PRIX64 "\n", vertices, checksum);
  EXPECT_GT(vertices, uint64_t{35} * testing_support::kFixedRunFrames * 190 * 100);
  EXPECT_EQ(checksum, testing_support::kFixedRunChecksum);
}

}  // namespace
}  // namespace lumar
