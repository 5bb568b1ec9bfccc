#!/usr/bin/env bash
# The checks of the end-to-end scripts and of the test command fail when what they measure is missing:
# each case takes one cause away (Wine lists one monitor or none, a registry query fails or hangs, xdotool
# is missing or cannot look, a screenshot is empty, a desktop is left uncovered, a filter has no pass
# expression, a skip nobody expected) and shows the check failing with a message naming it. Stand-ins
# replace Wine, xdotool and the picture tools; the uncovered desktop is a real Xvfb screen. No Wine needed.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/lib.sh"
. "$e2e_root/scripts/test-lib.sh"

work=$(mktemp -d)
xvfb=""
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
E2E_WORK="$work"
E2E_TOOLS="${E2E_TOOLS:-$work}"

# A stand-in for wine: $WINE_DOES says what it does ("print:<text>", "fail", "hang", "absent"); a
# "reg add" does $WINE_ADD ("ok" or "fail").
mkdir -p "$work/bin"
cat >"$work/bin/wine" <<'SCRIPT'
#!/usr/bin/env bash
if [ "$1 $2" = "reg add" ]; then
  [ "${WINE_ADD:-ok}" = ok ] && exit 0
  echo "reg: Access denied" >&2
  exit 1
fi
case "$WINE_DOES" in
  print:*) printf '%s\r\n' "${WINE_DOES#print:}" ;;
  fail) echo "wine client error:24: write: Bad file descriptor" >&2; exit 1 ;;
  hang) exec sleep 60 ;;
  absent) echo "reg: Unable to find the specified registry key or value" >&2; exit 1 ;;
esac
SCRIPT
chmod +x "$work/bin/wine"
stand_in() { PATH="$work/bin:$PATH" "$@"; }
with_wine() {  # with_wine WHAT command...: the command (a function or a program) with the wine stand-in doing WHAT
  local does="$1"
  shift
  WINE_DOES="$does" PATH="$work/bin:$PATH" "$@"
}

# ---- 1. Several monitors: the count Wine reports comes first ----
two="1024x768+0+0,800x600+1024+0"
e2e_expect pass "Wine lists the stand-in's two monitors" with_wine "print:$two" e2e_expect_monitors "$two"
e2e_expect_failure "Wine sees one wide monitor (the stand-in Xinerama not taken)" "not the stand-in's 2" \
  with_wine "print:1824x768+0+0" e2e_expect_monitors "$two"
e2e_expect_failure "Wine starts but cannot list monitors" "monitors could not be listed" \
  with_wine fail e2e_expect_monitors "$two"
started=$SECONDS
e2e_expect_failure "the monitor list hangs" "exit code 124" \
  with_wine hang env E2E_TOOL_DEADLINE=1 bash -c ". '$here/lib.sh'; E2E_WORK='$work'; e2e_expect_monitors '$two'"
e2e_check "... and fails within its deadline ($((SECONDS - started)) s)" [ $((SECONDS - started)) -lt 20 ]
# The prefix edit that has Wine read Xinerama: one that cannot take fails the session's start.
mkdir -p "$work/prefix"
printf '[Software\\\\Wine\\\\X11 Driver] 1700000000\n"Managed"="N"\n\n' >"$work/prefix/user.reg"
e2e_expect pass "UseXRandR=N set beside Managed=N" wine_use_xinerama "$work/prefix"
e2e_check "... and written" grep -q '^"UseXRandR"="N"' "$work/prefix/user.reg"
printf '[Software\\\\Wine\\\\Drivers] 1700000000\n"Audio"=""\n\n' >"$work/prefix/user.reg"
e2e_expect_failure "a prefix without the X11 Driver key" "UseXRandR=N could not be set" wine_use_xinerama "$work/prefix"
# ... and the display change of the monitor-change script.
e2e_expect_failure "the display-change tool fails" "the display change to" with_wine fail e2e_change_monitors "$two"
e2e_expect_failure "the display-change tool lists nothing" "listed \"\"" with_wine "print:" e2e_change_monitors "$two"

# ---- 2. Every entry running a GoogleTest filter with a wildcard has a pass expression ----
# (the expression itself fails a filter that selected nothing: gtest_filter_selecting_nothing_fails)
filtered_without_pass_expression() {
  jq -r '.tests[] | select(any(.command[]?; test("^--gtest_filter=.*[*]")))
         | select(((.properties // []) | map(.name) | index("PASS_REGULAR_EXPRESSION")) | not) | .name' "$1"
}
no_filter_without_pass_expression() {
  local missing
  missing=$(filtered_without_pass_expression "$1") || { echo "e2e: the test list could not be read" >&2; return 1; }
  [ -z "$missing" ] || { echo "e2e: runs a GoogleTest filter without a pass expression: $missing" >&2; return 1; }
}
if ctest --test-dir "$E2E_TOOLS" --show-only=json-v1 >"$work/tests.json" 2>/dev/null &&
  [ "$(jq '[.tests[] | select(.name == "preview_at_144_dpi")] | length' "$work/tests.json")" = 1 ]; then
  e2e_expect pass "every filtered entry of this build has a pass expression" no_filter_without_pass_expression "$work/tests.json"
  jq '(.tests[] | select(.name == "preview_at_144_dpi") | .properties) |= map(select(.name != "PASS_REGULAR_EXPRESSION"))' \
    "$work/tests.json" >"$work/stripped.json"
  e2e_expect_failure "preview_at_144_dpi without its pass expression" \
    "without a pass expression: preview_at_144_dpi" no_filter_without_pass_expression "$work/stripped.json"
else
  e2e_fail "the Windows build's test list (ctest --test-dir $E2E_TOOLS) could not be read"
fi

# ---- 4, 5, 10. Registry answers: only Wine's own "not found" is absence ----
key='HKCU\Software\Korvan\Lumar'
value_is_empty() { local v; v=$(e2e_reg_value "$@"); [ -z "$v" ]; }
e2e_expect pass "an absent value reads as nothing" with_wine absent value_is_empty "$key" Pars
e2e_expect pass "... and as absent" with_wine absent e2e_reg_absent "$key" Pars
e2e_check "a present value reads as its data" \
  [ "$(with_wine "print:    Pars    REG_SZ    C:\\x y.scr" e2e_reg_value "$key" Pars 2>/dev/null)" = 'C:\x y.scr' ]
e2e_expect_failure "a registry query that fails is not \"nothing stored\"" "could not be read" \
  with_wine fail value_is_empty "$key" Pars
e2e_expect_failure "a failing query is not \"key absent\" (the entry in Apps gone, settings removed)" \
  "is absent is unknown" with_wine fail e2e_reg_absent "$key"
e2e_expect_failure "... nor \"value absent\" (nothing stored)" "is absent is unknown" \
  with_wine fail e2e_reg_absent "$key" Pars
e2e_expect_failure "a present key is not absent" "is there" with_wine "print:$key" e2e_reg_absent "$key"
started=$SECONDS
e2e_expect_failure "a registry query that times out" "timed out after 1 s" \
  with_wine hang env E2E_TOOL_DEADLINE=1 bash -c ". '$here/lib.sh'; E2E_WORK='$work'; e2e_reg_absent '$key'"
e2e_check "... and fails within its deadline ($((SECONDS - started)) s)" [ $((SECONDS - started)) -lt 30 ]
e2e_expect_failure "a value that cannot be set (the \"1000\" case would become \"no value\")" "reg add" \
  with_wine "print:    ScreenSaverIsSecure    REG_SZ    1000" env WINE_ADD=fail \
  bash -c ". '$here/lib.sh'; E2E_WORK='$work'; e2e_reg_set 'HKCU\\Control Panel\\Desktop' ScreenSaverIsSecure REG_SZ 1000; e2e_finish"
e2e_expect_failure "a value set that does not read back" "did not take" \
  with_wine absent bash -c ". '$here/lib.sh'; E2E_WORK='$work'; e2e_reg_set 'HKCU\\Control Panel\\Desktop' ScreenSaverIsSecure REG_SZ 1000; e2e_finish"

# ---- 9. The import table read, or the DLL check fails ----
echo "not a program" >"$work/not-a-program.exe"
e2e_expect_failure "objdump reads no DLL" "no imported DLL could be read" e2e_imported_dlls "$work/not-a-program.exe"
[ -f "$E2E_TOOLS/lumar.scr" ] && e2e_check "lumar.scr's imports are read" grep -qix kernel32.dll \
  <<<"$(e2e_imported_dlls "$E2E_TOOLS/lumar.scr")"

# ---- 10. "The configured picture" is the desktop picture's colours, not merely "not Sky" ----
e2e_desktop_picture "$work/desktop.png" 256x192
convert "$work/desktop.png" -swirl 60 "$work/rippled.png"
convert -size 256x192 xc:black "$work/black.png"
convert -size 256x192 xc:gray50 "$work/grey.png"
convert -size 256x192 gradient:'#80c0ff-#ffffff' "$work/sky.png"
e2e_expect pass "the desktop picture under ripples shows its colours" e2e_desktop_colours "$work/rippled.png" "$work/desktop.png"
for other in black grey sky none; do
  e2e_expect fail "a $other screen is not the configured desktop picture" \
    e2e_desktop_colours "$work/$other.png" "$work/desktop.png"
done

# ---- 11. A monitor left uncovered fails the flat surface's check (a real screen, no saver) ----
Xvfb -displayfd 3 -screen 0 1824x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
if [ -s "$work/display" ]; then
  export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
  e2e_desktop_picture "$work/base.png" 1024x768
  convert "$work/base.png" -resize '1824x768!' "$work/wide.png"
  e2e_expect pass "the desktop shows its picture" e2e_set_root "$work/wide.png"
  e2e_screenshot "$work/uncovered.png"
  convert "$work/uncovered.png" -crop 800x600+1024+0 +repage "$work/monitor2.png"
  convert "$work/wide.png" -crop 800x600+1024+0 +repage "$work/own.png"
  e2e_expect fail "monitor 2 left uncovered is not the saver's flat surface (difference $(e2e_difference "$work/monitor2.png" "$work/own.png"), bar $E2E_FLAT_SURFACE_BAR)" \
    e2e_not_the_desktop "$work/monitor2.png" "$work/own.png" "$E2E_FLAT_SURFACE_BAR"
  # A desktop picture that is never shown (its viewer fails).
  printf '#!/bin/sh\nexit 1\n' >"$work/bin/display"
  chmod +x "$work/bin/display"
  convert "$work/wide.png" -negate "$work/negative.png"
  e2e_expect_failure "a desktop picture that is never shown" "did not show its picture" \
    stand_in env E2E_ROOT_DEADLINE=2 bash -c ". '$here/lib.sh'; E2E_WORK='$work'; e2e_set_root '$work/negative.png'"
  rm -f "$work/bin/display"

  # ---- 13. "No window left" only from an xdotool that looked ----
  e2e_expect pass "no saver window on a screen without one" e2e_no_saver_window
  mkdir -p "$work/no-xdotool"
  for tool in timeout tr grep cat dirname head sleep; do ln -sf "$(command -v "$tool")" "$work/no-xdotool/$tool"; done
  e2e_expect_failure "xdotool missing: no window left?" "xdotool is missing" env PATH="$work/no-xdotool" \
    /bin/bash -c ". '$here/lib.sh' 2>/dev/null; E2E_WORK='$work'; e2e_no_saver_window"
  e2e_expect_failure "xdotool cannot reach the display" "xdotool search failed" env DISPLAY=:nowhere \
    bash -c ". '$here/lib.sh'; E2E_WORK='$work'; e2e_no_saver_window"
  e2e_check "... nor count the windows" [ "$(DISPLAY=:nowhere e2e_saver_window_count 2>/dev/null)" = unknown ]
  e2e_expect_failure "xdotool missing: waiting for a window" "xdotool is missing" env PATH="$work/no-xdotool" \
    /bin/bash -c ". '$here/lib.sh' 2>/dev/null; E2E_WORK='$work'; e2e_wait_window 30"
else
  e2e_fail "Xvfb did not start: the screen checks were not made"
fi

# ---- Bad input: an empty screenshot ----
printf '#!/bin/sh\nfor last; do :; done\n: >"$last"\n' >"$work/bin/import"
chmod +x "$work/bin/import"
e2e_expect_failure "an empty screenshot" "screenshot $work/empty.png failed" stand_in e2e_screenshot "$work/empty.png"
rm -f "$work/bin/import"

# ---- Load and order: processes of this session only, waits with deadlines ----
WINEPREFIX="$work/prefix-ours" bash -c 'exec -a "fake lumar.scr /p 1234" sleep 30' &
ours=$!
WINEPREFIX="$work/prefix-other" bash -c 'exec -a "fake lumar.scr /p 5678" sleep 30' &
other=$!
sleep 0.3
e2e_check "a preview is found among this session's processes only (ours $ours, another session's $other)" \
  [ "$(WINEPREFIX="$work/prefix-ours" e2e_session_pids 'lumar.scr"? /p')" = "$ours" ]
kill "$ours" "$other" 2>/dev/null
wait "$ours" "$other" 2>/dev/null
started=$SECONDS
e2e_expect_failure "a condition that never comes" "never: not within 2 s" e2e_wait_until never 2 false
e2e_check "... fails at its deadline ($((SECONDS - started)) s)" [ $((SECONDS - started)) -le 4 ]

# ---- 13. Skips: counted with their reasons; one the test command does not expect fails the run ----
cat >"$work/ctest.log" <<'LOG'
 1/3 Test  #1: FrameEngine.MatchesTheReferenceBitForBitOnRandomFrames ....***Skipped   0.40 sec
 2/3 Test  #2: RenderLargeScreen.DrawsAt3840x2160 ........................***Skipped   0.02 sec
 3/3 Test  #3: SaverMonitors.EveryMonitorDraws ...........................***Skipped   0.01 sec
 4/4 Test  #4: ErrorKinds/EveryCallFailsOnce.AndTheRunStaysSound/InvalidCall  # GetParam() = 4-byte object <02-00 00-00> ....   Passed  145.60 sec
LOG
cat >"$work/report.xml" <<'LOG'
	<testcase name="FrameEngine.MatchesTheReferenceBitForBitOnRandomFrames" classname="x" time="0.4" status="notrun">
		<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>
		<system-out>tests/wavefield/frame_engine_test.cpp:23: Skipped
AVX2 missing on this processor: its variant was not compared
</system-out>
	</testcase>
	<testcase name="RenderLargeScreen.DrawsAt3840x2160" classname="x" time="0.02" status="notrun">
		<system-out>../../tests/render/large_screen_win32_test.cpp(40): Skipped
the screen is 1024x768, not 3840x2160
</system-out>
	</testcase>
	<testcase name="SaverMonitors.EveryMonitorDraws" classname="x" time="0.01" status="notrun">
		<system-out></system-out>
	</testcase>
LOG
sed -i 's/\\r$/\r/' "$work/report.xml"
echo "flags : fpu sse2 avx avx2" >"$work/cpu-avx2"
echo "flags : fpu sse2" >"$work/cpu-sse2"
report() { LUMAR_CPU_FLAGS="$1" test_report_skips native "$work/ctest.log" "$work/report.xml"; }
e2e_check "the skips are listed with their reasons" grep -q 'RenderLargeScreen.DrawsAt3840x2160: the screen is 1024x768' \
  <<<"$(report "$work/cpu-sse2")"
e2e_check "... a skip without one says so" grep -q 'SaverMonitors.EveryMonitorDraws: no reason given' <<<"$(report "$work/cpu-sse2")"
report "$work/cpu-sse2" >/dev/null
e2e_check "a large-screen case and AVX2 without AVX2 are expected; an unexplained skip fails the run (1 unexpected)" [ $? = 1 ]
report "$work/cpu-avx2" >/dev/null
e2e_check "on a processor with AVX2 its skip fails the run too (2 unexpected)" [ $? = 2 ]
e2e_check "... named as unexpected" grep -q 'UNEXPECTED SKIP (native): FrameEngine' <<<"$(report "$work/cpu-avx2")"
e2e_check "test times read from CTest's output" [ "$(test_times native "$work/ctest.log" | head -n 1)" = \
  "0.40 native:FrameEngine.MatchesTheReferenceBitForBitOnRandomFrames Skipped" ]
e2e_check "... a parameterised test's too" [ "$(test_times native "$work/ctest.log" | tail -n 1)" = \
  "145.60 native:ErrorKinds/EveryCallFailsOnce.AndTheRunStaysSound/InvalidCall Passed" ]

e2e_finish
