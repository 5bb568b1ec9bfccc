#!/usr/bin/env bash
# The end-to-end runner's rerun rule, with stand-in scripts instead of Wine: a failure is run again only
# after one of Wine's own faults (recognised by its message, not starting in our code), every rerun is
# announced and recorded, and any other failure is final.
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

e2e_finish
