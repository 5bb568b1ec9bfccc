// The frame engine against the reference in the Windows build, with its compiler and run-time library.
#include <gtest/gtest.h>

#include "wavefield/engine_equivalence.h"

namespace lumar {
namespace {

TEST(FrameEngineWindows, MatchesTheReferenceBitForBitOnRandomFrames) {
  if (!SimdVariantSupported(SimdVariant::kAvx2)) std::printf("AVX2 missing here: SSE2 only\n");
  EXPECT_GE(testing_support::CompareRandomFrames(7, 520, 20), 10000);
}

TEST(FrameEngineWindows, MatchesTheReferenceWithRebasedCrestsOnA4kBottomView) {
  for (int calculation = 0; calculation <= 1; ++calculation) {
    for (int zSides = 0; zSides <= 1; ++zSides) {
      WaveField field;
      testing_support::FarCrestField(field, calculation, zSides, 8);
      EXPECT_EQ(testing_support::CompareWithReference(field), "")
          << "calculation " << calculation << " zSides " << zSides;
    }
  }
}

}  // namespace
}  // namespace lumar
