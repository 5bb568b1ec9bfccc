#!/usr/bin/env bash
# Runs an end-to-end script, and once more only when its failure is one of Wine's own faults: a page fault
# (or other unhandled exception) at a saver's start or exit, seen about once in forty runs, whose
# backtrace does not start in our code. Any other failure fails the test at once. A rerun is announced in
# the test's output and recorded in $E2E_TOOLS/e2e-reruns.log, which the test command reports.
script="$1"
name=$(basename "$script")
log=$(mktemp)
trap 'rm -f "$log"' EXIT

"$@" 2>&1 | tee "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] && exit 0

# What Wine prints for a fault: "wine: Unhandled page fault on read access to ... starting debugger..."
# from the process, then the debugger's "Unhandled exception: page fault on ..." and a backtrace whose
# first frame ("=>0 0x... in module") names the faulting module.
fault=$(grep -m 1 -E 'wine: Unhandled (page fault|exception)|^Unhandled exception: |wine client error' "$log")
first_frame=$(grep -m 1 -E '^=>0 ' "$log")
ours='in (lumar|settings_tool|preview_host_tool)([^a-z_]|$)'
if [ -z "$fault" ]; then
  echo "e2e: $name failed (no Wine fault in its output): not rerun" >&2
  exit 1
fi
if [[ "$first_frame" =~ $ours ]]; then
  echo "e2e: $name failed with a fault in our own code ($first_frame): not rerun" >&2
  exit 1
fi
message="e2e: RERUN $name after Wine's own fault: $fault"
echo "$message" >&2
[ -n "${E2E_TOOLS:-}" ] && echo "$message" >>"$E2E_TOOLS/e2e-reruns.log"
"$@"
