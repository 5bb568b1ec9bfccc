#include "render/display_modes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace lumar {
namespace {

// A made-up driver: modes per requested format, and the formats its device checks refuse.
class FakeDriver : public ModeSource {
 public:
  std::map<int32_t, std::vector<DisplayMode>> modes;
  std::set<int32_t> refused;
  std::set<std::pair<int32_t, uint32_t>> unreadable;

  uint32_t ModeCount(int32_t format) override {
    auto it = modes.find(format);
    return it == modes.end() ? 0u : static_cast<uint32_t>(it->second.size());
  }
  bool ModeAt(int32_t format, uint32_t index, DisplayMode& mode) override {
    if (unreadable.count({format, index})) return false;
    mode = modes.at(format).at(index);
    return true;
  }
  bool SupportsFullScreen(int32_t format) override { return refused.count(format) == 0; }
};

bool Same(const DisplayMode& a, const DisplayMode& b) {
  return a.width == b.width && a.height == b.height && a.refreshRate == b.refreshRate && a.format == b.format;
}

DisplayModeList Build(FakeDriver& driver, uint32_t desktopRefresh, AdapterModeLists* out = nullptr) {
  AdapterModeLists lists;
  EXPECT_EQ(BuildModeLists(driver, desktopRefresh, lists), ModeListStatus::Ok);
  if (out) *out = lists;
  return lists.modesX8R8G8B8;
}

FakeDriver ThreeRates() {
  FakeDriver d;
  d.modes[22] = {{1024, 768, 60, 22}, {1024, 768, 75, 22}, {1024, 768, 85, 22}};
  return d;
}

TEST(ModeMerge, RefreshRatesAgainstTheDesktop) {
  FakeDriver d = ThreeRates();
  // 75 Hz desktop: 60 is replaced by 75, and 85 is not taken once the desktop rate is held.
  DisplayModeList list = Build(d, 75);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].refreshRate, 75u);
  // 60 Hz desktop: the first rate already is the desktop's.
  list = Build(d, 60);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].refreshRate, 60u);
  // 70 Hz desktop: never met, so the highest rate wins.
  list = Build(d, 70);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].refreshRate, 85u);
  // The order the driver lists rates in matters only through the desktop rule.
  d.modes[22] = {{1024, 768, 85, 22}, {1024, 768, 60, 22}, {1024, 768, 75, 22}};
  EXPECT_EQ(Build(d, 75)[0].refreshRate, 85u);
}

TEST(ModeFilter, SizeAndBitsPerChannel) {
  EXPECT_TRUE(HasUsableSizeAndDepth({800, 600, 60, 22}));
  EXPECT_TRUE(HasUsableSizeAndDepth({640, 480, 60, 23}));
  EXPECT_FALSE(HasUsableSizeAndDepth({640, 400, 60, 22}));
  EXPECT_FALSE(HasUsableSizeAndDepth({512, 384, 60, 22}));
  EXPECT_FALSE(HasUsableSizeAndDepth({639, 480, 60, 22}));
  EXPECT_FALSE(HasUsableSizeAndDepth({1024, 768, 60, 26}));  // 4 bits per channel
  EXPECT_FALSE(HasUsableSizeAndDepth({1024, 768, 60, 41}));  // unknown format
  EXPECT_TRUE(HasUsableSizeAndDepth({1024, 768, 60, 35}));

  FakeDriver d;
  d.modes[22] = {{800, 600, 60, 22}, {640, 400, 60, 22}, {512, 384, 60, 22}};
  const DisplayModeList list = Build(d, 60);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(Same(list[0], {800, 600, 60, 22}));
}

TEST(ModeFilter, BitsPerChannelTable) {
  const std::map<int32_t, int> expected{{20, 8}, {21, 8}, {22, 8}, {23, 5}, {24, 5},  {25, 5},
                                        {26, 4}, {30, 4}, {27, 2}, {29, 2}, {31, 10}, {35, 10},
                                        {28, 0}, {32, 0}, {0, 0},  {-1, 0}};
  for (const auto& [format, bits] : expected) EXPECT_EQ(BitsPerChannel(format), bits) << format;
}

TEST(ModeFilter, DeviceChecksAndUnreadableModesSkip) {
  FakeDriver d;
  d.modes[22] = {{800, 600, 60, 22}, {1024, 768, 60, 22}};
  d.modes[23] = {{800, 600, 60, 23}};
  d.refused = {23};
  d.unreadable = {{22, 0}};
  AdapterModeLists lists;
  Build(d, 60, &lists);
  ASSERT_EQ(lists.modesX8R8G8B8.size(), 1u);
  EXPECT_EQ(lists.modesX8R8G8B8[0].width, 1024u);
  EXPECT_TRUE(lists.modesR5G6B5.empty());
  EXPECT_EQ(lists.foundFormats, (std::vector<int32_t>{22}));
}

TEST(ModeLists, TwoFormatsIndependentInCandidateOrder) {
  FakeDriver d;
  // The driver is asked for R5G6B5 after X1R5G5B5 even though R5G6B5 has the lower value.
  d.modes[23] = {{1024, 768, 60, 23}, {800, 600, 60, 23}};
  d.modes[22] = {{1024, 768, 75, 22}, {800, 600, 75, 22}};
  AdapterModeLists lists;
  Build(d, 60, &lists);
  EXPECT_EQ(lists.foundFormats, (std::vector<int32_t>{22, 23}));
  ASSERT_EQ(lists.modesX8R8G8B8.size(), 2u);
  ASSERT_EQ(lists.modesR5G6B5.size(), 2u);
  EXPECT_TRUE(Same(lists.modesX8R8G8B8[0], {800, 600, 75, 22}));
  EXPECT_TRUE(Same(lists.modesR5G6B5[1], {1024, 768, 60, 23}));
  EXPECT_TRUE(lists.modesX1R5G5B5.empty());
  EXPECT_TRUE(lists.modesA2R10G10B10.empty());

  d.modes[24] = {{800, 600, 60, 24}};
  Build(d, 60, &lists);
  EXPECT_EQ(lists.foundFormats, (std::vector<int32_t>{22, 24, 23}));
}

TEST(ModeLists, SortByWidthHeightFormatRefresh) {
  DisplayModeList list{{1280, 1024, 60, 22}, {1024, 768, 60, 22}, {1280, 720, 60, 22},
                       {1024, 768, 60, 21},  {1024, 768, 50, 21}, {3000000000u, 10, 1, 22}};
  SortModes(list);
  EXPECT_TRUE(Same(list[0], {1024, 768, 50, 21}));
  EXPECT_TRUE(Same(list[1], {1024, 768, 60, 21}));
  EXPECT_TRUE(Same(list[2], {1024, 768, 60, 22}));
  EXPECT_TRUE(Same(list[3], {1280, 720, 60, 22}));
  EXPECT_TRUE(Same(list[4], {1280, 1024, 60, 22}));
  EXPECT_EQ(list[5].width, 3000000000u);  // widths compare unsigned
}

TEST(ModeLists, ListForFormatAndFindMode) {
  AdapterModeLists lists;
  lists.modesX8R8G8B8 = {{800, 600, 60, 22}};
  lists.modesX1R5G5B5 = {{800, 600, 60, 24}, {1024, 768, 60, 24}};
  EXPECT_EQ(&ModeListForFormat(lists, 22), &lists.modesX8R8G8B8);
  EXPECT_EQ(&ModeListForFormat(lists, 24), &lists.modesX1R5G5B5);
  EXPECT_EQ(&ModeListForFormat(lists, 23), &lists.modesR5G6B5);
  for (int32_t other : {35, 21, 0, -5, 1000})
    EXPECT_EQ(&ModeListForFormat(lists, other), &lists.modesA2R10G10B10);
  EXPECT_EQ(FindMode(lists.modesX1R5G5B5, 1024, 768), 1);
  EXPECT_EQ(FindMode(lists.modesX1R5G5B5, 768, 1024), -1);
  EXPECT_EQ(FindMode(lists.modesR5G6B5, 800, 600), -1);
}

TEST(ModeLists, RebuildStartsFromEmptyLists) {
  FakeDriver d = ThreeRates();
  AdapterModeLists lists;
  lists.modesA2R10G10B10 = {{640, 480, 60, 35}};
  lists.foundFormats = {35};
  ASSERT_EQ(BuildModeLists(d, 60, lists), ModeListStatus::Ok);
  EXPECT_TRUE(lists.modesA2R10G10B10.empty());
  EXPECT_EQ(lists.foundFormats, (std::vector<int32_t>{22}));
}

// A driver too big to list: growing a list fails, and the result is the out-of-memory status with empty
// lists rather than a half-built one.
class EndlessDriver : public ModeSource {
 public:
  uint32_t ModeCount(int32_t) override { return 0xFFFFFFFFu; }
  bool ModeAt(int32_t format, uint32_t index, DisplayMode& mode) override {
    if (index > 2000) throw std::bad_alloc();
    mode = {640 + index, 480, 60, format};
    return true;
  }
  bool SupportsFullScreen(int32_t) override { return true; }
};

TEST(ModeLists, OutOfMemoryLeavesEmptyLists) {
  EndlessDriver d;
  AdapterModeLists lists;
  EXPECT_EQ(BuildModeLists(d, 60, lists), ModeListStatus::OutOfMemory);
  EXPECT_TRUE(lists.modesX8R8G8B8.empty());
  EXPECT_TRUE(lists.foundFormats.empty());
}

}  // namespace
}  // namespace lumar

namespace lumar {
namespace {

TEST(DesktopModeListed, TheDesktopMustBeInTheListOfItsOwnFormat) {
  AdapterModeLists lists;
  lists.modesX8R8G8B8 = {{1024, 768, 60, kFormatX8R8G8B8}, {1280, 1024, 60, kFormatX8R8G8B8}};
  lists.modesR5G6B5 = {{800, 600, 60, kFormatR5G6B5}};
  EXPECT_TRUE(DesktopModeListed(lists, {1024, 768, 75, kFormatX8R8G8B8}));  // the refresh rate does not count
  EXPECT_FALSE(DesktopModeListed(lists, {1152, 864, 60, kFormatX8R8G8B8}));
  // 800 x 600 is listed, but only for another format than the desktop's.
  EXPECT_FALSE(DesktopModeListed(lists, {800, 600, 60, kFormatX8R8G8B8}));
  EXPECT_TRUE(DesktopModeListed(lists, {800, 600, 60, kFormatR5G6B5}));
  // A desktop format of no list of its own looks in the A2R10G10B10 list, empty here.
  EXPECT_FALSE(DesktopModeListed(lists, {1024, 768, 60, 21}));
  EXPECT_FALSE(DesktopModeListed(AdapterModeLists{}, {1024, 768, 60, kFormatX8R8G8B8}));
}

}  // namespace
}  // namespace lumar
