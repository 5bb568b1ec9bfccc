#!/bin/sh
# AVX2 code stays in the frame engine's AVX2 kernels: in the disassembly of a program, every function of
# ours that runs a VEX-encoded instruction (ymm registers, and xmm ones in their VEX form: what -mavx2 makes
# of scalar code) is one built for the Avx2 lane type (kernel_loops_avx2.cpp). An inline helper kept in its
# AVX2 form for other callers would run AVX2 instructions on processors without them.
# In a Windows program (PE), no aligned move of a 32-byte register of ours may address the stack: Win64
# aligns the stack to 16 bytes only, so such a spill or copy may fault. (The JPEG library's AVX2 routines
# align their own frames and are not ours.)
# Usage: avx2_confined_check.sh OBJDUMP PROGRAM
set -eu
objdump=$1
program=$2
listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
"$objdump" -d --no-show-raw-insn -C "$program" > "$listing"
win64=0
if "$objdump" -f "$program" | grep -q "pei*-x86-64"; then win64=1; fi
awk -v win64="$win64" '
  /^[0-9a-f]+ <.*>:$/ { name = substr($0, index($0, "<") + 1); name = substr(name, 1, length(name) - 2); next }
  {
    tab = index($0, "\t")
    if (tab == 0) next
    instruction = substr($0, tab + 1)
    split(instruction, words, " ")
    mnemonic = words[1]
  }
  name !~ /lumar::/ { next }
  win64 && mnemonic ~ /^vmov(ap[sd]|dqa(32|64)?)$/ && instruction ~ /%ymm/ && instruction ~ /\(%r[sb]p\)/ {
    print "aligned vector move on the stack in " name ": " instruction; bad = 1
  }
  mnemonic ~ /^v/ && (instruction ~ /%[xy]mm/ || mnemonic ~ /^vzero/) {
    if (name ~ /Avx2/) { kernels[name] = 1 } else if (!(name in reported)) { reported[name] = 1; print "VEX code outside the AVX2 kernels: " name ": " instruction; bad = 1 }
  }
  END {
    n = 0; for (k in kernels) n++
    if (n == 0) { print "no AVX2 kernel found in the disassembly"; exit 1 }
    print n " AVX2 kernel functions run VEX-encoded instructions"
    exit bad
  }' "$listing"
