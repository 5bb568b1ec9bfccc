// libjpeg reports fatal errors through error_exit, which by default ends the process. Our sessions jump
// back to the caller instead; the jump buffer lives in the session, which the caller owns.
#pragma once

#include <csetjmp>
// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include "platform/image.h"

namespace lumar {

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  ImageStatus status;
};

// Points cinfo->err at `errors` with fatal errors routed to the jump buffer (status kInvalid, or kTooLarge
// when libjpeg runs out of its memory budget).
void InstallJpegErrorManager(jpeg_common_struct* cinfo, JpegErrorManager& errors);

// Records `status` and jumps back to the session's setjmp.
[[noreturn]] void FailJpeg(jpeg_common_struct* cinfo, ImageStatus status);

}  // namespace lumar
