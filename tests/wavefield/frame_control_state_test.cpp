// The frame's field work runs with a fixed SSE control state: whatever rounding, flush-to-zero or
// denormals-are-zero a driver or an injected library left on the calling thread, the vertices have the same
// bits, on one thread or several, and the caller's state is as it was afterwards.
#include <gtest/gtest.h>

#include "wavefield/control_state_check.h"

namespace lumar {
namespace {

TEST(FrameControlState, FlushToZeroDenormalsAreZeroOrAnotherRoundingGiveTheSameBits) {
  WaveField field;
  testing_support::ControlStateField(field);
  for (int threads : {1, 3}) EXPECT_EQ(testing_support::CompareUnderOddControlStates(field, threads), "");
  EXPECT_EQ(testing_support::CompareWithReference(field), "");
}

}  // namespace
}  // namespace lumar
