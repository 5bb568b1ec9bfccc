#!/usr/bin/env bash
# Administrators' policies, end to end, with the Desktop picture configured (the defaults):
# - "Password protect the screen saver" under HKCU\Software\Policies\Microsoft\Windows\Control Panel\Desktop
#   outranks the user's own "ScreenSaverIsSecure" in both directions: the policy "1" alone shows Sky, the
#   policy "0" over a user "1" shows the desktop;
# - "NoDesktopPicture" (a DWORD under Software\Policies\Korvan\Lumar, machine or user) shows Sky;
# - a policy value that the program does not understand (a DWORD, empty, "10") is read the safe way: Sky.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin_with_desktop

user_key='HKCU\Control Panel\Desktop'
policy_key='HKCU\Software\Policies\Microsoft\Windows\Control Panel\Desktop'
lumar_machine_policy='HKLM\Software\Policies\Korvan\Lumar'
lumar_user_policy='HKCU\Software\Policies\Korvan\Lumar'

# Blue over red of the whole screen, -1 ... 1: Sky is a blue sky with white clouds (measured 0.18 to 0.30
# under the ripples), the desktop picture red over blue (about -0.02).
blueness() { convert "$1" -format '%[fx:mean.b - mean.r]' info:; }

clear_values() {
  wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
  wine reg delete "$user_key" /v ScreenSaverIsSecure /f >/dev/null 2>&1
  wine reg delete "$policy_key" /f >/dev/null 2>&1
  wine reg delete "$lumar_machine_policy" /f >/dev/null 2>&1
  wine reg delete "$lumar_user_policy" /f >/dev/null 2>&1
}

# set_value KEY NAME TYPE DATA: fails the check when Wine's reg refuses.
set_value() {
  wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1 || e2e_fail "reg add $1 $2 $3 '$4' failed"
}

# Runs the saver full screen, takes the first screenshot that shows a picture, ends it with a key and
# sets $blue to the screenshot's blueness; fails (the check included) when no picture showed. Not run in
# a subshell, so that its failed checks count.
blue=
shown_blueness() {
  blue=
  local what="$1" shot="$E2E_WORK/policy.png" i shown=no
  e2e_start /s
  if ! e2e_wait_window 30 >/dev/null || ! e2e_wait_drawn 30; then
    e2e_fail "$what: no saver picture ($(tail -n 3 "$E2E_WORK/saver.out"))"
    e2e_kill_wine
    return 1
  fi
  sleep 2
  for ((i = 0; i < 40; i++)); do
    e2e_screenshot "$shot" || break
    e2e_shows_picture "$shot" 2>/dev/null && { shown=yes; break; }
    sleep 0.5
  done
  xdotool key space
  e2e_ended_cleanly "$what"
  [ "$shown" = yes ] || { e2e_fail "$what: only black or no screenshot"; return 1; }
  blue=$(blueness "$shot")
  e2e_is_number "$blue" || { e2e_fail "$what: no colour measure of the screenshot ('$blue')"; return 1; }
}

expect_sky() {
  shown_blueness "$1" || return
  e2e_check "$1: Sky instead of the desktop (blue over red $blue)" e2e_greater "$blue" 0.12
}

expect_desktop() {
  shown_blueness "$1" || return
  e2e_check "$1: the configured desktop picture (blue over red $blue)" e2e_greater 0.06 "$blue"
}

clear_values
set_value "$policy_key" ScreenSaverIsSecure REG_SZ 1
expect_sky 'policy "1", no user value'

clear_values
set_value "$policy_key" ScreenSaverIsSecure REG_SZ 0
set_value "$user_key" ScreenSaverIsSecure REG_SZ 1
expect_desktop 'policy "0" over the user value "1"'

clear_values
set_value "$lumar_machine_policy" NoDesktopPicture REG_DWORD 1
expect_sky 'machine policy NoDesktopPicture 1'

clear_values
set_value "$lumar_machine_policy" NoDesktopPicture REG_DWORD 0
set_value "$lumar_user_policy" NoDesktopPicture REG_DWORD 1
expect_desktop 'machine policy NoDesktopPicture 0 over the user policy 1'

clear_values
set_value "$policy_key" ScreenSaverIsSecure REG_SZ 10
set_value "$user_key" ScreenSaverIsSecure REG_SZ 0
expect_sky 'policy "10" (not understood: the safe reading) over the user value "0"'

clear_values
e2e_finish
