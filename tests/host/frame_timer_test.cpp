#include "host/frame_timer.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

TEST(FrameTimer, ElapsedCountsFromStartAndShiftAddsToIt) {
  ManualClock clock(123456);
  FrameTimer timer;
  timer.Clear();
  timer.Start(clock);
  EXPECT_EQ(timer.Elapsed(clock), 0.0f);
  clock.Advance(1500);
  EXPECT_FLOAT_EQ(timer.Elapsed(clock), 1.5f);
  timer.Shift(2.5f);
  EXPECT_FLOAT_EQ(timer.Elapsed(clock), 4.0f);
  clock.Advance(250);
  EXPECT_FLOAT_EQ(timer.Elapsed(clock), 4.25f);
}

TEST(FrameTimer, CommandNumbersSelectTheOperations) {
  ManualClock clock(5000);
  FrameTimer timer;
  timer.Clear();
  EXPECT_EQ(timer.Command(clock, static_cast<TimerCommand>(1)), 0.0f);  // Start
  clock.Advance(2000);
  EXPECT_FLOAT_EQ(timer.Command(clock, static_cast<TimerCommand>(7)), 2.0f);   // Elapsed
  EXPECT_EQ(timer.Command(clock, static_cast<TimerCommand>(10), 0.5f), 0.0f);  // Shift
  EXPECT_FLOAT_EQ(timer.Command(clock, TimerCommand::Elapsed), 2.5f);
  EXPECT_EQ(timer.Command(clock, static_cast<TimerCommand>(3)), 0.0f);  // unknown: no effect
  EXPECT_FLOAT_EQ(timer.Elapsed(clock), 2.5f);
}

TEST(FrameTimer, ClearThenStartForgetsTheOldStartAndShift) {
  ManualClock clock(1000);
  FrameTimer timer;
  timer.Start(clock);
  timer.Shift(7.0f);
  clock.Advance(3000);
  timer.Clear();
  timer.Start(clock);
  clock.Advance(100);
  EXPECT_FLOAT_EQ(timer.Elapsed(clock), 0.1f);
}

TEST(FrameTimer, AgesStayPositiveAcrossTheCounterWrap) {
  ManualClock clock(0xFFFFFFFFu - 999u);  // one second before the 32-bit counter wraps
  FrameTimer timer;
  timer.Clear();
  timer.Start(clock);
  clock.Advance(3000);
  EXPECT_LT(clock.Now(), 3000u);
  EXPECT_FLOAT_EQ(timer.Elapsed(clock), 3.0f);
}

TEST(FrameTimer, TimersOnOneClockAreIndependent) {
  ManualClock clock(0);
  FrameTimer first;
  FrameTimer second;
  first.Start(clock);
  clock.Advance(1000);
  second.Start(clock);
  second.Shift(0.25f);
  clock.Advance(1000);
  EXPECT_FLOAT_EQ(first.Elapsed(clock), 2.0f);
  EXPECT_FLOAT_EQ(second.Elapsed(clock), 1.25f);
}

TEST(TimerPeriod, MinimumRaisedToOneAndCappedAtMaximum) {
  EXPECT_EQ(ChooseTimerPeriod(0, 1000), 1u);
  EXPECT_EQ(ChooseTimerPeriod(10, 5), 5u);
  EXPECT_EQ(ChooseTimerPeriod(2, 1000), 2u);
}

}  // namespace
}  // namespace lumar
