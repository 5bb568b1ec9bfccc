#!/usr/bin/env bash
# Configure mode of lumar.scr, started the way the display control panel starts it: every spelling of
# "configure" opens the configuration dialog; Escape and Cancel close it with exit code 0 and store
# nothing; OK stores the settings record.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin 1024x768x24

settings_key='HKCU\Software\Korvan\Lumar'
record_bytes=1488
# The dialog template's size in dialog units, and its buttons (left, top, width, height).
dialog_units_wide=383
ok_button=(327 228 50 14)
cancel_button=(327 244 50 14)

forget_settings() { wine reg delete "$settings_key" /f >/dev/null 2>&1; }

# The stored "Pars" value as hex digits, or nothing; "<unread: ...>" when the query failed.
stored_record() { e2e_reg_value "$settings_key" Pars; }
# Nothing stored: Wine answers that there is no "Pars" (a query that failed is no answer).
nothing_stored() { e2e_reg_absent "$settings_key" Pars; }

# Opens the dialog with "$@"; sets dialog (X id) and its geometry X Y WIDTH HEIGHT.
open_dialog() {
  e2e_start "$@"
  dialog=$(e2e_wait_window 30) || {
    e2e_fail "'$*': no window titled Lumar ($(tail -n 3 "$E2E_WORK/saver.out"))"
    e2e_kill_wine
    return 1
  }
  e2e_wait_geometry "$dialog" 10 || { e2e_fail "'$*': the dialog's geometry never settled"; e2e_kill_wine; return 1; }
}

# The dialog's look: its size is the template's (wider than high, far from full screen), and its face
# shows the controls (many colours, not a plain panel).
check_dialog() {
  local what="$1" colours
  e2e_check "$what: a dialog-sized window (${WIDTH}x${HEIGHT})" \
    e2e_numbers 'w > 400 && w < 1000 && w / h > 1.2 && w / h < 1.6' w="$WIDTH" h="$HEIGHT"
  e2e_screenshot "$E2E_WORK/screen.png"
  convert "$E2E_WORK/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$E2E_WORK/dialog.png"
  colours=$(identify -format '%k' "$E2E_WORK/dialog.png")
  e2e_check "$what: the dialog shows its controls ($colours colours)" [ "$colours" -gt 16 ]
}

# Clicks the centre of a button given in dialog units: the client area is the window less a thin frame
# at the sides and bottom and the caption at the top, scaled evenly.
click_button() {
  local left="$1" top="$2" wide="$3" high="$4"
  local frame=3 scale client_high x y
  scale=$(awk -v w="$WIDTH" -v f="$frame" -v u="$dialog_units_wide" 'BEGIN { print (w - 2 * f) / u }')
  client_high=$(awk -v s="$scale" 'BEGIN { print 260 * s }')
  x=$(awk -v X="$X" -v f="$frame" -v s="$scale" -v l="$left" -v c="$wide" 'BEGIN { printf "%d", X + f + (l + c / 2) * s }')
  y=$(awk -v Y="$Y" -v H="$HEIGHT" -v f="$frame" -v ch="$client_high" -v s="$scale" -v t="$top" -v c="$high" \
    'BEGIN { printf "%d", Y + H - f - ch + (t + c / 2) * s }')
  xdotool mousemove "$x" "$y" click 1
}

# Every spelling opens the dialog; Escape or Cancel closes it and stores nothing.
close_with=(escape cancel escape cancel)
i=0
for arguments in "/c" "-C" "c" "/c:1234"; do
  how=${close_with[$i]}
  i=$((i + 1))
  forget_settings
  open_dialog "$arguments" || continue
  check_dialog "'$arguments'"
  if [ "$how" = escape ]; then
    xdotool windowfocus "$dialog" 2>/dev/null
    xdotool key Escape
  else
    click_button "${cancel_button[@]}"
  fi
  e2e_ended_cleanly "'$arguments' closed with $how"
  e2e_check "'$arguments' closed with $how: nothing stored" nothing_stored
done

# OK stores the whole record, and the next dialog opens over it and stores it again unchanged.
forget_settings
if open_dialog /c; then
  e2e_screenshot "$E2E_WORK/dialog-screen.png"
  click_button "${ok_button[@]}"
  e2e_ended_cleanly "'/c' closed with OK"
  record=$(stored_record)
  e2e_check "OK stored \"Pars\" with the whole record (${#record} hex digits)" [ "${#record}" = $((record_bytes * 2)) ]
  if open_dialog /c; then
    xdotool windowfocus "$dialog" 2>/dev/null
    xdotool key Return
    e2e_ended_cleanly "'/c' closed with Return (OK)"
    e2e_check "a second OK stores the same record" [ "$(stored_record)" = "$record" ]
  fi
fi

e2e_finish
