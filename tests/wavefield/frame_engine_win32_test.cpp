// The frame engine against the reference in the Windows build, with its compiler and run-time library.
#include <gtest/gtest.h>

#include "wavefield/engine_equivalence.h"

namespace lumar {
namespace {

TEST(FrameEngineWindows, MatchesTheReferenceBitForBitOnRandomFrames) {
  EXPECT_GE(testing_support::CompareRandomFrames(7, 520, 20), 10000);
  // Without AVX2 only SSE2 was compared: a skip, counted and shown with its reason by the test command.
  if (!SimdVariantSupported(SimdVariant::kAvx2))
    GTEST_SKIP() << "AVX2 missing on this processor: its variant was not compared";
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
