#include "host/loop_state.h"

#include <gtest/gtest.h>

namespace lumar {
namespace {

TEST(LoopState, DrawsWithoutRestOnMainsWithDisplaysOn) {
  LoopState state;
  for (uint32_t now : {0u, 1u, 1u, 5000u}) {
    const LoopPlan plan = state.Plan(now);
    EXPECT_TRUE(plan.frameStep);
    EXPECT_EQ(plan.waitMilliseconds, 0u);
    state.RecordFrameStep(now, false);
  }
}

// Displays (off / on / dimmed) and session codes, each with whether the loop may draw afterwards.
TEST(LoopState, DisplaysOffOrSessionHiddenRestUntilAMessage) {
  struct Case {
    const char* what;
    int display;  // -1: none
    int session;  // -1: none
    bool draws;
  };
  const Case cases[] = {
      {"displays off", 0, -1, false},
      {"displays on", 1, -1, true},
      {"dimmed", 2, -1, true},
      {"locked", -1, 7, false},
      {"unlocked", -1, 8, true},
      {"console disconnect", -1, 2, false},
      {"remote disconnect", -1, 4, false},
      {"console connect", -1, 1, true},
      {"remote connect", -1, 3, true},
  };
  for (const Case& c : cases) {
    LoopState state;
    // Every case starts from the resting state it may leave.
    state.RecordDisplayState(c.display == 1 || c.display == 2 ? 0 : 1);
    state.RecordSessionChange(c.session == 8 ? 7u : c.session == 1 || c.session == 3 ? 4u : 8u);
    if (c.display >= 0) {
      EXPECT_TRUE(state.RecordDisplayState(static_cast<uint32_t>(c.display))) << c.what;
    }
    if (c.session >= 0) {
      EXPECT_TRUE(state.RecordSessionChange(static_cast<uint32_t>(c.session))) << c.what;
    }
    const LoopPlan plan = state.Plan(1000);
    EXPECT_EQ(plan.frameStep, c.draws) << c.what;
    EXPECT_EQ(plan.waitMilliseconds, c.draws ? 0u : LoopPlan::kForever) << c.what;
  }
}

TEST(LoopState, LockedAndOffRestUntilBothAreOver) {
  LoopState state;
  state.RecordDisplayState(0);
  state.RecordSessionChange(7);
  state.RecordDisplayState(1);
  EXPECT_FALSE(state.Plan(0).frameStep);
  state.RecordSessionChange(8);
  EXPECT_TRUE(state.Plan(0).frameStep);
}

TEST(LoopState, UnexpectedValuesAreIgnored) {
  LoopState state;
  state.RecordDisplayState(0);
  for (uint32_t value : {3u, 4u, 0xFFFFFFFFu}) EXPECT_FALSE(state.RecordDisplayState(value));
  EXPECT_TRUE(state.displaysOff());
  for (uint32_t code : {0u, 5u, 6u, 9u, 0x10u, 0xFFFFFFFFu}) EXPECT_FALSE(state.RecordSessionChange(code));
  EXPECT_FALSE(state.sessionHidden());
}

TEST(LoopState, EveryDeviceLostWaitsAtMostTheLostDeviceGapBetweenTests) {
  LoopState state;
  state.RecordFrameStep(1000, true);
  LoopPlan plan = state.Plan(1000);
  EXPECT_FALSE(plan.frameStep);
  EXPECT_EQ(plan.waitMilliseconds, LoopState::kLostDeviceWaitMs);
  plan = state.Plan(1060);  // woken early by a message: only the rest of the gap
  EXPECT_EQ(plan.waitMilliseconds, 40u);
  EXPECT_TRUE(state.Plan(1100).frameStep);
  state.RecordFrameStep(1100, false);  // a device came back: no more waiting
  EXPECT_TRUE(state.Plan(1100).frameStep);
}

TEST(LoopState, PacingAllowsOneFramePerRefreshIntervalAcrossTheClockWrap) {
  struct Case {
    uint32_t hz, interval;
  };
  for (const Case& c : {Case{60, 17}, Case{144, 7}, Case{50, 20}, Case{1000, 1}}) {
    LoopState state;
    state.SetPacing(c.hz);
    EXPECT_EQ(state.frameIntervalMs(), c.interval);
    EXPECT_GE(state.frameIntervalMs() * c.hz, 1000u);  // never more frames than refreshes
    const uint32_t start = 0xFFFFFFFFu - 2;            // the counter wraps during the interval
    EXPECT_TRUE(state.Plan(start).frameStep);          // the first frame at once
    state.RecordFrameStep(start, false);
    const LoopPlan plan = state.Plan(start);
    EXPECT_FALSE(plan.frameStep);
    EXPECT_TRUE(plan.paced);
    EXPECT_EQ(plan.waitMilliseconds, c.interval);
    EXPECT_TRUE(state.Plan(start + c.interval).frameStep);
  }
  LoopState mains;
  mains.SetPacing(60);
  mains.SetPacing(0);  // back on mains: unpaced
  mains.RecordFrameStep(10, false);
  EXPECT_TRUE(mains.Plan(10).frameStep);
}

// Frames due on a schedule kept to the microsecond: over a second as many frames as the monitor shows
// (not 1000 / 17 at 60 Hz), a step that started late by less than an interval keeps the schedule (a
// present that waited for the retrace is not waited for again), and one late by a whole interval starts it
// afresh instead of drawing a burst.
TEST(LoopState, PacedFramesFollowAMicrosecondScheduleFromEachStepsStart) {
  struct Case {
    uint32_t hz, frames;
  };
  for (const Case& c : {Case{60, 60}, Case{144, 144}, Case{75, 75}, Case{500, 500}}) {
    LoopState state;
    state.SetPacing(c.hz);
    uint32_t now = 0xFFFFFFFFu - 500;  // across the wrap
    const uint32_t end = now + 1000;
    uint32_t frames = 0;
    while (static_cast<int32_t>(end - now) > 0) {
      const LoopPlan plan = state.Plan(now);
      if (plan.frameStep) {
        state.RecordFrameStep(now, false);
        ++frames;
      } else {
        ASSERT_TRUE(plan.paced);
        ASSERT_GT(plan.waitMilliseconds, 0u);
        now += plan.waitMilliseconds;
      }
    }
    EXPECT_GE(frames, c.frames - 1) << c.hz;
    EXPECT_LE(frames, c.frames + 1) << c.hz;
  }
  LoopState state;
  state.SetPacing(60);
  state.RecordFrameStep(1000, false);  // due next at 1016.667
  EXPECT_EQ(state.Plan(1016).waitMilliseconds, 1u);
  EXPECT_TRUE(state.Plan(1017).frameStep);
  state.RecordFrameStep(1030, false);  // late by 13 ms, less than an interval: due at 1033.333
  EXPECT_EQ(state.Plan(1030).waitMilliseconds, 4u);
  state.RecordFrameStep(1080, false);  // late by more than an interval: due 16.667 ms from now
  EXPECT_EQ(state.Plan(1080).waitMilliseconds, 17u);
  EXPECT_FALSE(state.Plan(1096).frameStep);
  EXPECT_TRUE(state.Plan(1097).frameStep);
}

}  // namespace
}  // namespace lumar
