#include "platform/gdi_calls_win32.h"

namespace lumar {

GdiCalls& Gdi() {
  static GdiCalls calls;
  return calls;
}

}  // namespace lumar
