// libFuzzer target for the picture loader: any bytes, decoded as a picture file, must either give a
// picture within the caps or an error. Built and run by scripts/fuzz-loader (clang with libFuzzer).
#include <cstdlib>

#include "platform/decode_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!lumar::test::DecodeKeepsItsContract(data, size)) std::abort();
  return 0;
}
