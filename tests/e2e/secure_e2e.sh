#!/usr/bin/env bash
# A saver marked secure ("ScreenSaverIsSecure" under HKCU\Control Panel\Desktop) never shows the user's
# desktop: with the Desktop picture configured (the defaults) it shows the blue Sky picture instead. "0",
# or a value too long to be read, leaves the configured picture.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin_with_desktop

desktop_key='HKCU\Control Panel\Desktop'

# Blue over red of the whole screen, -1 ... 1: the Sky picture is a blue sky with white clouds.
blueness() { e2e_blueness "$1"; }

# Runs the saver full screen with "ScreenSaverIsSecure" set to $1 ("-" for no value) and takes a
# screenshot into $2 once it draws; a key then ends it.
run_with_secure_value() {
  local value="$1" shot="$2"
  wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
  wine reg delete "$desktop_key" /v ScreenSaverIsSecure /f >/dev/null 2>&1
  # A value that could not be set would turn its case into the case of no value.
  if [ "$value" = - ]; then
    e2e_check "secure value '-': no ScreenSaverIsSecure" e2e_reg_absent "$desktop_key" ScreenSaverIsSecure || return 1
  else
    e2e_reg_set "$desktop_key" ScreenSaverIsSecure REG_SZ "$value" || return 1
  fi
  e2e_start /s
  if ! e2e_wait_window 30 >/dev/null || ! e2e_wait_drawn 30; then
    e2e_fail "secure value '$value': no saver picture ($(tail -n 3 "$E2E_WORK/saver.out"))"
    e2e_kill_wine
    return 1
  fi
  # The desktop can still show for a moment after the window maps, and the window is black until the
  # first frame: take the first picture that is neither.
  local i shown=no
  sleep 2
  for ((i = 0; i < 40; i++)); do
    e2e_screenshot "$shot" || break
    if e2e_shows_picture "$shot" 2>/dev/null; then
      shown=yes
      break
    fi
    sleep 0.5
  done
  xdotool key space
  local code
  code=$(e2e_wait_exit 20)
  e2e_check "secure value '$value': a key ends the saver (exit code $code)" [ "$code" = 0 ]
  [ "$code" = running ] && e2e_kill_wine
  # A black or missing screenshot shows no picture at all, configured or not.
  [ "$shown" = yes ] || { e2e_fail "secure value '$value': only black or no screenshot"; return 1; }
  return 0
}

desktop_blueness=$(blueness "$desktop")

# The strong default ripples bend the picture too much for a likeness test to be dependable; the colours
# tell the pictures apart: the desktop picture is red over blue, Sky clearly blue over red.
if run_with_secure_value 1 "$E2E_WORK/secure.png"; then
  sky=$(blueness "$E2E_WORK/secure.png")
  e2e_check "\"1\": Sky instead of the desktop (blue over red $sky, desktop picture $desktop_blueness)" \
    e2e_greater "$sky" 0.2
fi

for value in 0 1000 -; do
  if run_with_secure_value "$value" "$E2E_WORK/plain.png"; then
    plain=$(blueness "$E2E_WORK/plain.png")
    # The desktop picture as the saver draws it, not merely "not Sky": black, grey or blue fails.
    e2e_check "'$value': the configured desktop picture (blue over red $plain, the desktop picture's $desktop_blueness)" \
      e2e_desktop_colours "$E2E_WORK/plain.png" "$desktop"
  fi
done

wine reg delete "$desktop_key" /v ScreenSaverIsSecure /f >/dev/null 2>&1
e2e_finish
