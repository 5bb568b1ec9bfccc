#!/usr/bin/env bash
# scripts/gallery as a smoke case: one preset's still and a short animation, taken from lumar.scr, are
# pictures of the saver at the documentation's sizes (not the desktop alone, not a black screen).
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! "$e2e_root/scripts/gallery" --smoke "$out" >"$out/gallery.log" 2>&1; then
  cat "$out/gallery.log" >&2
  e2e_fail "scripts/gallery --smoke failed"
fi

still="$out/clipping.jpg"
e2e_check "a still of the default look, 480x360" [ "$(identify -format '%wx%h' "$still" 2>/dev/null)" = 480x360 ]
mean=$(identify -format '%[fx:mean]' "$still" 2>/dev/null || echo 0)
e2e_check "the still is not black (mean $mean)" e2e_greater "$mean" 0.1
E2E_WORK="$out"
desktop="$e2e_root/docs/gallery/desktop.jpg"
convert "$desktop" -resize 480x360 "$out/desktop-small.png"
moved=$(e2e_difference "$out/desktop-small.png" "$still")
e2e_check "the still is the saver's, not the desktop alone (difference $moved)" e2e_greater "$moved" 0.05

frames=$(identify -format '%Wx%H\n' "$out/lumar.gif" 2>/dev/null)
e2e_check "an animation at 320x240" [ "$(sort -u <<<"$frames")" = 320x240 ]
e2e_check "... 4 frames ($(wc -l <<<"$frames"))" [ "$(wc -l <<<"$frames")" = 4 ]
first_last=$(convert "$out/lumar.gif" -coalesce "$out/frame-%d.png" && e2e_difference "$out/frame-0.png" "$out/frame-3.png")
e2e_check "the animation moves (difference $first_last)" e2e_greater "$first_last" 0.001

e2e_finish
