// libFuzzer target for stored settings: a desktop size and the bytes of a "Pars" value, loaded,
// validated and set up as start-up does, then run for 200 frames with the vertex fill and the orange bar;
// every vertex must stay finite. Built and run by scripts/fuzz-records (clang with libFuzzer).
#include <cstdlib>

#include "wavefield/stored_record_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!lumar::test::StoredRecordRunKeepsItsContract(data, size)) std::abort();
  return 0;
}
