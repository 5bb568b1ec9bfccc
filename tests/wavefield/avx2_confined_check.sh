#!/bin/sh
# AVX2 code stays in the frame engine's AVX2 kernels: in the disassembly of a program, every function of
# ours that touches a ymm register is one built for the Avx2 lane type (frame_kernels_avx2.cpp). An inline
# helper kept in its AVX2 form for other callers would run AVX2 instructions on processors without them.
# Usage: avx2_confined_check.sh OBJDUMP PROGRAM
set -eu
objdump=$1
program=$2
listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
"$objdump" -d --no-show-raw-insn -C "$program" > "$listing"
awk '
  /^[0-9a-f]+ <.*>:$/ { name = substr($0, index($0, "<") + 1); name = substr(name, 1, length(name) - 2); next }
  /%ymm/ && name ~ /lumar::/ {
    if (name ~ /Avx2/) { kernels[name] = 1 } else if (!(name in reported)) { reported[name] = 1; print "ymm outside the AVX2 kernels: " name; bad = 1 }
  }
  END {
    n = 0; for (k in kernels) n++
    if (n == 0) { print "no AVX2 kernel found in the disassembly"; exit 1 }
    print n " AVX2 kernel functions use ymm registers"
    exit bad
  }' "$listing"
