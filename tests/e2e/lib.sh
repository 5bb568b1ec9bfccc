# End-to-end helpers: run lumar.scr under Wine on a private Xvfb, the way Windows starts a saver, and look
# at it from outside (screenshots, xdotool input, exit codes, the registry).
# Usage: . lib.sh; e2e_begin 1024x768x24; ...; (cleanup runs on exit)

e2e_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
e2e_root="$(cd "$e2e_here/../.." && pwd)"
. "$e2e_root/scripts/wine-lib.sh"

E2E_SCR="${E2E_SCR:-$e2e_root/build/windows/lumar.scr}"
e2e_failures=0

e2e_log() { echo "e2e: $*"; }
e2e_fail() {
  echo "e2e FAIL: $*" >&2
  e2e_failures=$((e2e_failures + 1))
}
e2e_check() {  # e2e_check "what" command...
  local what="$1"
  shift
  if "$@"; then e2e_log "ok: $what"; else e2e_fail "$what"; fi
}

# A session of our own: Xvfb of the given size, a prefix cloned from the template, a warm wineserver.
e2e_begin() {
  local screen="${1:-1024x768x24}"
  mkdir -p "$wine_root"
  E2E_DIR=$(mktemp -d "$wine_root/e2e-XXXXXX")
  trap 'e2e_end' EXIT
  wine_session_start "$E2E_DIR/session" "$screen" || { echo "e2e: no session" >&2; exit 1; }
  E2E_WORK="$E2E_DIR/work"
  mkdir -p "$E2E_WORK"
}

# Runs as the exit trap, also in scripts with `set -e`: no step may fail, or the steps after it would be
# skipped (leaving Xvfb and the wineserver behind) and the script's exit code changed.
e2e_end() {
  [ -n "${E2E_DIR:-}" ] || return 0
  if [ -n "${E2E_ROOT_PID:-}" ]; then
    kill "$E2E_ROOT_PID" 2>/dev/null || true
    E2E_ROOT_PID=""
  fi
  wine_session_stop "$E2E_DIR/session"
  rm -rf "$E2E_DIR"
  E2E_DIR=""
}

# A deterministic desktop picture with detail everywhere: a colour gradient under a checker pattern, and a
# few shapes in strong colours.
e2e_desktop_picture() {
  local out="$1" size="$2"
  convert -size "$size" gradient:'#204080-#e0a040' \
    \( -size "$size" pattern:checkerboard -scale 800% -alpha set -channel A -evaluate set 35% \) \
    -compose over -composite \
    -fill '#c02020' -draw "rectangle 60,60 360,260" -fill '#20a040' -draw "circle 700,400 800,450" \
    -fill white -draw "rectangle 80,560 600,620" -fill '#101010' -draw "ellipse 880,160 90,60 0,360" \
    "$out"
}

# Shows a picture on the root window (the desktop the saver photographs) and waits, up to
# E2E_ROOT_DEADLINE seconds (15), until a screenshot shows it there: a desktop that never shows its
# picture is a failed check.
e2e_set_root() {
  local i difference=none shot="$E2E_WORK/root-check.png" limit="${E2E_ROOT_DEADLINE:-15}"
  # The viewer sets the root window's picture and ends (with exit code 1 at times, the picture shown: what
  # counts is the screenshot below, also in scripts with `set -e`).
  timeout -k 2 "$limit" display -window root "$1" >/dev/null 2>&1 || true
  for ((i = 0; i < limit * 10; i++)); do
    if import -window root "$shot" 2>/dev/null; then
      difference=$(e2e_difference "$shot" "$1")
      e2e_greater 0.01 "$difference" 2>/dev/null && return 0
    fi
    sleep 0.1
  done
  e2e_fail "the desktop did not show its picture $1 within $limit s (mean difference $difference)"
  return 1
}

# A screenshot of the whole screen; a grab that fails or gives an unreadable file is taken again.
e2e_screenshot() {
  local try
  for try in 1 2 3 4 5; do
    rm -f "$1"
    if import -window root "$1" 2>>"$E2E_WORK/screenshot.err" && identify "$1" >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.2
  done
  # A picture check without its picture cannot pass: the failure counts against the script.
  e2e_fail "screenshot $1 failed: $(tail -n 2 "$E2E_WORK/screenshot.err" 2>/dev/null)"
  return 1
}

# Starts lumar.scr with the given arguments in the background; its pid is E2E_PID. Its exit code is
# written to $E2E_WORK/exit when it ends.
e2e_start() {
  rm -f "$E2E_WORK/exit"
  # What earlier runs printed is kept for the report of a failure (a Wine fault shows there).
  [ -f "$E2E_WORK/saver.out" ] && cat "$E2E_WORK/saver.out" >>"$E2E_WORK/earlier-runs.log"
  (
    cd "$(dirname "$E2E_SCR")" || exit 1
    wine "$E2E_SCR" "$@"
    echo $? >"$E2E_WORK/exit.tmp" && mv "$E2E_WORK/exit.tmp" "$E2E_WORK/exit"
  ) >"$E2E_WORK/saver.out" 2>&1 &
  E2E_PID=$!
}

# Waits up to $1 seconds for the saver to end; prints its exit code, or "running".
e2e_wait_exit() {
  local limit="$1" i
  for ((i = 0; i <= limit * 10; i++)); do
    if [ -f "$E2E_WORK/exit" ]; then
      cat "$E2E_WORK/exit"
      return 0
    fi
    sleep 0.1
  done
  echo running
}

# Whether the saver started by e2e_start still runs, judged after a moment for Wine to end it: it has not
# ended, its process lives, a window titled "Lumar" shows, and the screen still changes (it draws).
e2e_still_running() {
  sleep 1.5
  [ ! -f "$E2E_WORK/exit" ] || { echo "e2e: the saver ended (code $(cat "$E2E_WORK/exit"))" >&2; return 1; }
  kill -0 "${E2E_PID:-0}" 2>/dev/null || { echo "e2e: the saver's process is gone" >&2; return 1; }
  [ -n "$(xdotool search --onlyvisible --name '^Lumar$' 2>/dev/null)" ] ||
    { echo "e2e: no saver window" >&2; return 1; }
  e2e_wait_drawn 5 || { echo "e2e: the saver no longer draws" >&2; return 1; }
}

# CPU milliseconds process $1 used in the next $2 seconds; "gone" when it did not live throughout.
e2e_cpu_over() {
  local pid="$1" seconds="$2" a b
  a=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null)
  sleep "$seconds"
  b=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null)
  if ! e2e_is_number "$a" || ! e2e_is_number "$b"; then
    echo gone
    return 0
  fi
  echo $(((b - a) * 1000 / $(getconf CLK_TCK)))
}

# Ends every Windows process of the session (after a failed check left a saver running).
e2e_kill_wine() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  rm -f "$E2E_WORK/exit"
}

# Waits up to $1 seconds for a window named "Lumar" to be shown; prints its X id.
e2e_wait_window() {
  local limit="$1" i id
  for ((i = 0; i < limit * 10; i++)); do
    id=$(e2e_saver_windows) || return 1  # xdotool cannot look: waiting longer will not help
    [ -n "$id" ] && { head -n 1 <<<"$id"; return 0; }
    sleep 0.1
  done
  echo "e2e: no window titled Lumar within $limit s" >&2
  return 1
}

# Waits up to $2 seconds until window $1 keeps one geometry for half a second (mapped and laid out), then
# sets X, Y, WIDTH and HEIGHT from it; fails, saying so, when it never does (or xdotool cannot tell).
e2e_wait_geometry() {
  local id="$1" limit="$2" before="" now deadline
  deadline=$((SECONDS + limit))
  while [ "$SECONDS" -lt "$deadline" ]; do
    now=$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$' | tr '\n' ' ')
    if [ -n "$now" ] && [ "$now" = "$before" ]; then
      eval "$now"
      return 0
    fi
    before="$now"
    sleep 0.5
  done
  echo "e2e: window $id did not keep one geometry within $limit s" >&2
  return 1
}

# Starts the saver with "$@" and waits until its window shows and it draws; fails the check when it does
# not.
e2e_start_saver() {
  e2e_start "$@"
  if ! e2e_wait_window 30 >/dev/null; then
    e2e_fail "no saver window for '$*' ($(tail -n 3 "$E2E_WORK/saver.out"))"
    kill "$E2E_PID" 2>/dev/null
    return 1
  fi
  # The window shows black until the device draws; the saver counts mouse messages from then on.
  e2e_wait_drawn 30 || e2e_fail "nothing drawn for '$*'"
  return 0
}

# Waits up to $1 seconds until the saver is drawing: two screenshots half a second apart that are both
# not black and differ from each other (the ripples move). The desktop alone, or the saver's window before
# its first frame, does neither. Fails when that does not happen.
e2e_wait_drawn() {
  local limit="$1" i mean moved previous="$E2E_WORK/drawn-a.png" current="$E2E_WORK/drawn-b.png"
  e2e_screenshot "$previous" || return 1
  for ((i = 0; i < limit * 2; i++)); do
    sleep 0.5
    e2e_screenshot "$current" || continue
    mean=$(identify -format '%[fx:mean]' "$current" 2>/dev/null || echo 0)
    moved=$(e2e_difference "$previous" "$current")
    if e2e_greater "$mean" 0.01 && e2e_greater "$moved" 0.0005; then
      mean=$(identify -format '%[fx:mean]' "$previous" 2>/dev/null || echo 0)
      e2e_greater "$mean" 0.01 && return 0
    fi
    mv "$current" "$previous"
  done
  return 1
}

# Normalised cross-correlation of two pictures (1 = alike up to brightness and contrast, 0 = unrelated),
# taken on small grey versions so that ripples and colour shifts count little.
e2e_correlation() {
  local a="$E2E_WORK/ncc-a.png" b="$E2E_WORK/ncc-b.png"
  rm -f "$a" "$b"
  convert "$1" -colorspace gray -resize 64x48! "$a" 2>/dev/null &&
    convert "$2" -colorspace gray -resize 64x48! "$b" 2>/dev/null || { echo error; return 0; }
  compare -metric NCC "$a" "$b" null: 2>&1 | awk '{print $1}'
}

# Mean absolute difference of two pictures, 0 ... 1 ("error" when they cannot be compared).
e2e_difference() {
  local out
  out=$(compare -metric MAE "$1" "$2" null: 2>&1)
  if [[ "$out" =~ \(([0-9.e-]+)\) ]]; then echo "${BASH_REMATCH[1]}"; else echo error; fi
}

# Whether picture $1 shows something: readable, and not black (mean brightness over 0.02).
e2e_shows_picture() {
  local mean
  mean=$(identify -format '%[fx:mean]' "$1" 2>/dev/null)
  e2e_greater "$mean" 0.02
}

# Whether picture $1 is the saver's surface over the desktop picture $2 rather than the desktop itself
# left uncovered: a flat surface looks like the desktop, but it is lit and resampled, so it never matches
# it pixel for pixel (mean difference over $3, default 0.002: a flat surface measured 0.003 to 0.01 on a
# small monitor and 0.06 full screen, an uncovered desktop 0.0007 to 0.0008 against its picture).
e2e_not_the_desktop() {
  local difference
  difference=$(e2e_difference "$1" "$2")
  e2e_greater "$difference" "${3:-0.002}"
}

# The bar of e2e_not_the_desktop for a flat surface on a small monitor, which shows the desktop barely
# changed: it measured 0.0020 to 0.0021 from the desktop picture (0.00198 once on a loaded machine), the
# desktop left uncovered 0.0007 to 0.0008 (the picture as the viewer draws it). The bar stands halfway.
E2E_FLAT_SURFACE_BAR=0.0014

# The smallest mean difference, 0 ... 1, between pictures $1 and $2 over tiles of about 64x64 pixels: a
# tile that still shows the desktop unchanged brings it near 0. "error" when the pictures cannot be read.
e2e_least_tile_difference() {
  local w h
  read -r w h < <(identify -format '%w %h' "$1" 2>/dev/null)
  [ -n "$w" ] && [ -n "$h" ] || { echo error; return; }
  convert "$1" "$2" -compose difference -composite -colorspace gray \
    -filter box -resize "$((w / 64))x$((h / 64))!" -depth 16 txt:- 2>/dev/null |
    sed -n 's/^[0-9]*,[0-9]*: *(\([0-9]*\).*/\1/p' |
    awk '{ v = $1 / 65535; if (min == "" || v < min) min = v } END { print (min == "" ? "error" : min) }'
}

# Stores a settings record for this machine with the given preset, as the dialog's OK would:
#   e2e_store_preset <preset id> [texture]
e2e_store_preset() {
  wine "$E2E_TOOLS/settings_tool.exe" "$@" >"$E2E_WORK/settings_tool.out" 2>&1 ||
    { e2e_fail "settings_tool $*: $(cat "$E2E_WORK/settings_tool.out")"; return 1; }
}

# Whether $1 is a decimal number (what the picture tools print when they work): "", "error", "compare:"
# or "nan" are not.
e2e_is_number() { [[ "$1" =~ ^[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?$ ]]; }

# Numeric a > b; fails, saying so, when either is not a number.
e2e_greater() { e2e_numbers 'a > b' a="$1" b="$2"; }

# A numeric condition in awk over named values, true only when every value is a number:
#   e2e_numbers 'a > 0.8 && a > c + 0.3' a="$likeness" c="$control"
e2e_numbers() {
  local condition="$1" pair name value
  shift
  local vars=()
  for pair in "$@"; do
    name="${pair%%=*}"
    value="${pair#*=}"
    if ! e2e_is_number "$value"; then
      echo "e2e: '$value' ($name) is not a number" >&2
      return 1
    fi
    vars+=(-v "$pair")
  done
  awk "${vars[@]}" "BEGIN { exit !($condition) }"
}

# A session whose desktop (root window) shows e2e_desktop_picture; the picture's path is in $desktop.
e2e_begin_with_desktop() {
  e2e_begin 1024x768x24
  desktop="$E2E_WORK/desktop.png"
  e2e_desktop_picture "$desktop" 1024x768
  e2e_set_root "$desktop"
}

# Checks that the program started by e2e_start ends within 20 s with exit code 0 and leaves no window
# titled "Lumar"; ends it by force when it keeps running.
e2e_ended_cleanly() {  # e2e_ended_cleanly "what"
  local code
  code=$(e2e_wait_exit 20)
  e2e_check "$1: exit code 0 (got $code)" [ "$code" = 0 ]
  [ "$code" = running ] && e2e_kill_wine
  e2e_check "$1: no window left" e2e_no_saver_window
}

# ---- Checks that fail when what they measure cannot be measured ----

# The longest one call of a Wine tool (a registry query, a helper program) may take: one that hangs
# fails the check that asked, naming it.
E2E_TOOL_DEADLINE="${E2E_TOOL_DEADLINE:-60}"

# The visible windows titled "Lumar", one X id a line. Fails, naming the cause, when xdotool is missing
# or cannot search (no display): "no window" is only ever xdotool's own answer.
e2e_saver_windows() {
  local out rc try err="${E2E_WORK:-/tmp}/xdotool.err"
  command -v xdotool >/dev/null 2>&1 || { echo "e2e: xdotool is missing: the windows cannot be looked for" >&2; return 2; }
  # A window that goes while xdotool walks the tree stops it with BadWindow: asked again, five times in all.
  for try in 1 2 3 4 5; do
    out=$(timeout -k 2 "$E2E_TOOL_DEADLINE" xdotool search --onlyvisible --name '^Lumar$' 2>"$err")
    rc=$?
    # xdotool answers "none found" with exit code 1 and says nothing.
    if [ ! -s "$err" ] && { [ "$rc" = 0 ] || [ "$rc" = 1 ]; }; then
      [ -z "$out" ] || echo "$out"
      return 0
    fi
    sleep 0.2
  done
  echo "e2e: xdotool search failed (exit code $rc: $(tr '\n' ' ' <"$err"))" >&2
  return 2
}

# No visible window titled "Lumar" is left: xdotool looked and found none.
e2e_no_saver_window() {
  local windows
  windows=$(e2e_saver_windows) || return 1
  [ -z "$windows" ] || { echo "e2e: saver windows left: $(tr '\n' ' ' <<<"$windows")" >&2; return 1; }
}

# How many visible windows are titled "Lumar"; "unknown" (no number) when xdotool failed.
e2e_saver_window_count() {
  local windows
  windows=$(e2e_saver_windows) || { echo unknown; return 1; }
  grep -c . <<<"$windows"
}

# Runs `wine reg query "$@"` within the tool deadline. Returns 0 when found (the output in E2E_REG_OUT),
# 1 when Wine answered that the key or value does not exist, and 2 when the query failed or timed out
# (asked three times; the cause in E2E_REG_ERROR).
e2e_reg_query() {
  local out rc try err="${E2E_WORK:-/tmp}/reg-query.err"
  E2E_REG_OUT=""
  E2E_REG_ERROR=""
  for try in 1 2 3; do
    out=$(timeout -k 5 "$E2E_TOOL_DEADLINE" wine reg query "$@" 2>"$err")
    rc=$?
    E2E_REG_OUT=$(tr -d '\r' <<<"$out")
    [ "$rc" = 0 ] && return 0
    # Wine's answer for an absent key or value: "reg: Unable to find the specified registry key or value".
    if [ "$rc" = 1 ] && grep -q 'Unable to find' - "$err" <<<"$out"; then return 1; fi
    if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
      E2E_REG_ERROR="reg query $* timed out after $E2E_TOOL_DEADLINE s"
    else
      E2E_REG_ERROR="reg query $* failed with exit code $rc ($({ cat "$err"; echo "$out"; } | tr -d '\r' | grep -v '^$' | tail -n 1))"
    fi
    echo "e2e: $E2E_REG_ERROR, asked again" >&2
    sleep 1
  done
  return 2
}

# The data of value $2 of key $1; nothing when Wine says the value or its key is absent. A query that
# fails prints "<unread: cause>" instead, which equals no expected value, not even "nothing".
e2e_reg_value() {
  e2e_reg_query "$1" /v "$2"
  case $? in
    0) awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]*/, ""); print; exit }' <<<"$E2E_REG_OUT" ;;
    1) ;;
    *)
      echo "e2e: the value $2 of $1 could not be read: $E2E_REG_ERROR" >&2
      echo "<unread: $E2E_REG_ERROR>"
      return 2
      ;;
  esac
}

# Whether key $1 (or its value $2) is absent, as Wine answers; a query that fails is no answer and fails
# the check, naming why.
e2e_reg_absent() {
  local what="key $1"
  [ $# -lt 2 ] || what="value $2 of $1"
  if [ $# -ge 2 ]; then e2e_reg_query "$1" /v "$2"; else e2e_reg_query "$1"; fi
  case $? in
    1) return 0 ;;
    0) echo "e2e: the $what is there" >&2; return 1 ;;
    *) echo "e2e: whether the $what is absent is unknown: $E2E_REG_ERROR" >&2; return 1 ;;
  esac
}
e2e_reg_present() { e2e_reg_query "$@" >/dev/null 2>&1; }

# Sets value $2 of key $1 to data $4 of type $3, and reads it back: a value that could not be set fails
# the check, so that a case never quietly becomes the case of no value.
e2e_reg_set() {
  local out
  out=$(timeout -k 5 "$E2E_TOOL_DEADLINE" wine reg add "$1" /v "$2" /t "$3" /d "$4" /f 2>&1) ||
    { e2e_fail "reg add $1 /v $2 /d $4 failed: $(tr -d '\r' <<<"$out" | tail -n 1)"; return 1; }
  out=$(e2e_reg_value "$1" "$2")
  [ "$out" = "$4" ] || { e2e_fail "reg add $1 /v $2 /d $4 did not take: it reads \"$out\""; return 1; }
}

# Asserts that Wine lists exactly the monitors "WxH+X+Y,..." ($1, the primary first) before checks that
# need several: with the stand-in Xinerama not taken, Wine sees one wide monitor and every check of
# coverage would pass on it. Fails, naming the cause, when the monitors cannot be listed.
e2e_expect_monitors() {
  local listed rc count
  timeout -k 5 "$E2E_TOOL_DEADLINE" wine "$E2E_TOOLS/display_change_tool.exe" --list \
    >"$E2E_WORK/monitors.out" 2>"$E2E_WORK/monitors.err"
  rc=$?
  listed=$(tr -d '\r' <"$E2E_WORK/monitors.out")
  if [ "$rc" != 0 ] || [ -z "$listed" ]; then
    e2e_fail "Wine's monitors could not be listed (display_change_tool --list: exit code $rc, printed \"$listed\" $(tail -n 1 "$E2E_WORK/monitors.err" 2>/dev/null))"
    return 1
  fi
  count=$(tr , '\n' <<<"$listed" | grep -c .)
  if [ "$listed" != "$1" ]; then
    e2e_fail "Wine lists $count monitor(s) \"$listed\", not the stand-in's $(tr , '\n' <<<"$1" | grep -c .) \"$1\""
    return 1
  fi
  e2e_log "ok: Wine lists the $count monitors $listed"
}

# Has Wine take its monitor list again (display_change_tool: a display settings change, then
# WM_DISPLAYCHANGE to every window) after the heads changed to $1; what Wine lists then is in E2E_LISTED,
# the tool's exit code (1: Wine refused the settings change) in E2E_CHANGE_CODE. A tool that lists nothing
# fails the check: what Wine lists is then unknown.
e2e_change_monitors() {
  local rc
  timeout -k 5 "$E2E_TOOL_DEADLINE" wine "$E2E_TOOLS/display_change_tool.exe" \
    >"$E2E_WORK/display-change.out" 2>"$E2E_WORK/display-change.err"
  rc=$?
  E2E_LISTED=$(tr -d '\r' <"$E2E_WORK/display-change.out")
  E2E_CHANGE_CODE=$rc
  [ -n "$E2E_LISTED" ] && return 0
  e2e_fail "the display change to \"$1\" failed (display_change_tool: exit code $rc, listed \"$E2E_LISTED\" $(tail -n 1 "$E2E_WORK/display-change.err" 2>/dev/null))"
  return 1
}

# The DLLs program $1 imports, one a line, as objdump reads its import table; fails, saying so, when no
# DLL was read (objdump failed or the file is no program).
e2e_imported_dlls() {
  local dlls
  dlls=$(x86_64-w64-mingw32-objdump -p "$1" 2>/dev/null | sed -n 's/.*DLL Name: //p' | tr -d '\r')
  [ -n "$dlls" ] || { echo "e2e: no imported DLL could be read from $1" >&2; return 1; }
  echo "$dlls"
}

# Blue over red of a whole picture, -1 ... 1 (the Sky picture is clearly blue, the desktop picture red).
e2e_blueness() { convert "$1" -format '%[fx:mean.b - mean.r]' info: 2>/dev/null || echo error; }

# Whether picture $1 shows the desktop picture $2 as the saver draws it (lit and bent so much that no
# likeness test holds, and its colours toned down: blue over red -0.003 to -0.026 against the picture's
# -0.12): not blue (not Sky), its brightness within 0.15 of the picture's (0.41 to 0.43 against 0.46) and as
# much detail (a standard deviation over 0.1; it measured 0.24, the picture 0.18). A black, grey or blue
# screen fails, and so does one that could not be measured.
e2e_desktop_colours() {
  local shown picture blue mean deviation
  read -r shown < <(convert "$1" -format '%[fx:mean.b - mean.r] %[fx:mean] %[fx:standard_deviation]' info: 2>/dev/null)
  read -r picture < <(convert "$2" -format '%[fx:mean]' info: 2>/dev/null)
  read -r blue mean deviation <<<"$shown"
  e2e_numbers 'b < 0.1 && m > p - 0.15 && m < p + 0.15 && s > 0.1' \
    b="${blue:-}" m="${mean:-}" s="${deviation:-}" p="${picture:-}"
}

# Linux pids of the processes of this script's own session (their WINEPREFIX is ours) whose command line
# matches the extended expression $1: never a process of another session or test run on the machine.
e2e_session_pids() {
  local p
  for p in /proc/[0-9]*; do
    tr '\0' ' ' 2>/dev/null <"$p/cmdline" | grep -qE "$1" || continue
    tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "${p#/proc/}"
  done
}

# Waits up to $2 seconds until command "${@:3}" succeeds, polling every tenth of a second; fails (naming
# $1, what was waited for) when the deadline passes.
e2e_wait_until() {
  local what="$1" limit="$2" deadline
  shift 2
  deadline=$((SECONDS + limit))
  while [ "$SECONDS" -lt "$deadline" ]; do
    "$@" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "e2e: $what: not within $limit s" >&2
  return 1
}

# After a failure: what the Windows programs of this script printed (Wine reports its faults there).
e2e_show_program_output() {
  local f
  for f in "$E2E_WORK"/earlier-runs.log "$E2E_WORK"/*.out; do
    [ -s "$f" ] || continue
    echo "e2e: output of ${f##*/}:"
    head -c 20000 "$f"
  done
}

# ---- For the self-tests of the checks ----

# "pass" or "fail" for a command run in a subshell (its own failure count), quietly.
e2e_outcome() { if ("$@") >/dev/null 2>&1; then echo pass; else echo fail; fi; }
e2e_expect() {  # e2e_expect pass|fail "what" command...
  local want="$1" what="$2"
  shift 2
  e2e_check "$what: $want" [ "$(e2e_outcome "$@")" = "$want" ]
}
# A check whose cause was taken away fails, and its message names what was missing:
#   e2e_expect_failure "what was taken away" "words of the message" command...
# The message is shown, so the run lists each case with the failure it gives.
e2e_expect_failure() {
  local what="$1" words="$2" out rc
  shift 2
  out=$( ("$@") 2>&1)
  rc=$?
  local message
  message=$(grep -F -m 1 -- "$words" <<<"$out")
  if [ "$rc" != 0 ] && [ -n "$message" ]; then
    e2e_log "ok: $what: fails with \"${message#e2e FAIL: }\""
  else
    e2e_fail "$what: expected a failure naming \"$words\", got exit code $rc and: $(tail -n 3 <<<"$out")"
  fi
}

e2e_finish() {
  if [ "$e2e_failures" -gt 0 ]; then
    [ -n "${E2E_WORK:-}" ] && e2e_show_program_output >&2
    echo "e2e: $e2e_failures check(s) failed" >&2
    exit 1
  fi
  e2e_log "all checks passed"
  exit 0
}
