#!/bin/sh
# avx2_confined_check.sh shown failing on what it exists to catch: scalar code in VEX form outside the AVX2
# kernels, and (Windows objects) an aligned vector move on the stack; and passing without them.
# Usage: avx2_confined_self_test.sh CXX OBJDUMP MINGW_AS MINGW_OBJDUMP
set -u
cxx=$1 objdump=$2 mingw_as=$3 mingw_objdump=$4
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

cat > "$work/k.cpp" <<'CODE'
#include <immintrin.h>
namespace lumar {
struct Avx2 {};
template <class V>
__attribute__((noinline)) void Kernel(double* p) {
  _mm256_storeu_pd(p, _mm256_add_pd(_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)));
}
template void Kernel<Avx2>(double*);
#ifdef OUTSIDE
double Scale(double x) { return x * 2.5; }
#endif
}  // namespace lumar
CODE
# The kernel of a Windows object, with or without a 32-byte register's aligned move to the stack.
windows_object() {
  cat > "$work/w.s" <<CODE
	.text
	.globl	_ZN5lumar6KernelINS_4Avx2EEEvPd
_ZN5lumar6KernelINS_4Avx2EEEvPd:
	vmovupd (%rcx), %ymm0
	$1 %ymm0, 32(%rsp)
	ret
CODE
  "$mingw_as" -o "$work/$2" "$work/w.s"
}

# expect NAME STATUS TEXT OBJDUMP OBJECT
expect() {
  "$here/avx2_confined_check.sh" "$4" "$5" > "$work/log" 2>&1
  got=$?
  if [ "$got" -ne "$2" ] || ! grep -q -- "$3" "$work/log"; then
    echo "FAIL $1: exit status $got (expected $2), output:"; cat "$work/log"; failed=1
  else
    echo "ok   $1: $(head -n 1 "$work/log")"
  fi
}

"$cxx" -O2 -mavx2 -c "$work/k.cpp" -o "$work/kernel.o" || exit 1
"$cxx" -O2 -mavx2 -DOUTSIDE -c "$work/k.cpp" -o "$work/outside.o" || exit 1
windows_object vmovupd unaligned.o || exit 1
windows_object vmovapd aligned.o || exit 1
expect "AVX2 kernel alone" 0 "1 AVX2 kernel functions" "$objdump" "$work/kernel.o"
expect "scalar VEX code outside the kernels" 1 "VEX code outside the AVX2 kernels: lumar::Scale(double)" \
  "$objdump" "$work/outside.o"
expect "Windows kernel, unaligned stack move" 0 "1 AVX2 kernel functions" "$mingw_objdump" "$work/unaligned.o"
expect "Windows kernel, aligned stack move" 1 "aligned vector move on the stack" "$mingw_objdump" \
  "$work/aligned.o"
exit $failed
