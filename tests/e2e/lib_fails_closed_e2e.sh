#!/usr/bin/env bash
# The checks of the end-to-end library fail when what they measure is missing: a tool that fails or prints
# something other than a number, a screenshot that cannot be taken, a picture that is black or absent, a
# process that has died. Each case takes one input away from a check that passes with it. No Wine needed.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/lib.sh"

E2E_WORK=$(mktemp -d)
trap 'rm -rf "$E2E_WORK"' EXIT
work="$E2E_WORK"

outcome() { e2e_outcome "$@"; }
expect() { e2e_expect "$@"; }

# Numbers: what the picture tools print when they fail is no number, and fails every comparison.
while IFS='|' read -r a b want; do
  expect "$want" "e2e_greater '$a' '$b'" e2e_greater "$a" "$b"
done <<'TABLE'
0.5|0.1|pass
1e-3|0|pass
0.1|0.5|fail
|0|fail
error|0|fail
compare:|0|fail
0|error|fail
nan|0|fail
0.5 0.1|0|fail
TABLE
expect pass "a condition over numbers" e2e_numbers 'a > 0.8 && a > c + 0.3' a=0.95 c=0.2
expect fail "a condition with a value missing" e2e_numbers 'a > 0.8 && a > c + 0.3' a=0.95 c=
expect fail "a condition with a tool's error text" e2e_numbers 'w >= 896' w=compare: h=700

# Pictures: two that differ, one black, one missing.
convert -size 64x48 gradient:'#204080-#e0a040' "$work/a.png"
convert -size 64x48 gradient:'#e0a040-#204080' "$work/b.png"
convert -size 64x48 xc:black "$work/black.png"
expect pass "two different pictures differ" e2e_greater "$(e2e_difference "$work/a.png" "$work/b.png")" 0.01
expect fail "... and a missing one does not" e2e_greater "$(e2e_difference "$work/a.png" "$work/none.png")" 0.01
expect pass "a picture correlates with itself" e2e_greater "$(e2e_correlation "$work/a.png" "$work/a.png")" 0.9
expect fail "... a missing one does not" e2e_greater "$(e2e_correlation "$work/none.png" "$work/a.png")" 0.9
# Tiles of 64x64 need pictures of a few tiles.
convert -size 256x192 xc:gray "$work/gray.png"
convert -size 256x192 xc:white "$work/white.png"
expect pass "every tile of two different pictures differs" \
  e2e_greater "$(e2e_least_tile_difference "$work/gray.png" "$work/white.png")" 0.01
expect fail "... a missing picture covers nothing" \
  e2e_greater "$(e2e_least_tile_difference "$work/none.png" "$work/a.png")" 0.01
expect fail "... nor does a missing one anti-correlate" e2e_greater 0.9 "$(e2e_correlation "$work/none.png" "$work/a.png")"
expect pass "a picture shows something" e2e_shows_picture "$work/a.png"
expect fail "... a black one does not" e2e_shows_picture "$work/black.png"
expect fail "... a missing one does not" e2e_shows_picture "$work/none.png"
expect pass "a different picture is not the desktop" e2e_not_the_desktop "$work/b.png" "$work/a.png"
expect fail "... the desktop itself is" e2e_not_the_desktop "$work/a.png" "$work/a.png"
expect fail "... a missing screenshot is not the saver's" e2e_not_the_desktop "$work/none.png" "$work/a.png"

# Screenshots: a grab that fails is a failed check, even when the caller does not look at the result.
mkdir -p "$work/bin"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/import"
chmod +x "$work/bin/import"
expect fail "a screenshot that cannot be taken" env PATH="$work/bin:$PATH" E2E_WORK="$work" bash -c \
  ". '$here/lib.sh'; e2e_screenshot '$work/shot.png'"
before=$e2e_failures
PATH="$work/bin:$PATH" e2e_screenshot "$work/shot.png" >/dev/null 2>&1 || true
counted=$((e2e_failures - before))
e2e_failures=$before
e2e_check "... and counts as a failed check even where its result is ignored" [ "$counted" = 1 ]

# Processes: CPU time of a process that is gone is no number, so "it stands still" cannot pass.
sleep 30 &
alive=$!
expect pass "a live idle process stands still" e2e_greater 150 "$(e2e_cpu_over "$alive" 1)"
kill "$alive"
wait "$alive" 2>/dev/null
expect fail "... a dead one is not standing still" e2e_greater 150 "$(e2e_cpu_over "$alive" 1)"
# "Still running" of a saver whose process has ended.
true &
E2E_PID=$!
wait "$E2E_PID"
expect fail "a saver whose process ended is not still running" e2e_still_running
echo 0 >"$work/exit"
expect fail "a saver that wrote its exit code is not still running" e2e_still_running

e2e_finish
