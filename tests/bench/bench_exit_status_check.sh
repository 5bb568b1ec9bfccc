#!/bin/sh
# The benchmark program's exit status cannot pass wrongly: a filter that selects nothing and a benchmark
# that skips with an error each fail the run with their reason named; a run that did its work passes.
# Usage: bench_exit_status_check.sh LUMAR_BENCH
set -u
bench=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=0

# expect NAME STATUS TEXT ARGS...: the run ends with STATUS and its output holds TEXT.
expect() {
  name=$1 status=$2 text=$3
  shift 3
  "$bench" --benchmark_min_time=0 --benchmark_repetitions=1 "$@" > "$log" 2>&1
  got=$?
  if [ "$got" -ne "$status" ]; then
    echo "FAIL $name: exit status $got, expected $status"; cat "$log"; failed=1
  elif ! grep -q -- "$text" "$log"; then
    echo "FAIL $name: no \"$text\" in the output"; cat "$log"; failed=1
  else
    echo "ok   $name: exit status $got, \"$text\""
  fi
}

expect "filter matching nothing" 1 "the filter matched no benchmark" --benchmark_filter=NoSuchBenchmark
expect "a benchmark skipping with an error" 1 "skipped with an error: SelfTest/error" \
  --self_test_error --benchmark_filter=SelfTest/
expect "an error beside benchmarks that ran" 1 "skipped with an error: SelfTest/error" \
  --self_test_error "--benchmark_filter=SelfTest/|BM_HalveImage1024"
expect "a run that did its work" 0 "BM_HalveImage1024" --benchmark_filter=BM_HalveImage1024
exit $failed
