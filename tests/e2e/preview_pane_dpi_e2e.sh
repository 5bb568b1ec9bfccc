#!/usr/bin/env bash
# The configuration dialog with its preview pane on a 1920 x 1080 desktop scaled to 150 % (144 dpi): the
# dialog keeps its scaled size, the pane stands against its right edge without covering it, both lie
# on the screen, and the pane draws. With E2E_PANE_SHOT set, the dialog and its pane are saved there
# (the guide's picture).
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

export LUMAR_LOG_PIXELS=144
e2e_begin 1920x1080x24
e2e_desktop_picture "$E2E_WORK/desktop.png" 1920x1080
e2e_set_root "$E2E_WORK/desktop.png"

e2e_start /c
dialog=$(e2e_wait_window 30) || { e2e_fail "/c: no dialog ($(tail -n 3 "$E2E_WORK/saver.out"))"; e2e_finish; }
sleep 3
eval "$(xdotool getwindowgeometry --shell "$dialog")"
dialog_x=$X dialog_y=$Y dialog_w=$WIDTH dialog_h=$HEIGHT
e2e_check "the dialog at 144 dpi is ${dialog_w}x${dialog_h}, at least 1.4 times its size at 96 dpi" \
  e2e_numbers 'w >= 1.4 * 640 && h >= 1.4 * 430' w="$dialog_w" h="$dialog_h"

pane=""
for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
  eval "$(xdotool getwindowgeometry --shell "$id")"
  if [ "$X" = $((dialog_x + dialog_w)) ] && [ "$Y" = "$dialog_y" ] && [ "$WIDTH" -gt 100 ]; then
    pane="${WIDTH}x${HEIGHT}+${X}+${Y}" pane_w=$WIDTH pane_h=$HEIGHT
  fi
done
e2e_check "the pane stands against the dialog's right edge ($pane)" [ -n "$pane" ]
[ -n "$pane" ] || { e2e_kill_wine; e2e_finish; }
e2e_check "the pane is scaled too (${pane_w} pixels wide) and no higher than the dialog" \
  e2e_numbers 'w >= 1.4 * 280 && h <= d' w="$pane_w" h="$pane_h" d="$dialog_h"
e2e_check "the dialog and its pane lie on the screen" \
  e2e_numbers 'l >= 0 && r <= 1920 && t >= 0 && b <= 1080' l="$dialog_x" r=$((dialog_x + dialog_w + pane_w)) \
  t="$dialog_y" b=$((dialog_y + dialog_h))
e2e_screenshot "$E2E_WORK/screen.png"
convert "$E2E_WORK/screen.png" -crop "$pane" +repage "$E2E_WORK/pane.png"
colours=$(identify -format '%k' "$E2E_WORK/pane.png")
e2e_check "the pane draws a picture ($colours colours)" [ "$colours" -gt 200 ]
if [ -n "${E2E_PANE_SHOT:-}" ]; then
  convert "$E2E_WORK/screen.png" -crop "$((dialog_w + pane_w))x${dialog_h}+${dialog_x}+${dialog_y}" +repage \
    "$E2E_PANE_SHOT"
fi
wine "$E2E_TOOLS/dialog_probe_tool.exe" cancel >/dev/null 2>&1
e2e_ended_cleanly "Cancel at 144 dpi"
e2e_finish
