// Whether the processor and the operating system run AVX2 code: the CPUID feature bit, and the system
// saving the wide registers (XGETBV), which the compilers' own checks cover.
#include "wavefield/kernel_table.h"

#if defined(_MSC_VER)
#include <immintrin.h>
#include <intrin.h>
#endif

namespace lumar {

#if defined(_MSC_VER)
bool CpuHasAvx2() {
  int info[4] = {};
  __cpuid(info, 0);
  if (info[0] < 7) return false;
  __cpuid(info, 1);
  const bool osSavesYmm = (info[2] & (1 << 27)) != 0 && (_xgetbv(0) & 0x6) == 0x6;
  const bool avx = (info[2] & (1 << 28)) != 0;
  __cpuidex(info, 7, 0);
  return osSavesYmm && avx && (info[1] & (1 << 5)) != 0;
}
#else
bool CpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}
#endif

}  // namespace lumar
