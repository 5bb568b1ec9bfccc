#!/usr/bin/env bash
# Runs an end-to-end script, and once more only when its failure is shown to be one of Wine's own: a
# page fault (or other unhandled exception) at a saver's start or exit, seen about once in forty runs,
# whose backtrace has no frame in our programs, or a broken connection between a Wine process and its
# server before any check had failed. A fault printed without a backtrace is not rerun: nothing shows it
# is not ours. Any other failure fails the test at once. A rerun is announced in the test's output and
# recorded in $E2E_TOOLS/e2e-reruns.log, which the test command reports.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
script="$1"
name=$(basename "$script")
log=$(mktemp)
trap 'rm -f "$log"' EXIT

"$@" 2>&1 | tee "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] && exit 0

# What Wine prints for a fault: "wine: Unhandled page fault on read access to ... starting debugger..."
# from the process, then the debugger's "Unhandled exception: page fault on ..." and a backtrace, one
# line a frame ("=>0 0x... in module (+0x...)", "  1 0x... in module ..."), each naming its module.
fault=$(grep -m 1 -E 'wine: Unhandled (page fault|exception)|^Unhandled exception: ' "$log")
# A lost server explains the failure only when it came first: a check that failed before it failed on its
# own.
client_line=$(grep -n -m 1 -E 'wine client error' "$log" | cut -d: -f1)
failed_line=$(grep -n -m 1 -E '^e2e FAIL' "$log" | cut -d: -f1)
client=""
[ -n "$client_line" ] && { [ -z "$failed_line" ] || [ "$failed_line" -gt "$client_line" ]; } &&
  client=$(sed -n "${client_line}p" "$log")
frames=$(grep -E '^(=>)? *[0-9]+ 0x[0-9a-fA-F]+ in ' "$log")
# Our programs: lumar.scr, the soak saver, the test programs and every helper tool of the scripts.
tools=$(cd "$here" && ls ./*_tool.cpp 2>/dev/null | sed 's|^\./||; s/\.cpp$//' | paste -sd'|')
ours="in (lumar|lumar_soak|${tools:+$tools|}[a-z0-9_]+_tests)([^a-z0-9_]|\$)"
if [ -n "$fault" ]; then
  if [ -z "$frames" ]; then
    echo "e2e: $name failed with a fault but no backtrace ($fault): it may be ours, not rerun" >&2
    exit 1
  fi
  if grep -qE "$ours" <<<"$frames"; then
    echo "e2e: $name failed with a fault in our own code ($(grep -m 1 -E "$ours" <<<"$frames")): not rerun" >&2
    exit 1
  fi
  message="e2e: RERUN $name after Wine's own fault: $fault"
elif [ -n "$client" ]; then
  message="e2e: RERUN $name after Wine lost its server: $client"
elif [ -n "$client_line" ]; then
  echo "e2e: $name had a failed check before Wine lost its server: not rerun" >&2
  exit 1
else
  echo "e2e: $name failed (no Wine fault in its output): not rerun" >&2
  exit 1
fi
echo "$message" >&2
[ -n "${E2E_TOOLS:-}" ] && echo "$message" >>"$E2E_TOOLS/e2e-reruns.log"
"$@"
