#!/usr/bin/env bash
# Monitors that change while a full-screen run goes on: the stand-in Xinerama library reads its heads from a
# file at every query, a small tool of ours makes Wine take the monitor list again (a display settings
# change with no mode, then WM_DISPLAYCHANGE to every window), and the saver must follow: a monitor added
# is covered within a second and its picture moves; a monitor removed loses its window (where Wine lists
# fewer monitors again: Wine 8 does not); the run still ends cleanly with exit code 0.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

export LUMAR_XINERAMA_LIB="$E2E_TOOLS/xinerama"
two="1024x768+0+0,800x600+1024+0"
three="1024x768+0+0,800x600+1024+0,640x480+1824+128"
export LUMAR_XINERAMA_HEADS="$two"
e2e_begin 2464x768x24
export LUMAR_XINERAMA_HEADS_FILE="$E2E_WORK/heads"
echo "$two" >"$LUMAR_XINERAMA_HEADS_FILE"

desktop="$E2E_WORK/desktop.png"
e2e_desktop_picture "$E2E_WORK/base.png" 1024x768
convert "$E2E_WORK/base.png" -resize '2464x768!' "$desktop"
e2e_set_root "$desktop"

# The part of picture $1 at W H X Y ($2..$5), into $6.
crop() { convert "$1" -crop "${2}x${3}+${4}+${5}" +repage "$6"; }


# Changes the heads to $1 and has Wine take them; what Wine lists then is in $listed.
change_heads() {
  echo "$1" >"$LUMAR_XINERAMA_HEADS_FILE"
  listed=$(wine "$E2E_TOOLS/display_change_tool.exe" 2>>"$E2E_WORK/tool.err" | tr -d '\r')
}

saver_windows() { xdotool search --onlyvisible --name '^Lumar$' 2>/dev/null | wc -l; }

# The Sky picture: a monitor left uncovered would show the desktop unchanged.
e2e_store_preset 0 2 || { e2e_finish; exit; }
e2e_start_saver /s || { e2e_finish; exit; }
e2e_check "two saver windows at the start (got $(saver_windows))" [ "$(saver_windows)" = 2 ]

change_heads "$three"
e2e_check "Wine lists the added monitor (listed \"$listed\")" [ "$listed" = "$three" ]
sleep 1
e2e_screenshot "$E2E_WORK/added-a.png"
sleep 0.5
e2e_screenshot "$E2E_WORK/added-b.png"
crop "$E2E_WORK/added-a.png" 640 480 1824 128 "$E2E_WORK/m.png"
crop "$E2E_WORK/added-b.png" 640 480 1824 128 "$E2E_WORK/n.png"
crop "$desktop" 640 480 1824 128 "$E2E_WORK/d.png"
least=$(e2e_least_tile_difference "$E2E_WORK/m.png" "$E2E_WORK/d.png")
e2e_check "the added monitor is covered within a second (least tile difference $least)" e2e_greater "$least" 0.03
moved=$(e2e_difference "$E2E_WORK/m.png" "$E2E_WORK/n.png")
e2e_check "the added monitor's picture moves (difference $moved)" e2e_greater "$moved" 0.0005
e2e_check "three saver windows (got $(saver_windows))" [ "$(saver_windows)" = 3 ]

# Wine 8 takes a longer monitor list after the settings change but keeps its old list when heads are taken
# away or resized (EnumDisplayMonitors in every process still lists the three). Where Wine does list the
# smaller set, the window must be gone; where it does not, the saver must simply go on.
change_heads "$two"
sleep 1
if [ "$listed" = "$two" ]; then
  e2e_check "the removed monitor's window is gone (windows: $(saver_windows))" [ "$(saver_windows)" = 2 ]
else
  e2e_log "Wine kept its monitor list after a head was removed (listed \"$listed\"): removal is covered in-process"
fi
e2e_check "the saver still runs" [ "$(e2e_wait_exit 0)" = running ]

xdotool mousemove 500 400
xdotool key space
e2e_ended_cleanly "a key after the monitors changed"
e2e_end
e2e_finish
