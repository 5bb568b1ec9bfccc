#!/usr/bin/env bash
# The rerun rules of the test runners, with stand-in scripts instead of Wine. An end-to-end script is run
# again only after one of Wine's own faults (recognised by its message, not starting in our code); a test
# program only when it failed before printing anything. Every rerun is announced and recorded, and any
# other failure is final.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A stand-in that counts its runs in $work/runs; its first run prints $1 and fails, later runs pass.
cat >"$work/stand_in_e2e.sh" <<'SCRIPT'
#!/usr/bin/env bash
runs=$(( $(cat "$RUNS" 2>/dev/null || echo 0) + 1 ))
echo "$runs" >"$RUNS"
[ "$runs" -gt 1 ] && exit 0
printf '%b\n' "$FIRST_OUTPUT"
exit 1
SCRIPT
chmod +x "$work/stand_in_e2e.sh"

# Runs the stand-in through the runner; prints "<exit code> <runs>"; its output goes to $work/out.
run_case() {
  rm -f "$work/runs" "$work/e2e-reruns.log"
  RUNS="$work/runs" FIRST_OUTPUT="$1" E2E_TOOLS="$work" "$here/retry_once.sh" "$work/stand_in_e2e.sh" \
    >"$work/out" 2>&1
  echo "$? $(cat "$work/runs")"
}

wine_fault='wine: Unhandled page fault on read access to 0000000000000000 at address 00006FFFFFC52F11 (thread 0024), starting debugger...\n=>0 0x00006fffffc52f11 in ntdll (+0x52f11) (0x000000000021fb40)'
e2e_check "a Wine fault: run again and passed" [ "$(run_case "$wine_fault")" = "0 2" ]
e2e_check "the rerun is announced in the output" grep -q 'e2e: RERUN stand_in_e2e.sh' "$work/out"
e2e_check "the rerun is recorded for the test command" grep -q 'page fault' "$work/e2e-reruns.log"

e2e_check "a failed check without a fault: not run again" [ "$(run_case 'e2e FAIL: no saver window')" = "1 1" ]
e2e_check "no rerun recorded" [ ! -s "$work/e2e-reruns.log" ]

ours='wine: Unhandled page fault on read access to 0000000000000008 at address 0000000140001234 (thread 0024), starting debugger...\n=>0 0x0000000140001234 in lumar (+0x1234) (0x000000000021fb40)'
e2e_check "a fault in our own code: not run again" [ "$(run_case "$ours")" = "1 1" ]

# A fault with no backtrace may be ours: not run again.
bare='wine: Unhandled page fault on read access to 0000000000000000 at address 00006FFFFFC52F11 (thread 0024), starting debugger...'
e2e_check "a fault without a backtrace: not run again" [ "$(run_case "$bare")" = "1 1" ]
e2e_check "... and said why" grep -q 'no backtrace' "$work/out"
# A fault inside a system library that our code called (a frame of ours further down) is ours.
called='wine: Unhandled page fault on read access to 0000000000000000 at address 00006FFFFFC52F11 (thread 0024), starting debugger...\n=>0 0x00006fffffc52f11 in ntdll (+0x52f11) (0x000000000021fb40)\n  1 0x0000000140001234 in lumar (+0x1234) (0x000000000021fc00)'
e2e_check "a fault in Wine called from our code: not run again" [ "$(run_case "$called")" = "1 1" ]
e2e_check "a fault in a test program of ours: not run again" \
  [ "$(run_case "${ours/in lumar/in render_win32_tests}")" = "1 1" ]
e2e_check "a broken connection to the Wine server: run again" \
  [ "$(run_case 'wine client error:24: write: Bad file descriptor')" = "0 2" ]
e2e_check "... then checks failing after it: run again" \
  [ "$(run_case 'wine client error:24: write: Bad file descriptor\ne2e FAIL: no saver window')" = "0 2" ]
# A check that failed before the server was lost failed on its own.
e2e_check "a failed check, then a broken connection: not run again" \
  [ "$(run_case 'e2e FAIL: a key ends the saver\nwine client error:24: write: Bad file descriptor')" = "1 1" ]
e2e_check "... and said why" grep -q 'failed check before Wine lost its server' "$work/out"
# Every helper tool is a program of ours: a fault in it is never Wine's.
for tool in "$here"/*_tool.cpp; do
  tool=$(basename "$tool" .cpp)
  e2e_check "a fault in $tool: not run again" [ "$(run_case "${ours/in lumar/in $tool}")" = "1 1" ]
done

# wine-run in a CTest session, with a stand-in for wine that counts its runs and fails its first run
# printing $FIRST_OUTPUT (nothing when empty).
mkdir -p "$work/bin" "$work/session" "$work/programs"
echo ":99" >"$work/session/display"
# "wine reg ..." is recorded in $REG_LOG and ends with $REG_CODE (0); with HANG it never ends; with
# ALWAYS_FAIL every run fails as the first one does.
cat >"$work/bin/wine" <<'SCRIPT'
#!/usr/bin/env bash
if [ "$1" = reg ]; then echo "$*" >>"$REG_LOG"; exit "${REG_CODE:-0}"; fi
runs=$(( $(cat "$RUNS" 2>/dev/null || echo 0) + 1 ))
echo "$runs" >"$RUNS"
[ -n "${HANG:-}" ] && exec sleep 60
[ "$runs" -gt 1 ] && [ -z "${ALWAYS_FAIL:-}" ] && { echo "[  PASSED  ] 1 test."; exit 0; }
[ -n "$FIRST_OUTPUT" ] && echo "$FIRST_OUTPUT"
exit 3
SCRIPT
chmod +x "$work/bin/wine"

# Runs program $1 through wine-run; prints "<exit code> <runs>"; its output goes to $work/out.
run_program_case() {
  rm -f "$work/runs" "$work/programs/e2e-reruns.log"
  RUNS="$work/runs" FIRST_OUTPUT="$2" PATH="$work/bin:$PATH" LUMAR_WINE_SESSION="$work/session" REG_LOG="$work/reg.log" \
    "$here/../../scripts/wine-run" "$work/programs/$1" --gtest_filter=A.B >"$work/out" 2>&1
  echo "$? $(cat "$work/runs")"
}

e2e_check "a test program that failed before printing: run again and passed" \
  [ "$(run_program_case render_win32_tests.exe '')" = "0 2" ]
e2e_check "the program's rerun is recorded with its exit code" \
  grep -q 'RERUN render_win32_tests.exe --gtest_filter=A.B: exit code 3' "$work/programs/e2e-reruns.log"
e2e_check "a test program that printed and failed: not run again" \
  [ "$(run_program_case render_win32_tests.exe 'Running main() from gtest_main.cc')" = "3 1" ]
e2e_check "its exit code is reported" grep -q 'render_win32_tests.exe ended with exit code 3' "$work/out"
e2e_check "no rerun recorded" [ ! -s "$work/programs/e2e-reruns.log" ]
e2e_check "another program that failed silently: not run again" \
  [ "$(run_program_case settings_tool.exe '')" = "3 1" ]

# A test program that crashes at every start: run twice, then failed with its cause named.
e2e_check "a test program crashing at its start: fails after one rerun" \
  [ "$(ALWAYS_FAIL=1 run_program_case render_win32_tests.exe '')" = "3 2" ]
e2e_check "... naming the crash" grep -q 'render_win32_tests.exe crashed at its start twice: exit code 3' "$work/out"
# A test program that hangs is stopped at its deadline, named, and not run again.
started=$SECONDS
e2e_check "a test program that hangs: stopped at its deadline (exit code 124)" \
  [ "$(HANG=1 LUMAR_TEST_DEADLINE=1 run_program_case render_win32_tests.exe '')" = "124 1" ]
e2e_check "... within seconds ($((SECONDS - started)) s)" [ $((SECONDS - started)) -lt 20 ]
e2e_check "... naming it" grep -q 'render_win32_tests.exe --gtest_filter=A.B did not end within 1 s' "$work/out"
# Desktop values left changed by a test program that crashed are put back before the next one runs.
rm -f "$work/reg.log"
echo 'Windows Registry Editor Version 5.00' >"$work/programs/desktop-values.reg"
e2e_check "a test program after one that left desktop values changed: runs (the stand-in fails it)" \
  [ "$(run_program_case host_win32_tests.exe 'Running main() from gtest_main.cc')" = "3 1" ]
e2e_check "... after the values were imported back" grep -q '^reg import Z:.*desktop-values.reg$' "$work/reg.log"
e2e_check "... and the record of them removed" [ ! -e "$work/programs/desktop-values.reg" ]
echo 'Windows Registry Editor Version 5.00' >"$work/programs/desktop-values.reg"
e2e_check "values that cannot be put back: the next test program fails, not run" \
  [ "$(REG_CODE=1 run_program_case host_win32_tests.exe '' 2>/dev/null)" = "1 " ]
e2e_check "... naming why" grep -q 'could not be restored' "$work/out"
rm -f "$work/programs/desktop-values.reg"

e2e_finish
