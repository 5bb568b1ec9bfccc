#!/usr/bin/env bash
# The README's `scripts/run` on a machine without a display: exit code 0 after a good run, non-zero when
# the run fails, and no process of its own left behind either way (its Xvfb, the wineserver, Wine's
# device services). Its processes are told apart by a mark in their environment, which they inherit.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs scripts/run with `seconds` of screenshots; prints its exit code. The mark is $work.
run_script() {
  (
    unset DISPLAY
    export LUMAR_RUN_MARK="$work" LUMAR_RUN_SECONDS="$1"
    exec "$e2e_root/scripts/run"
  ) >"$work/run-$1.log" 2>&1
  echo $?
}

# Processes that carry the mark, waiting up to 5 s for the last ones to go.
left_running() {
  local i pids
  for ((i = 0; i < 50; i++)); do
    pids=$(grep -lsF "LUMAR_RUN_MARK=$work" /proc/[0-9]*/environ | cut -d/ -f3 | paste -sd, -)
    [ -z "$pids" ] && return 0
    sleep 0.1
  done
  # Never empty: the pids at least, should ps not describe them.
  echo "$pids: $(ps -o args= -p "$pids" 2>/dev/null | tr '\n' ';')"
}

code=$(run_script 1)
e2e_check "a good run exits 0 (got $code; $(tail -n 2 "$work/run-1.log" | tr '\n' ' '))" [ "$code" = 0 ]
left=$(left_running)
e2e_check "a good run leaves nothing running: ${left:-none}" [ -z "$left" ]
e2e_check "a good run saved its screenshot" [ -s "$e2e_root/out/shot-1.png" ]

# No screenshot second: the run ends without the screenshots it promises, which is a failure.
code=$(run_script 0)
e2e_check "a failed run exits non-zero (got $code)" [ "$code" != 0 ]
left=$(left_running)
e2e_check "a failed run leaves nothing running: ${left:-none}" [ -z "$left" ]

e2e_finish
