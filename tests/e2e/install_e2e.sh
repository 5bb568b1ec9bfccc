#!/usr/bin/env bash
# The release files (scripts/package) and the setup program under Wine: the zip's contents, the version in
# the file names against the version the program carries, a silent install into the system folder with its
# entry in Apps, "make Lumar the current screen saver", the installed saver's full-screen and configure
# modes, an install over an older version, and silent uninstalls that keep or remove the user's settings.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin 1024x768x24
dist="$E2E_WORK/dist"
mkdir -p "$dist"
if ! "$e2e_root/scripts/package" --scr "$E2E_SCR" --out "$dist" >"$dist/package.log" 2>&1; then
  cat "$dist/package.log" >&2
  e2e_fail "scripts/package failed"
  e2e_finish
fi

# The version a program carries in its properties ("FileVersion" and the FILEVERSION numbers).
carried_version() {
  x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n 's/.*VALUE "FileVersion", "\(.*\)".*/\1/p' | head -n 1
}
carried_numbers() {
  x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n 's/^ *FILEVERSION *//p' | head -n 1 | tr -d ' \r'
}

setups=("$dist"/lumar-*-setup.exe)
zips=("$dist"/lumar-*-win64.zip)
e2e_check "one setup program and one zip (${#setups[@]}, ${#zips[@]})" [ "${#setups[@]} ${#zips[@]}" = "1 1" ]
setup="${setups[0]}"
zip_file="${zips[0]}"
named_version=$(basename "$setup" | sed 's/^lumar-\(.*\)-setup\.exe$/\1/')
e2e_check "both file names carry one version ($named_version)" \
  [ "$(basename "$zip_file")" = "lumar-$named_version-win64.zip" ]

entries=$(unzip -Z1 "$zip_file" | sort | tr '\n' ' ')
e2e_check "the zip holds exactly lumar.scr, README.txt, LICENSE.txt, lumar-guide.html (got: $entries)" \
  [ "$entries" = "LICENSE.txt README.txt lumar-guide.html lumar.scr " ]
mkdir -p "$dist/unzipped"
unzip -q "$zip_file" -d "$dist/unzipped"
packed="$dist/unzipped/lumar.scr"
e2e_check "the packed lumar.scr carries the version of the file names ($(carried_version "$packed"))" \
  [ "$(carried_version "$packed")" = "$named_version" ]
e2e_check "... in its FILEVERSION numbers too ($(carried_numbers "$packed"))" \
  [ "$(carried_numbers "$packed")" = "$(tr . , <<<"$named_version"),0" ]
e2e_check "the setup program carries that version ($(carried_version "$setup"))" \
  [ "$(carried_version "$setup")" = "$named_version" ]
e2e_check "the read-me names the version" grep -q "Lumar $named_version" "$dist/unzipped/README.txt"
e2e_check "the licence is the MIT licence" grep -q "MIT License" "$dist/unzipped/LICENSE.txt"

system_folder="$WINEPREFIX/drive_c/windows/system32"
installed="$system_folder/lumar.scr"
program_folder="$WINEPREFIX/drive_c/Program Files/Lumar"
uninstaller="C:\\Program Files\\Lumar\\uninstall.exe"
entry_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumar'
desktop_key='HKCU\Control Panel\Desktop'
settings_key='HKCU\Software\Korvan\Lumar'

# The data of a registry value, or nothing when it (or its key) is absent.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]*/, ""); print; exit }'
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
key_absent() { ! key_exists "$1"; }
between() { [ "$1" -ge "$2" ] && [ "$1" -lt "$3" ]; }  # between value low high

install() {  # install [options]: runs the setup program silently
  wine "$setup" /S "$@" >"$E2E_WORK/setup.out" 2>&1
  e2e_check "setup /S $* exits with 0" [ $? = 0 ]
}

# The uninstaller copies itself away and returns at once; its entry in Apps goes last, so its removal
# means the uninstaller has finished.
uninstall() {  # uninstall [options]
  local i
  wine "$uninstaller" /S "$@" >"$E2E_WORK/uninstall.out" 2>&1
  for ((i = 0; i < 120; i++)); do
    key_exists "$entry_key" || { sleep 1; return 0; }
    sleep 0.5
  done
  e2e_fail "uninstall /S $*: the entry in Apps is still there after 60 s"
}

check_installed() {  # check_installed "what"
  e2e_check "$1: lumar.scr is in the system folder, the packed file itself" cmp -s "$installed" "$packed"
  e2e_check "$1: the entry's name" [ "$(reg_value "$entry_key" DisplayName)" = "Lumar screen saver" ]
  e2e_check "$1: the entry's version" [ "$(reg_value "$entry_key" DisplayVersion)" = "$named_version" ]
  e2e_check "$1: the entry's publisher" [ "$(reg_value "$entry_key" Publisher)" = "Korvan" ]
  local size kib
  size=$(($(reg_value "$entry_key" EstimatedSize)))
  kib=$(($(stat -c %s "$installed") / 1024))
  e2e_check "$1: the entry's size ($size KiB) covers lumar.scr ($kib KiB)" between "$size" "$kib" $((kib * 2))
  e2e_check "$1: the entry's uninstaller exists" test -f "$program_folder/uninstall.exe"
  e2e_check "$1: the entry's uninstall command" [ "$(reg_value "$entry_key" UninstallString)" = "\"$uninstaller\"" ]
}

check_removed() {  # check_removed "what"
  e2e_check "$1: lumar.scr is gone" [ ! -e "$installed" ]
  e2e_check "$1: the entry in Apps is gone" key_absent "$entry_key"
  e2e_check "$1: the program folder is gone" [ ! -e "$program_folder" ]
}

# The user's settings before anything is installed, and another saver as the current one.
e2e_store_preset 14
record=$(reg_value "$settings_key" Pars)
e2e_check "a settings record to keep" [ ${#record} -gt 100 ]
wine reg add "$desktop_key" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\other.scr' /f >/dev/null 2>&1

install
check_installed "a silent install"
e2e_check "a silent install without /CURRENT leaves the current saver" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ]
uninstall
check_removed "uninstall"
e2e_check "uninstall leaves another current saver alone" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ]
e2e_check "uninstall keeps the settings" [ "$(reg_value "$settings_key" Pars)" = "$record" ]

install /CURRENT
check_installed "an install with /CURRENT"
e2e_check "/CURRENT makes Lumar the current saver ($(reg_value "$desktop_key" SCRNSAVE.EXE))" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\lumar.scr' ]
e2e_check "/CURRENT turns the saver on" [ "$(reg_value "$desktop_key" ScreenSaveActive)" = 1 ]

# The installed file runs as Windows starts it: full screen until a key, and the configuration dialog.
E2E_SCR="$installed"
e2e_start /s
if e2e_wait_window 30 >/dev/null && e2e_wait_drawn 30; then
  e2e_log "ok: the installed saver draws full screen"
  xdotool key space
else
  e2e_fail "the installed saver shows nothing ($(tail -n 3 "$E2E_WORK/saver.out"))"
fi
e2e_ended_cleanly "the installed saver, /s"
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

# Over an older version: its file and entry are replaced, the settings and the current saver kept.
cp "$e2e_root/VERSION" "$installed"
wine reg add "$entry_key" /v DisplayVersion /t REG_SZ /d 0.9.0 /f >/dev/null 2>&1
install
check_installed "an install over an older version"
e2e_check "an install over an older version keeps the settings" [ "$(reg_value "$settings_key" Pars)" = "$record" ]
e2e_check "an install over an older version keeps Lumar the current saver" \
  [ "$(reg_value "$desktop_key" SCRNSAVE.EXE)" = 'C:\windows\system32\lumar.scr' ]

uninstall
check_removed "uninstall of the current saver"
e2e_check "uninstall clears the current saver that names Lumar" [ -z "$(reg_value "$desktop_key" SCRNSAVE.EXE)" ]
e2e_check "uninstall keeps the settings without /REMOVESETTINGS" [ "$(reg_value "$settings_key" Pars)" = "$record" ]

install
uninstall /REMOVESETTINGS
check_removed "uninstall /REMOVESETTINGS"
e2e_check "uninstall /REMOVESETTINGS removes the settings" key_absent "$settings_key"

# ---- The user's guide behind the dialog's link button (issue 22) ----
# The zip's guide is the page of docs/USER_GUIDE.md; after a setup install, the lookup of the installed
# lumar.scr (beside it, then the entry's InstallLocation) finds the installed guide; the uninstaller
# removes it with the program folder.
guide_tool() { wine "$E2E_TOOLS/guide_tool.exe" "$@" 2>/dev/null | tr -d '\r'; }
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
e2e_check "uninstall removes the guide: the link button finds none" [ -z "$(guide_tool 'C:\windows\system32\lumar.scr')" ]
# ---- end of the user's guide checks ----

e2e_finish
