#!/usr/bin/env bash
# Full-screen runs of lumar.scr, started the way Windows starts a saver, checked from outside: the
# command lines that mean "full screen", moving ripples over the photographed desktop, and every way the
# saver ends (or does not).
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin_with_desktop

# Starts the saver with "$@" and waits until it draws, and a second more.
start_saver() {
  e2e_start_saver "$@" || return 1
  sleep 1
}

# Every spelling of "full screen" runs full screen; a key ends each.
for arguments in "/s" "-S" "s" "x"; do  # no arguments: the dialog (empty_command_line_e2e.sh)
  if start_saver $arguments; then
    e2e_screenshot "$E2E_WORK/a.png"
    sleep 1
    e2e_screenshot "$E2E_WORK/b.png"
    moved=$(e2e_difference "$E2E_WORK/a.png" "$E2E_WORK/b.png")
    e2e_check "'$arguments': the picture moves between two screenshots (difference $moved)" e2e_greater "$moved" 0.001
    xdotool key space
    e2e_ended_cleanly "'$arguments' ended by a key"
  fi
done

# The desktop picture is recognisable under the ripples: with a gentle look ("Breeze", stored as the
# dialog would) the screen must resemble the desktop closely, and far more than the desktop upside down.
if e2e_store_preset 14 && start_saver /s; then
  e2e_screenshot "$E2E_WORK/saver.png"
  convert "$desktop" -flip "$E2E_WORK/control.png"
  likeness=$(e2e_correlation "$desktop" "$E2E_WORK/saver.png")
  control=$(e2e_correlation "$E2E_WORK/control.png" "$E2E_WORK/saver.png")
  e2e_check "the saver shows the desktop (correlation $likeness, upside down $control)" \
    e2e_numbers 'a > 0.8 && a > c + 0.3' a="$likeness" c="$control"
  e2e_check "... under the saver's ripples, not uncovered (difference $(e2e_difference "$desktop" "$E2E_WORK/saver.png"))" \
    e2e_not_the_desktop "$E2E_WORK/saver.png" "$desktop"
  xdotool click 1
  e2e_ended_cleanly "a click"
  wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
fi

# Mouse: the window's first mouse message counts as the first move; five moves in all are tolerated and
# the sixth ends the run. A move to the same place is not counted.
if start_saver /s; then
  xdotool mousemove 100 100; sleep 0.3
  xdotool mousemove 100 100; sleep 0.3   # the same place: not a move
  xdotool mousemove 200 150; sleep 0.3
  xdotool mousemove 300 200; sleep 0.3
  xdotool mousemove 400 250; sleep 0.5
  e2e_check "still running after the first message and four moves" e2e_still_running
  xdotool mousemove 500 300
  e2e_ended_cleanly "the sixth mouse position"
fi

# Alt+F4 ends the saver as any other key does (keys_e2e.sh has the other system keys).
if start_saver /s; then
  xdotool key alt+F4
  e2e_ended_cleanly "Alt+F4"
fi

e2e_finish
