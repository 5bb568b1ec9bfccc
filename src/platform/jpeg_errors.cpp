#include "platform/jpeg_errors.h"

#include <jerror.h>

namespace lumar {
namespace {

[[noreturn]] void OnFatalError(j_common_ptr cinfo) {
  const int code = cinfo->err->msg_code;
  FailJpeg(cinfo, code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY ? ImageStatus::kTooLarge
                  : code == JERR_INPUT_EMPTY                                  ? ImageStatus::kTruncated
                                                                              : ImageStatus::kInvalid);
}

void IgnoreMessage(j_common_ptr, int) {}

}  // namespace

void InstallJpegErrorManager(jpeg_common_struct* cinfo, JpegErrorManager& errors) {
  cinfo->err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnFatalError;
  errors.base.emit_message = IgnoreMessage;  // no console output; decoders install their own policy
  errors.status = ImageStatus::kOk;
}

void FailJpeg(jpeg_common_struct* cinfo, ImageStatus status) {
  JpegErrorManager* errors = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  errors->status = status;
  std::longjmp(errors->jump, 1);
}

}  // namespace lumar
