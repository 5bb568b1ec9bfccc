#!/usr/bin/env bash
# Full-screen runs on a desktop of several monitors (one wide Xvfb screen that our stand-in Xinerama
# library splits into heads): every monitor shows the liquid at once and keeps moving, each monitor with
# the Desktop picture shows its own part of the desktop, and input on a monitor other than the primary
# ends the run as input on the primary does.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

export LUMAR_XINERAMA_LIB="$E2E_TOOLS/xinerama"

# A session of the given screen size whose monitors are the heads "WxH+X+Y,...", the first the primary;
# the desktop shows e2e_desktop_picture stretched over the whole screen ($desktop).
begin_monitors() {
  export LUMAR_XINERAMA_HEADS="$1"
  e2e_begin "$2x24"
  desktop="$E2E_WORK/desktop.png"
  # The usual desktop picture stretched over the whole width (drawn wide, its pattern would be too large).
  e2e_desktop_picture "$E2E_WORK/base.png" 1024x768
  convert "$E2E_WORK/base.png" -resize "$2!" "$desktop"
  # Shapes of their own on the other monitors, so that each part of the desktop is told from the others.
  mogrify -fill '#2040c0' -draw "rectangle 1100,80 1300,330" -fill '#f0f0f0' -draw "circle 1600,420 1700,470" \
    -fill '#103010' -draw "rectangle 1400,100 1750,160" -fill '#e02080' -draw "circle 2100,300 2200,380" "$desktop"
  e2e_set_root "$desktop"
  IFS=, read -r -a heads <<<"$1"
  # With the stand-in not taken Wine sees one wide monitor, over which every check here would pass.
  e2e_expect_monitors "$1" || e2e_finish
}

# Geometry of head $1 (0 = primary) as W H X Y.
head_geometry() { sed 's/[x+]/ /g' <<<"${heads[$1]}"; }

# The part of picture $1 that head $2 covers, into $3.
crop_head() {
  local w h x y
  read -r w h x y < <(head_geometry "$2")
  convert "$1" -crop "${w}x${h}+${x}+${y}" +repage "$3"
}


saver_running() { wine "$E2E_TOOLS/saver_running_tool.exe" 2>/dev/null | tr -d '\r'; }

# The run ended cleanly and the system no longer thinks a saver runs.
ended() {
  e2e_ended_cleanly "$1"
  e2e_check "$1: the screen-saver-running setting is back to 0" [ "$(saver_running)" = 0 ]
}

# Within 5 s of the start every tile of every monitor differs from the desktop (the Sky picture is
# stored, so a monitor left uncovered would match the desktop there), and each monitor's picture
# changes from one second to the next.
check_every_monitor_covered() {
  local i least moved
  e2e_store_preset 0 2 || return
  e2e_start /s
  sleep 5
  e2e_screenshot "$E2E_WORK/five.png"
  sleep 1
  e2e_screenshot "$E2E_WORK/six.png"
  e2e_check "the saver says it runs" [ "$(saver_running)" = 1 ]
  for i in "${!heads[@]}"; do
    crop_head "$E2E_WORK/five.png" "$i" "$E2E_WORK/m.png"
    crop_head "$E2E_WORK/six.png" "$i" "$E2E_WORK/n.png"
    crop_head "$desktop" "$i" "$E2E_WORK/d.png"
    least=$(e2e_least_tile_difference "$E2E_WORK/m.png" "$E2E_WORK/d.png")
    e2e_check "monitor $((i + 1)) (${heads[$i]}): no part shows the desktop 5 s after the start (least tile difference $least)" \
      e2e_greater "$least" 0.03
    moved=$(e2e_difference "$E2E_WORK/m.png" "$E2E_WORK/n.png")
    e2e_check "monitor $((i + 1)): the picture moves within a second (difference $moved)" e2e_greater "$moved" 0.0005
  done
  xdotool key space
  ended "a key after the coverage check"
  wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
}

# With a flat surface over the Desktop picture, monitor 2 shows its own part of the desktop, not the
# primary's top-left corner (where a capture from the desktop's origin would come from).
check_own_part_of_desktop() {
  local w h likeness control
  e2e_store_preset 14 0 flat || return
  e2e_start_saver /s || return
  e2e_screenshot "$E2E_WORK/flat.png"
  crop_head "$E2E_WORK/flat.png" 1 "$E2E_WORK/m.png"
  crop_head "$desktop" 1 "$E2E_WORK/own.png"
  read -r w h < <(identify -format '%w %h' "$E2E_WORK/m.png")
  convert "$desktop" -crop "${w}x${h}+0+0" +repage "$E2E_WORK/corner.png"
  likeness=$(e2e_correlation "$E2E_WORK/own.png" "$E2E_WORK/m.png")
  control=$(e2e_correlation "$E2E_WORK/corner.png" "$E2E_WORK/m.png")
  e2e_check "monitor 2 shows its own part of the desktop (correlation $likeness, the primary's corner $control)" \
    e2e_numbers 'a > 0.8 && a > c + 0.3' a="$likeness" c="$control"
  # A flat surface shows the picture barely changed (see E2E_FLAT_SURFACE_BAR).
  e2e_check "monitor 2 shows the saver's surface, not its part of the desktop uncovered (difference $(e2e_difference "$E2E_WORK/own.png" "$E2E_WORK/m.png"), bar $E2E_FLAT_SURFACE_BAR)" \
    e2e_not_the_desktop "$E2E_WORK/m.png" "$E2E_WORK/own.png" "$E2E_FLAT_SURFACE_BAR"
  xdotool mousemove "$1" "$2" click 1
  ended "a click on monitor 2"
  wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
}

# Five mouse positions over monitor 2 leave the saver running (the first message at the pointer's place
# counts as one), the sixth ends it: the count runs over all the saver's windows together.
check_six_moves_on_monitor_2() {
  local x="$1" y="$2"
  xdotool mousemove "$x" "$y"
  e2e_start_saver /s || return
  xdotool mousemove "$x" "$y"; sleep 0.3  # the same place: not a move
  xdotool mousemove $((x + 20)) $((y + 10)); sleep 0.3
  xdotool mousemove $((x + 40)) $((y + 20)); sleep 0.3
  xdotool mousemove $((x + 60)) $((y + 30)); sleep 0.3
  xdotool mousemove $((x + 80)) $((y + 40)); sleep 0.5
  e2e_check "still running after five positions over monitor 2" e2e_still_running
  xdotool mousemove $((x + 100)) $((y + 50))
  ended "the sixth mouse position over monitor 2"
}

check_key_on_monitor_2() {
  xdotool mousemove "$1" "$2"
  e2e_start_saver /s || return
  sleep 0.5
  xdotool key Return
  ended "a key with the pointer over monitor 2"
}

# Two monitors of different sizes: the primary and a smaller one to its right.
begin_monitors "1024x768+0+0,800x600+1024+0" 1824x768
check_every_monitor_covered
check_six_moves_on_monitor_2 1200 200
check_key_on_monitor_2 1300 300
check_own_part_of_desktop 1400 300
e2e_end

# Three monitors, the third lower than the others' tops.
begin_monitors "1024x768+0+0,800x600+1024+0,640x480+1824+128" 2464x768
check_every_monitor_covered
check_six_moves_on_monitor_2 1100 100
e2e_end

e2e_finish
