#!/usr/bin/env bash
# The saver on a desktop scaled to 150 % (144 dpi): it photographs the desktop at its full pixel size
# (a program the system took for unaware of the scale would see a 683 x 512 desktop and show its top-left
# two thirds stretched), and the configuration dialog grows with the scale.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

export LUMAR_LOG_PIXELS=144
e2e_begin_with_desktop

# A flat surface over the Desktop picture shows the whole desktop, not a part of it blown up.
if e2e_store_preset 14 0 flat; then
  e2e_start /s
  if e2e_wait_window 30 >/dev/null && e2e_wait_drawn 30; then
    e2e_screenshot "$E2E_WORK/saver.png"
    convert "$desktop" -crop 683x512+0+0 +repage -resize '1024x768!' "$E2E_WORK/part.png"
    likeness=$(e2e_correlation "$desktop" "$E2E_WORK/saver.png")
    control=$(e2e_correlation "$E2E_WORK/part.png" "$E2E_WORK/saver.png")
    e2e_check "at 144 dpi the saver shows the whole desktop (correlation $likeness, its top-left two thirds $control)" \
      e2e_numbers 'a > 0.9 && a > c + 0.15' a="$likeness" c="$control"
    # An uncovered desktop would pass the likeness too; the saver's lit surface is never the desktop itself.
    e2e_check "at 144 dpi it is the saver's surface, not the desktop left uncovered (difference $(e2e_difference "$desktop" "$E2E_WORK/saver.png"))" \
      e2e_not_the_desktop "$E2E_WORK/saver.png" "$desktop"
  else
    e2e_fail "the saver did not draw at 144 dpi"
  fi
  xdotool key space
  e2e_ended_cleanly "the saver at 144 dpi"
  wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
fi

# The dialog at 150 %: half as large again as its 383 x 260 dialog units at 96 dpi (about 640 x 430
# pixels with its frame), so every control and text is scaled with it.
e2e_start /c
if id=$(e2e_wait_window 30); then
  sleep 1
  read -r width height < <(xwininfo -id "$id" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
  e2e_check "the dialog at 144 dpi is ${width}x${height}, at least 1.4 times its size at 96 dpi" \
    e2e_numbers 'w >= 1.4 * 640 && h >= 1.4 * 430' w="$width" h="$height"
  [ -n "${E2E_DIALOG_SHOT:-}" ] && import -window "$id" "$E2E_DIALOG_SHOT"
  xdotool key Escape
else
  e2e_fail "no dialog at 144 dpi"
fi
e2e_ended_cleanly "the dialog at 144 dpi"

e2e_finish
