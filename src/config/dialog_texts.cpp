// Texts of the configuration dialog's lists.
#include "config/dialog_texts.h"

#include <cstdio>

namespace lumar {

const char* ColorFormatText(int32_t format) {
  switch (format) {
    case kFormatX8R8G8B8:
      return "X8R8G8B8 (32)";
    case kFormatX1R5G5B5:
      return "X1R5G5B5 (16)";
    case kFormatR5G6B5:
      return "R5G6B5 (16)";
    default:
      return "A2R10G10B10 (32)";
  }
}

std::string ModeEntryText(const DisplayMode& mode) {
  char text[32];
  std::snprintf(text, sizeof text, "%d x %d", static_cast<int>(mode.width), static_cast<int>(mode.height));
  return text;
}

}  // namespace lumar
