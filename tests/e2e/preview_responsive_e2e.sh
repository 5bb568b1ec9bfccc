#!/usr/bin/env bash
# The preview in a parent window made by another process (the control-panel stand-in), as Windows' Screen
# Saver Settings makes it, at 96 dpi and (LUMAR_LOG_PIXELS=144, preview_responsive_144dpi_e2e.sh) at
# 144 dpi: the preview draws (its process's CPU), sized to the parent's client area (the stand-in's own
# check, its exit code), and the stand-in's window answers a message within 100 ms throughout.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
tool="$E2E_TOOLS/preview_host_tool.exe"
probe="$E2E_TOOLS/panel_probe_tool.exe"
dpi="${LUMAR_LOG_PIXELS:-96}"

e2e_begin 1024x768x24

preview_pid() { e2e_session_pids 'lumar.scr"? /p' | head -n 1; }

go="$E2E_WORK/go"
wine "$tool" "$E2E_SCR" "Z:${go//\//\\}" >"$E2E_WORK/panel.out" 2>&1 &
host=$!
pid=""
for ((i = 0; i < 300; i++)); do
  pid=$(preview_pid)
  [ -n "$pid" ] && break
  sleep 0.1
done
if [ -n "$pid" ]; then
  sleep 6  # start-up
  wine "$probe" 6 >"$E2E_WORK/probe.out" 2>&1 &
  probing=$!
  used=$(e2e_cpu_over "$pid" 3)
  wait "$probing"
  answered=$?
  e2e_check "at $dpi dpi the preview draws: $used ms of CPU in 3 s" e2e_greater "$used" 300
  e2e_check "at $dpi dpi the panel answers within 100 ms while the preview draws: $(cat "$E2E_WORK/probe.out")" \
    [ "$answered" = 0 ]
else
  e2e_fail "no preview process at $dpi dpi"
fi
touch "$go"
wait "$host"
result=$?
cat "$E2E_WORK/panel.out"
e2e_check "at $dpi dpi: a child window of the parent's size, ended with the parent, exit code 0" [ "$result" = 0 ]

e2e_finish
