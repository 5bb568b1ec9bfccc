// The fixed SSE control state of the frame's field work in the Windows build, with its compiler and
// run-time library: flush-to-zero, denormals-are-zero or another rounding set beforehand change no bit.
#include <gtest/gtest.h>

#include "wavefield/control_state_check.h"

namespace lumar {
namespace {

TEST(FrameControlStateWindows, FlushToZeroDenormalsAreZeroOrAnotherRoundingGiveTheSameBits) {
  WaveField field;
  testing_support::ControlStateField(field);
  for (int threads : {1, 2}) EXPECT_EQ(testing_support::CompareUnderOddControlStates(field, threads), "");
}

}  // namespace
}  // namespace lumar
