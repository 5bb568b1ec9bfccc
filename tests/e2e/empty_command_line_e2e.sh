#!/usr/bin/env bash
# lumar.scr started with no arguments at all, as Windows' "Configure" (right-click the file) starts a
# saver: it opens the configuration dialog, not the full-screen saver; "/s" still runs full screen.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin_with_desktop
screen_size=1024x768

# No arguments: a window titled Lumar of the dialog's size (wider than high, far from full screen) that
# shows its controls; Escape closes it with exit code 0 and nothing is stored.
wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
e2e_start
if dialog=$(e2e_wait_window 30) && e2e_wait_geometry "$dialog" 10; then
  e2e_check "no arguments: a dialog-sized window (${WIDTH}x${HEIGHT}), not the full screen" \
    awk -v w="$WIDTH" -v h="$HEIGHT" 'BEGIN { r = w / h; exit !(w > 400 && w < 1000 && r > 1.2 && r < 1.6) }'
  e2e_screenshot "$E2E_WORK/screen.png"
  convert "$E2E_WORK/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$E2E_WORK/dialog.png"
  colours=$(identify -format '%k' "$E2E_WORK/dialog.png" 2>/dev/null || echo 0)
  e2e_check "no arguments: the dialog shows its controls ($colours colours)" [ "$colours" -gt 16 ]
  xdotool windowfocus "$dialog" 2>/dev/null
  xdotool key Escape
  e2e_ended_cleanly "no arguments, closed with Escape"
  e2e_check "no arguments, Escape: nothing stored" e2e_reg_absent 'HKCU\Software\Korvan\Lumar' Pars
else
  e2e_fail "no arguments: no window titled Lumar ($(tail -n 3 "$E2E_WORK/saver.out"))"
  e2e_kill_wine
fi

# "/s": a window over the whole screen that draws moving ripples; a key ends it.
if e2e_start_saver /s; then
  window=$(e2e_wait_window 5)
  eval "$(xdotool getwindowgeometry --shell "$window")"
  e2e_check "'/s': the window covers the screen (${WIDTH}x${HEIGHT})" [ "${WIDTH}x${HEIGHT}" = "$screen_size" ]
  e2e_screenshot "$E2E_WORK/a.png"
  sleep 1
  e2e_screenshot "$E2E_WORK/b.png"
  moved=$(e2e_difference "$E2E_WORK/a.png" "$E2E_WORK/b.png")
  e2e_check "'/s': the picture moves (difference $moved)" e2e_greater "$moved" 0.001
  xdotool key space
  e2e_ended_cleanly "'/s' ended by a key"
fi

e2e_finish
