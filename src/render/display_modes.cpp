// Full-screen mode lists per colour format.
#include "render/display_modes.h"

#include <algorithm>
#include <new>
#include <tuple>

namespace lumar {

int BitsPerChannel(int32_t format) {
  switch (format) {
    case 20:  // R8G8B8
    case 21:  // A8R8G8B8
    case 22:  // X8R8G8B8
      return 8;
    case 23:  // R5G6B5
    case 24:  // X1R5G5B5
    case 25:  // A1R5G5B5
      return 5;
    case 26:  // A4R4G4B4
    case 30:  // X4R4G4B4
      return 4;
    case 27:  // R3G3B2
    case 29:  // A8R3G3B2
      return 2;
    case 31:  // A2B10G10R10
    case 35:  // A2R10G10B10
      return 10;
    default:
      return 0;
  }
}

bool HasUsableSizeAndDepth(const DisplayMode& mode) {
  return mode.width >= 640 && mode.height >= 480 && BitsPerChannel(mode.format) >= 5;
}

int FindMode(const DisplayModeList& list, uint32_t width, uint32_t height) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].width == width && list[i].height == height) return static_cast<int>(i);
  }
  return -1;
}

void MergeMode(DisplayModeList& list, const DisplayMode& mode, uint32_t desktopRefresh) {
  const int index = FindMode(list, mode.width, mode.height);
  if (index < 0) {
    list.push_back(mode);
    return;
  }
  DisplayMode& known = list[static_cast<std::size_t>(index)];
  if (known.refreshRate != desktopRefresh && known.refreshRate < mode.refreshRate) {
    known.refreshRate = mode.refreshRate;
  }
}

void SortModes(DisplayModeList& list) {
  std::sort(list.begin(), list.end(), [](const DisplayMode& a, const DisplayMode& b) {
    return std::tie(a.width, a.height, a.format, a.refreshRate) <
           std::tie(b.width, b.height, b.format, b.refreshRate);
  });
}

const DisplayModeList& ModeListForFormat(const AdapterModeLists& lists, int32_t format) {
  switch (format) {
    case kFormatX8R8G8B8:
      return lists.modesX8R8G8B8;
    case kFormatX1R5G5B5:
      return lists.modesX1R5G5B5;
    case kFormatR5G6B5:
      return lists.modesR5G6B5;
    default:
      return lists.modesA2R10G10B10;
  }
}

DisplayModeList& ModeListForFormat(AdapterModeLists& lists, int32_t format) {
  return const_cast<DisplayModeList&>(ModeListForFormat(static_cast<const AdapterModeLists&>(lists), format));
}

bool DesktopModeListed(const AdapterModeLists& lists, const DisplayMode& desktop) {
  return FindMode(ModeListForFormat(lists, desktop.format), desktop.width, desktop.height) >= 0;
}

ModeListStatus BuildModeLists(ModeSource& driver, uint32_t desktopRefresh, AdapterModeLists& lists) {
  try {
    lists = AdapterModeLists{};
    for (int32_t candidate : kCandidateFormats) {
      const uint32_t count = driver.ModeCount(candidate);
      for (uint32_t i = 0; i < count; ++i) {
        DisplayMode mode;
        if (!driver.ModeAt(candidate, i, mode)) continue;
        if (!HasUsableSizeAndDepth(mode) || !driver.SupportsFullScreen(mode.format)) continue;
        MergeMode(ModeListForFormat(lists, candidate), mode, desktopRefresh);
        if (std::find(lists.foundFormats.begin(), lists.foundFormats.end(), mode.format) ==
            lists.foundFormats.end()) {
          lists.foundFormats.push_back(mode.format);
        }
      }
    }
    for (int32_t candidate : kCandidateFormats) SortModes(ModeListForFormat(lists, candidate));
  } catch (const std::bad_alloc&) {
    lists = AdapterModeLists{};
    return ModeListStatus::OutOfMemory;
  }
  return ModeListStatus::Ok;
}

}  // namespace lumar
