#!/usr/bin/env bash
# The release files (scripts/package) and the setup program under Wine: the zip's contents, the version in
# the file names against the version the program carries, a silent install into the system folder with its
# entry in Apps, "make Lumar the current screen saver" (switched on through SystemParametersInfo), the
# installed saver's full-screen and configure modes, an upgrade from a real older build keeping the settings
# and the user's choice, a downgrade refused, installs and uninstalls while the saver runs (no restart asked
# for, nothing left to be deleted at the next restart under the installed name), and the documented silent
# uninstall, which waits and returns its exit code.
set -uo pipefail
shopt -s nullglob  # an unmatched glob is no file at all
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin 1024x768x24
dist="$E2E_WORK/dist"
older_dist="$E2E_WORK/older-dist"
older_scr="$E2E_TOOLS/older/lumar.scr"

# The version a program carries in its properties ("FileVersion" and the FILEVERSION numbers).
carried_version() {
  x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n 's/.*VALUE "FileVersion", "\(.*\)".*/\1/p' | head -n 1
}
carried_numbers() {
  x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n 's/^ *FILEVERSION *//p' | head -n 1 | tr -d ' \r'
}

older_version=$(carried_version "$older_scr")
mkdir -p "$dist" "$older_dist"
if ! "$e2e_root/scripts/package" --local --scr "$E2E_SCR" --out "$dist" >"$E2E_WORK/package.log" 2>&1 ||
  ! "$e2e_root/scripts/package" --local --scr "$older_scr" --version "$older_version" --out "$older_dist" \
    >"$E2E_WORK/package-older.log" 2>&1; then
  cat "$E2E_WORK"/package*.log >&2
  e2e_fail "scripts/package failed"
  e2e_finish
fi

setups=("$dist"/lumar-*-setup.exe)
zips=("$dist"/lumar-*-win64.zip)
older_setups=("$older_dist"/lumar-*-setup.exe)
e2e_check "one setup program and one zip (${#setups[@]}, ${#zips[@]})" [ "${#setups[@]} ${#zips[@]}" = "1 1" ]
e2e_check "one older setup program (${#older_setups[@]})" [ "${#older_setups[@]}" = 1 ]
[ "${#setups[@]} ${#zips[@]} ${#older_setups[@]}" = "1 1 1" ] || e2e_finish
setup="${setups[0]}"
zip_file="${zips[0]}"
older_setup="${older_setups[0]}"
named_version=$(basename "$setup" | sed 's/^lumar-\(.*\)-setup\.exe$/\1/')
e2e_check "both file names carry one version ($named_version)" \
  [ "$(basename "$zip_file")" = "lumar-$named_version-win64.zip" ]
e2e_check "the older build carries another version ($older_version, not $named_version)" \
  [ -n "$older_version" -a "$older_version" != "$named_version" ]

entries=$(unzip -Z1 "$zip_file" | tr '\n' ' ')
e2e_check "the zip holds lumar.scr, README.txt, LICENSE.txt, THIRD-PARTY-NOTICES.txt, lumar-guide.html in that order (got: $entries)" \
  [ "$entries" = "lumar.scr README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt lumar-guide.html " ]
mkdir -p "$dist/unzipped"
unzip -q "$zip_file" -d "$dist/unzipped"
packed="$dist/unzipped/lumar.scr"
e2e_check "the packed lumar.scr carries the version of the file names ($(carried_version "$packed"))" \
  [ "$(carried_version "$packed")" = "$named_version" ]
e2e_check "... in its FILEVERSION numbers too ($(carried_numbers "$packed"))" \
  [ "$(carried_numbers "$packed")" = "$(tr . , <<<"$named_version"),0" ]
e2e_check "the setup program carries that version ($(carried_version "$setup"))" \
  [ "$(carried_version "$setup")" = "$named_version" ]
e2e_check "the manifest carries that version" grep -aq "name=\"Korvan.Lumar\" version=\"$named_version.0\"" "$packed"
e2e_check "the manifest asks for per-monitor DPI (V2, else V1)" grep -aq '>PerMonitorV2, PerMonitor</dpiAwareness>' "$packed"
e2e_check "... and per monitor on Windows 8.1" grep -aq '>true/pm</dpiAware>' "$packed"
e2e_check "the read-me names the version" grep -q "Lumar $named_version" "$dist/unzipped/README.txt"
e2e_check "the licence is the MIT licence" grep -q "MIT License" "$dist/unzipped/LICENSE.txt"
e2e_check "the notices are there" grep -q "libjpeg-turbo" "$dist/unzipped/THIRD-PARTY-NOTICES.txt"

system_folder="$WINEPREFIX/drive_c/windows/system32"
installed="$system_folder/lumar.scr"
program_folder="$WINEPREFIX/drive_c/Program Files/Lumar"
uninstaller="C:\\Program Files\\Lumar\\uninstall.exe"
entry_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumar'
desktop_key='HKCU\Control Panel\Desktop'
settings_key='HKCU\Software\Korvan\Lumar'
session_key='HKLM\System\CurrentControlSet\Control\Session Manager'
# The setups where a Windows command line reaches them.
mkdir -p "$WINEPREFIX/drive_c/setups"
cp "$setup" "$WINEPREFIX/drive_c/setups/new.exe"
cp "$older_setup" "$WINEPREFIX/drive_c/setups/older.exe"
new_setup='C:\setups\new.exe'
older_setup='C:\setups\older.exe'

# The data of a registry value, or nothing when Wine answers that it (or its key) is absent; a query that
# fails or times out reads as "<unread: cause>", which no check expects (e2e_reg_value).
reg_value() { e2e_reg_value "$@"; }
key_exists() { e2e_reg_present "$1"; }
key_absent() { e2e_reg_absent "$1"; }
between() { [ "$1" -ge "$2" ] && [ "$1" -lt "$3" ]; }  # between value low high

# The paths waiting to be renamed or deleted at the next restart, one a line (Wine writes the
# REG_MULTI_SZ with \0 between its strings).
# A value that could not be read is printed as read ("<unread: ...>") and fails both checks below.
pending_at_restart() {
  local value
  value=$(reg_value "$session_key" PendingFileRenameOperations) || { echo "$value"; return 1; }
  sed 's/\\0/\n/g' <<<"$value" | sed '/^$/d'
}
pending_named() { local p; p=$(pending_at_restart) && grep -qiE "$1" <<<"$p"; }  # pending_named REGEX
no_pending_named() { local p; p=$(pending_at_restart) && ! grep -qiE "$1" <<<"$p"; }

# Runs a command line through exit_code_tool (CreateProcess and wait, as a management tool does) and
# sets $code to its whole exit code ("none" when it did not run).
run_waiting() {  # run_waiting "command line" | @ValueName
  wine "$E2E_TOOLS/exit_code_tool.exe" "$1" >"$E2E_WORK/run.out" 2>&1
  code=$(tr -d '\r' <"$E2E_WORK/run.out" | sed -n 's/^exit code //p' | tail -n 1)
  [ -n "$code" ] || code=none
}
install() {  # install [options]: the new setup, silently
  run_waiting "$new_setup /S $*"
  e2e_check "setup /S $* exits with 0 (got $code)" [ "$code" = 0 ]
}
# The documented silent uninstall: the entry's QuietUninstallString, run as it stands. It waits, so
# everything is done when it returns.
uninstall() {  # uninstall [expected exit code]
  run_waiting @QuietUninstallString
  e2e_check "the quiet uninstall returns ${1:-0} (got $code)" [ "$code" = "${1:-0}" ]
}

check_installed() {  # check_installed "what"
  e2e_check "$1: lumar.scr is in the system folder, the packed file itself" cmp -s "$installed" "$packed"
  e2e_check "$1: the entry's name" [ "$(reg_value "$entry_key" DisplayName)" = "Lumar screen saver" ]
  e2e_check "$1: the entry's version" [ "$(reg_value "$entry_key" DisplayVersion)" = "$named_version" ]
  local publisher
  publisher=$(reg_value "$entry_key" Publisher)
  e2e_check "$1: the entry's publisher (got $publisher)" [ "$publisher" = "Korvan" ]
  e2e_check "$1: the entry's icon is lumar.scr's" \
    [ "$(reg_value "$entry_key" DisplayIcon)" = 'C:\windows\system32\lumar.scr,0' ]
  local size kib
  size=$(($(reg_value "$entry_key" EstimatedSize)))
  kib=$(($(stat -c %s "$installed") / 1024))
  e2e_check "$1: the entry's size ($size KiB) covers lumar.scr ($kib KiB)" between "$size" "$kib" $((kib * 2))
  e2e_check "$1: the entry's uninstaller exists" test -f "$program_folder/uninstall.exe"
  e2e_check "$1: the notices beside it" cmp -s "$program_folder/THIRD-PARTY-NOTICES.txt" \
    "$dist/unzipped/THIRD-PARTY-NOTICES.txt"
  e2e_check "$1: the entry's uninstall command" [ "$(reg_value "$entry_key" UninstallString)" = "\"$uninstaller\"" ]
  e2e_check "$1: the entry's quiet uninstall command runs in place" \
    [ "$(reg_value "$entry_key" QuietUninstallString)" = "\"$uninstaller\" /S _?=C:\\Program Files\\Lumar" ]
}

check_removed() {  # check_removed "what"
  e2e_check "$1: lumar.scr is gone" [ ! -e "$installed" ]
  e2e_check "$1: the entry in Apps is gone" key_absent "$entry_key"
  # After the quiet uninstall, a copy of the uninstaller removes it and its folder once it has ended.
  local i
  for ((i = 0; i < 40; i++)); do
    [ -e "$program_folder" ] || break
    sleep 0.5
  done
  e2e_check "$1: the program folder is gone" [ ! -e "$program_folder" ]
}

aside_files() { local files=("$system_folder"/lumar-*.old); echo "${#files[@]}"; }

# Runs the installed saver full screen until the next `stop_saver`.
start_saver() {
  E2E_SCR="$installed"
  e2e_start_saver /s
}
stop_saver() {  # stop_saver "what"
  xdotool key space
  e2e_ended_cleanly "$1"
}

# The user's settings before anything is installed, and another saver as the current one.
e2e_store_preset 14
record=$(reg_value "$settings_key" Pars)
e2e_check "a settings record to keep" [ ${#record} -gt 100 ]
wine reg add "$desktop_key" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\other.scr' /f >/dev/null 2>&1
wine reg add "$desktop_key" /v ScreenSaveActive /t REG_SZ /d 0 /f >/dev/null 2>&1

install
check_installed "a silent install"
e2e_check "a silent install without /CURRENT leaves the current saver" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ]
e2e_check "... and leaves the saver switched off" [ "$(reg_value "$desktop_key" ScreenSaveActive)" = 0 ]
uninstall
check_removed "the quiet uninstall"
e2e_check "the uninstaller left none of its files to be removed at the next restart ($(pending_at_restart | tr '\n' ' '))" \
  no_pending_named 'system32.lumar|Program Files.Lumar'
e2e_check "uninstall leaves another current saver alone" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ]
e2e_check "uninstall keeps the settings" [ "$(reg_value "$settings_key" Pars)" = "$record" ]

# A setup that runs as another account than the signed-in user's (a test build that takes another name
# for the session's user) leaves the current saver and the settings of the account it runs as alone.
other_dist="$E2E_WORK/other-dist"
if LUMAR_TEST_SESSION_USER=someone-else "$e2e_root/scripts/package" --local --scr "$E2E_SCR" --out "$other_dist" \
  >"$E2E_WORK/package-other.log" 2>&1; then
  cp "$other_dist/lumar-$named_version-setup.exe" "$WINEPREFIX/drive_c/setups/other-account.exe"
  run_waiting 'C:\setups\other-account.exe /S /CURRENT'
  e2e_check "the setup as another account installs (got $code)" [ "$code" = 0 ]
  e2e_check "... but ignores /CURRENT ($(reg_value "$desktop_key" SCRNSAVE.EXE))" \
    [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ]
  e2e_check "... and leaves the saver switched off" [ "$(reg_value "$desktop_key" ScreenSaveActive)" = 0 ]
  run_waiting '"C:\Program Files\Lumar\uninstall.exe" /S /REMOVESETTINGS _?=C:\Program Files\Lumar'
  e2e_check "its uninstaller removes Lumar (got $code)" [ "$code" = 0 ]
  e2e_check "... but not the settings of the account it runs as" [ "$(reg_value "$settings_key" Pars)" = "$record" ]
  check_removed "the uninstall as another account"
else
  e2e_fail "scripts/package of the other-account test setup failed: $(tail -n 3 "$E2E_WORK/package-other.log")"
fi

install /CURRENT
check_installed "an install with /CURRENT"
e2e_check "/CURRENT makes Lumar the current saver ($(reg_value "$desktop_key" SCRNSAVE.EXE))" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\lumar.scr' ]
e2e_check "/CURRENT switches the saver on (SystemParametersInfo)" [ "$(reg_value "$desktop_key" ScreenSaveActive)" = 1 ]

# The installed file runs as Windows starts it: full screen until a key, and the configuration dialog.
start_saver && stop_saver "the installed saver, /s"
e2e_start /c
if dialog=$(e2e_wait_window 30); then
  e2e_log "ok: the installed saver opens its configuration dialog"
  sleep 1
  xdotool windowfocus "$dialog" 2>/dev/null
  xdotool key Escape
else
  e2e_fail "the installed saver shows no configuration dialog"
fi
e2e_ended_cleanly "the installed saver, /c"

# A downgrade is refused, with its own exit code, and changes nothing.
run_waiting "$older_setup /S /CURRENT"
e2e_check "the older setup refuses to replace $named_version (exit code 1638, got $code)" [ "$code" = 1638 ]
check_installed "after the refused downgrade"

# Installing while the saver runs: the running file moves aside; no restart is asked for (exit code 0,
# not 3010) and nothing waits for the next restart.
start_saver
install
e2e_check "the running copy was moved aside ($(aside_files) aside file)" [ "$(aside_files)" = 1 ]
check_installed "an install while the saver runs"
e2e_check "no pending deletion or rename names a file of the system folder's Lumar" no_pending_named 'system32.lumar'
stop_saver "the saver that ran during the install"
install
e2e_check "the next setup removes the aside file ($(aside_files) left)" [ "$(aside_files)" = 0 ]

# The current saver is recognised by its file name, whatever the spelling of the path.
for spelling in '%SystemRoot%\System32\LUMAR.SCR' 'lumar.scr'; do
  wine reg add "$desktop_key" /v SCRNSAVE.EXE /t REG_SZ /d "$spelling" /f >/dev/null 2>&1
  wine reg add "$desktop_key" /v ScreenSaveActive /t REG_SZ /d 1 /f >/dev/null 2>&1
  uninstall
  e2e_check "uninstall clears the current saver spelt $spelling" [ -z "$(reg_value "$desktop_key" SCRNSAVE.EXE)" ]
  e2e_check "... and switches the saver off" [ "$(reg_value "$desktop_key" ScreenSaveActive)" = 0 ]
  install
done

# Uninstalling while the saver runs: the file moves aside, only that name is left for the restart to
# delete, no restart is asked for (exit code 0); a reinstall before the restart stays.
start_saver
uninstall
e2e_check "lumar.scr is gone from its name" [ ! -e "$installed" ]
e2e_check "the held file waits aside ($(aside_files))" [ "$(aside_files)" = 1 ]
e2e_check "the restart deletes the aside file ($(pending_at_restart | tr '\n' ' '))" \
  pending_named 'system32.lumar-[0-9]+\.old$'
e2e_check "no pending deletion names system32\\lumar.scr" no_pending_named 'system32.lumar\.scr$'
stop_saver "the saver that ran during the uninstall"
install
check_installed "a reinstall before the restart"
e2e_check "still no pending deletion names system32\\lumar.scr" no_pending_named 'system32.lumar\.scr$'

# An upgrade from a real older build keeps the settings and the user's "make current" choice.
uninstall
run_waiting "$older_setup /S /CURRENT"
e2e_check "the older build installs (got $code)" [ "$code" = 0 ]
e2e_check "the older build is installed ($(carried_version "$installed"))" \
  [ "$(carried_version "$installed")" = "$older_version" ]
e2e_check "the older entry's version" [ "$(reg_value "$entry_key" DisplayVersion)" = "$older_version" ]
install
check_installed "an upgrade from $older_version"
e2e_check "the upgrade keeps the settings" [ "$(reg_value "$settings_key" Pars)" = "$record" ]
e2e_check "the upgrade keeps Lumar the current saver" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\lumar.scr' ]

# Interactive upgrades, driven by the keyboard (Enter on every page takes the defaults): "make current"
# is ticked only when Lumar is the current saver.
setup_by_keyboard() {  # setup_by_keyboard "what" WINDOWS-PATH
  local i window
  wine "$2" >"$E2E_WORK/interactive.out" 2>&1 &
  local pid=$!
  for ((i = 0; i < 120; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    window=$(xdotool search --onlyvisible --name 'Lumar .* Setup' 2>/dev/null | head -n 1)
    if [ -n "$window" ]; then
      xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window" 2>/dev/null
      xdotool key --window "$window" Return 2>/dev/null
    fi
    sleep 1
  done
  if kill -0 "$pid" 2>/dev/null; then
    e2e_fail "$1: the setup did not finish on the keyboard"
    e2e_kill_wine
  fi
  wait "$pid" 2>/dev/null
}
for current in lumar other; do
  uninstall
  run_waiting "$older_setup /S /CURRENT"
  [ "$current" = other ] &&
    wine reg add "$desktop_key" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\other.scr' /f >/dev/null 2>&1
  wine reg add "$desktop_key" /v ScreenSaveActive /t REG_SZ /d 0 /f >/dev/null 2>&1
  setup_by_keyboard "an interactive upgrade while $current is current" "$new_setup"
  check_installed "an interactive upgrade while $current is current"
  if [ "$current" = lumar ]; then
    e2e_check "an interactive upgrade while Lumar is current makes it current again (the saver switched on)" \
      [ "$(reg_value "$desktop_key" ScreenSaveActive)" = 1 ]
  else
    e2e_check "an interactive upgrade while another saver is current leaves it" \
      [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ]
    e2e_check "... and leaves the saver switched off" [ "$(reg_value "$desktop_key" ScreenSaveActive)" = 0 ]
  fi
done

uninstall
check_removed "uninstall"
e2e_check "uninstall keeps the settings without /REMOVESETTINGS" [ "$(reg_value "$settings_key" Pars)" = "$record" ]

# The entry's plain uninstall command (NSIS copies itself away and returns at once), with
# /REMOVESETTINGS: the entry in Apps goes last, so its removal means the uninstaller has finished.
install
wine "$uninstaller" /S /REMOVESETTINGS >"$E2E_WORK/uninstall.out" 2>&1
for ((i = 0; i < 120; i++)); do
  key_exists "$entry_key" || break
  sleep 0.5
done
sleep 1
check_removed "uninstall /REMOVESETTINGS"
e2e_check "uninstall /REMOVESETTINGS removes the settings" key_absent "$settings_key"

# ---- The user's guide behind the dialog's link button ----
# The zip's guide is the page of docs/USER_GUIDE.md; after a setup install, the lookup of the installed
# lumar.scr (beside it, then the entry's InstallLocation) finds the installed guide; the uninstaller
# removes it with the program folder.
# What the guide lookup found: a path, or "none"; a tool that failed prints neither.
guide_tool() { timeout -k 5 "$E2E_TOOL_DEADLINE" wine "$E2E_TOOLS/guide_tool.exe" "$@" 2>/dev/null | tr -d '\r'; }
e2e_check "the zip's guide is the user's guide as HTML" \
  grep -q '<h1 id="lumar-users-guide">Lumar user.s guide</h1>' "$dist/unzipped/lumar-guide.html"
e2e_check "the zip's guide is found beside the unpacked lumar.scr" \
  [ "$(guide_tool 'Z:'"$(tr / '\\' <<<"$dist/unzipped/lumar.scr")")" = \
    'Z:'"$(tr / '\\' <<<"$dist/unzipped/lumar-guide.html")" ]
install
found=$(guide_tool 'C:\windows\system32\lumar.scr')
e2e_check "after an install the link button finds the installed guide ($found)" \
  [ "$found" = 'C:\Program Files\Lumar\lumar-guide.html' ]
e2e_check "... and it is the zip's guide" cmp -s "$program_folder/lumar-guide.html" "$dist/unzipped/lumar-guide.html"
uninstall
check_removed "uninstall after the guide check"
found=$(guide_tool 'C:\windows\system32\lumar.scr')
e2e_check "uninstall removes the guide: the link button finds none (the lookup printed \"$found\")" [ "$found" = none ]
# ---- end of the user's guide checks ----

e2e_finish
