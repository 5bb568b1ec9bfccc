// The rules that turn a driver's mode list into the saver's full-screen mode lists, one per colour
// format: which modes qualify, how refresh rates of one resolution merge, and the order of each list.
// The Windows shell feeds them from Direct3D through ModeSource; tests feed made-up drivers.
#pragma once

#include <cstdint>
#include <vector>

#include "settings/parameter_set.h"

namespace lumar {

using DisplayModeList = std::vector<DisplayMode>;  // at most one item per width x height

// The formats tried, in this order: X8R8G8B8, X1R5G5B5, R5G6B5, A2R10G10B10.
constexpr int32_t kCandidateFormats[4] = {kFormatX8R8G8B8, kFormatX1R5G5B5, kFormatR5G6B5,
                                          kFormatA2R10G10B10};

struct AdapterModeLists {
  DisplayModeList modesX8R8G8B8;
  DisplayModeList modesX1R5G5B5;
  DisplayModeList modesR5G6B5;
  DisplayModeList modesA2R10G10B10;
  std::vector<int32_t> foundFormats;  // formats with at least one qualifying mode, in order of finding
};

// What the enumeration needs from a display driver.
class ModeSource {
 public:
  virtual ~ModeSource() = default;
  virtual uint32_t ModeCount(int32_t format) = 0;
  // false when the driver cannot report that mode; it is skipped.
  virtual bool ModeAt(int32_t format, uint32_t index, DisplayMode& mode) = 0;
  // The device checks of a full-screen mode in this format: device type, a 16-bit depth buffer that
  // matches, and rendering without multisampling.
  virtual bool SupportsFullScreen(int32_t format) = 0;
};

enum class ModeListStatus { Ok, OutOfMemory };

// Bits per colour channel of a D3DFORMAT value; 0 for formats the saver does not know.
int BitsPerChannel(int32_t format);

// The size and colour-depth part of the filter: at least 640 x 480 and 5 bits per channel.
bool HasUsableSizeAndDepth(const DisplayMode& mode);

// The index of the first mode with this width and height, or -1.
int FindMode(const DisplayModeList& list, uint32_t width, uint32_t height);

// Adds a qualifying mode: a new resolution is appended; a known one keeps the desktop's refresh rate once
// it has it and otherwise takes the highest rate seen.
void MergeMode(DisplayModeList& list, const DisplayMode& mode, uint32_t desktopRefresh);

// Ascending by width, height, format (signed), then refresh rate.
void SortModes(DisplayModeList& list);

// X8R8G8B8, X1R5G5B5 and R5G6B5 have their own lists; every other value selects the A2R10G10B10 list.
const DisplayModeList& ModeListForFormat(const AdapterModeLists& lists, int32_t format);
DisplayModeList& ModeListForFormat(AdapterModeLists& lists, int32_t format);

// Whether the enumerated list of the desktop's own format holds the desktop's width and height: a fresh
// record takes the desktop mode, which must be one the saver can run full screen.
bool DesktopModeListed(const AdapterModeLists& lists, const DisplayMode& desktop);

// Rebuilds all lists from the driver: every candidate format, every mode, filter, merge, then sort.
ModeListStatus BuildModeLists(ModeSource& driver, uint32_t desktopRefresh, AdapterModeLists& lists);

}  // namespace lumar
