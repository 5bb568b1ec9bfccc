#!/usr/bin/env bash
# The preview mode: lumar.scr /p <parent> draws in a child of the parent and ends with it; while a
# full-screen instance runs, the preview waits and draws nothing. Whether the preview draws is read from
# outside, as the CPU time of its process (Wine does not put a child window's Direct3D frames on screen).
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
tool="$E2E_TOOLS/preview_host_tool.exe"

e2e_begin 1024x768x24

# Linux pid of the preview instance of this script's own session (never another run's on the machine).
preview_pid() { e2e_session_pids 'lumar.scr"? /p' | head -n 1; }

# CPU milliseconds process $1 has used so far; nothing when it is gone.
cpu_total() { awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$1/stat" 2>/dev/null; }
# The preview draws: over 300 ms of CPU in a second.
drawing() { e2e_greater "$(e2e_cpu_over "$pid" 1)" 300; }
# The preview has started (over 300 ms of CPU so far) and now waits: under 50 ms in a second.
started_and_waiting() { e2e_greater "$(cpu_total "$pid")" 300 && e2e_greater 50 "$(e2e_cpu_over "$pid" 1)"; }

# Runs the control-panel stand-in in the background; sets host and go.
start_panel() {
  go="$E2E_WORK/go-$1"
  rm -f "$go"
  wine "$tool" "$E2E_SCR" "Z:${go//\//\\}" >"$E2E_WORK/panel-$1.out" 2>&1 &
  host=$!
  local i
  for ((i = 0; i < 300; i++)); do
    pid=$(preview_pid)
    [ -n "$pid" ] && return 0
    sleep 0.1
  done
  e2e_fail "no preview process ($1)"
  return 1
}

finish_panel() {
  touch "$go"
  wait "$host"
  local result=$?
  cat "$E2E_WORK/panel-$1.out"
  e2e_check "$1: child window, parent's size, ends with the parent, exit code 0" [ "$result" = 0 ]
}

e2e_log "preview alone"
if start_panel alone; then
  e2e_wait_until "the preview starts drawing" 30 drawing || e2e_fail "the preview did not start drawing within 30 s"
  used=$(e2e_cpu_over "$pid" 3)
  e2e_check "the preview draws: $used ms of CPU in 3 s" e2e_greater "$used" 300
  finish_panel alone
fi

e2e_log "preview while a full-screen instance runs"
e2e_start /s
e2e_wait_window 30 >/dev/null || e2e_fail "no full-screen window"
e2e_wait_drawn 30 || e2e_fail "the full-screen instance draws nothing"
if start_panel paused; then
  # The preview's start-up, then it finds the event and waits.
  e2e_wait_until "the preview starts and waits" 30 started_and_waiting ||
    e2e_fail "the preview did not start and wait within 30 s"
  e2e_check "the full-screen instance still runs" e2e_still_running
  used=$(e2e_cpu_over "$pid" 3)
  # A preview that died uses no CPU either: "gone" is not a number, and fails.
  e2e_check "the preview stands still while the full-screen instance runs: $used ms in 3 s" e2e_greater 150 "$used"
  xdotool key space
  code=$(e2e_wait_exit 20)
  e2e_check "the full-screen instance ended (code $code)" [ "$code" = 0 ]
  e2e_wait_until "the preview draws again" 20 drawing || e2e_fail "the preview did not draw again within 20 s"
  used=$(e2e_cpu_over "$pid" 3)
  e2e_check "then the preview draws: $used ms in 3 s" e2e_greater "$used" 300
  finish_panel paused
fi

e2e_finish
