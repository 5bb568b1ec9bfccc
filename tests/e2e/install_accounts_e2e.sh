#!/usr/bin/env bash
# The setup for administrators, under Wine:
# - /PRESET="Kite" gives every user without settings of their own the preset Kite (a name that is no
#   preset's installs without a default);
# - a silent uninstall clears SCRNSAVE.EXE where it names lumar.scr in every loaded user hive (a second
#   account's hive is made under HKEY_USERS\<its SID>, as a loaded profile appears), leaves other savers
#   alone, and leaves an Active Setup command that does the same for the profiles that were not loaded
#   (run here by hand, as Windows runs it at the user's next sign-in); a new install removes that command;
# - an uninstall while the saver holds lumar.scr returns 0, asks for no restart, and leaves no entry for
#   the next restart but the moved-aside file; its temporary copy removes itself; the next setup removes
#   the leftover.
set -uo pipefail
shopt -s nullglob
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin 1024x768x24
dist="$E2E_WORK/dist"
if ! "$e2e_root/scripts/package" --local --scr "$E2E_SCR" --out "$dist" >"$E2E_WORK/package.log" 2>&1; then
  cat "$E2E_WORK/package.log" >&2
  e2e_fail "scripts/package failed"
  e2e_finish
fi
setups=("$dist"/lumar-*-setup.exe)
[ "${#setups[@]}" = 1 ] || { e2e_fail "not one setup program (${#setups[@]})"; e2e_finish; }
mkdir -p "$WINEPREFIX/drive_c/setups"
cp "${setups[0]}" "$WINEPREFIX/drive_c/setups/new.exe"

system_folder="$WINEPREFIX/drive_c/windows/system32"
machine_key='HKLM\Software\Korvan\Lumar'
desktop_key='HKCU\Control Panel\Desktop'
signin_key='HKLM\Software\Microsoft\Active Setup\Installed Components\Korvan.Lumar.Removal'
session_key='HKLM\System\CurrentControlSet\Control\Session Manager'
other_sid='S-1-5-21-1111111111-2222222222-3333333333-1001'
third_sid='S-1-5-21-1111111111-2222222222-3333333333-1002'
other_desktop="HKU\\$other_sid\\Control Panel\\Desktop"
third_desktop="HKU\\$third_sid\\Control Panel\\Desktop"
lumar_path='C:\windows\system32\lumar.scr'

# The data of a registry value, or nothing when it (or its key) is absent.
value_of() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]*/, ""); print; exit }'
}
set_string() { wine reg add "$1" /v "$2" /t REG_SZ /d "$3" /f >/dev/null 2>&1 || e2e_fail "reg add $1 $2 failed"; }
# Runs a command line as a management tool does and sets $code to its whole exit code.
run_waiting() {
  wine "$E2E_TOOLS/exit_code_tool.exe" "$1" >"$E2E_WORK/run.out" 2>&1
  code=$(tr -d '\r' <"$E2E_WORK/run.out" | sed -n 's/^exit code //p' | tail -n 1)
  [ -n "$code" ] || code=none
}
loaded_preset() { wine "$E2E_TOOLS/loaded_settings_tool.exe" 2>/dev/null | tr -d '\r'; }

# ---- The winget manifests against the installed entry ----
installer_manifest="$dist/winget/Korvan.Lumar.installer.yaml"
e2e_check "the winget manifests pass their schema" "$e2e_root/scripts/check-winget" "$dist/winget"
manifest_field() { sed -n "s/^$1: *\"\{0,1\}\([^\"]*\)\"\{0,1\}\$/\1/p" "$installer_manifest" | head -n 1; }
entry_field() { sed -n "s/^ *- $1: *\"\{0,1\}\([^\"]*\)\"\{0,1\}\$/\1/p; s/^    $1: *\"\{0,1\}\([^\"]*\)\"\{0,1\}\$/\1/p" "$installer_manifest" | head -n 1; }
product_code=$(manifest_field ProductCode)
run_waiting 'C:\setups\new.exe /S'
e2e_check "setup /S exits with 0 (got $code)" [ "$code" = 0 ]
entry_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"
e2e_check "the manifest's ProductCode ($product_code) is the installed entry's key name" \
  [ -n "$product_code" -a -n "$(value_of "$entry_key" DisplayName)" ]
e2e_check "the manifest's Apps name is the entry's ($(entry_field DisplayName))" \
  [ "$(entry_field DisplayName)" = "$(value_of "$entry_key" DisplayName)" ]
e2e_check "the manifest's publisher is the entry's ($(entry_field Publisher))" \
  [ "$(entry_field Publisher)" = "$(value_of "$entry_key" Publisher)" ]
e2e_check "the manifest's version is the entry's ($(entry_field DisplayVersion))" \
  [ "$(entry_field DisplayVersion)" = "$(value_of "$entry_key" DisplayVersion)" ]

# ---- /PRESET ----
wine reg delete 'HKCU\Software\Korvan\Lumar' /f >/dev/null 2>&1
e2e_check "control: without a machine default a user without settings gets Clipping ($(loaded_preset))" \
  [ "$(loaded_preset)" = "preset 5 reset 1" ]
run_waiting 'C:\setups\new.exe /S /PRESET="Kite"'
e2e_check "setup /S /PRESET=\"Kite\" exits with 0 (got $code)" [ "$code" = 0 ]
e2e_check "the machine's default is Kite ($(value_of "$machine_key" DefaultPreset))" \
  [ "$(value_of "$machine_key" DefaultPreset)" = Kite ]
e2e_check "a user without settings runs Kite, preset 34 ($(loaded_preset))" [ "$(loaded_preset)" = "preset 34 reset 1" ]
run_waiting 'C:\setups\new.exe /S /PRESET=kite'
e2e_check "a name in other letters is taken as the preset's own ($(value_of "$machine_key" DefaultPreset))" \
  [ "$code $(value_of "$machine_key" DefaultPreset)" = "0 Kite" ]
run_waiting 'C:\setups\new.exe /S /PRESET="Nonesuch"'
e2e_check "/PRESET naming no preset still installs (exit code $code)" [ "$code" = 0 ]
e2e_check "... without a default" [ -z "$(value_of "$machine_key" DefaultPreset)" ]
e2e_check "... and lumar.scr is installed" [ -f "$system_folder/lumar.scr" ]
e2e_check "... and a user without settings gets the built-in defaults ($(loaded_preset))" \
  [ "$(loaded_preset)" = "preset 5 reset 1" ]
run_waiting 'C:\setups\new.exe /S /PRESET=Kite'

# ---- Every loaded hive ----
set_string "$desktop_key" SCRNSAVE.EXE "$lumar_path"
set_string "$other_desktop" SCRNSAVE.EXE '%SystemRoot%\System32\LUMAR.SCR'
set_string "$third_desktop" SCRNSAVE.EXE 'C:\windows\system32\other.scr'
e2e_check "control: the second account's hive names lumar.scr" [ -n "$(value_of "$other_desktop" SCRNSAVE.EXE)" ]
run_waiting @QuietUninstallString
e2e_check "the quiet uninstall returns 0 (got $code)" [ "$code" = 0 ]
e2e_check "the signed-in user's saver is cleared" [ -z "$(value_of "$desktop_key" SCRNSAVE.EXE)" ]
e2e_check "the second account's saver is cleared" [ -z "$(value_of "$other_desktop" SCRNSAVE.EXE)" ]
e2e_check "a third account's other saver stays ($(value_of "$third_desktop" SCRNSAVE.EXE))" \
  [ "$(value_of "$third_desktop" SCRNSAVE.EXE)" = 'C:\windows\system32\other.scr' ]
e2e_check "the uninstall removes the machine's default" [ -z "$(value_of "$machine_key" DefaultPreset)" ]

# ---- The profiles that were not loaded: the Active Setup command, run as at a sign-in ----
stub=$(value_of "$signin_key" StubPath)
version=$(value_of "$signin_key" Version)
e2e_check "the uninstall leaves a sign-in command ($stub)" [ -n "$stub" ]
e2e_check "... with a version that Active Setup compares ($version)" grep -qE '^[0-9]+,[0-9]+,[0-9]+,[0-9]+$' <<<"$version"
# As Active Setup runs it: the command line as it stands, through CreateProcess.
run_stub() { wine "$E2E_TOOLS/exit_code_tool.exe" "$stub" >"$E2E_WORK/stub.out" 2>&1; }
for spelling in "$lumar_path" '%SystemRoot%\System32\LUMAR.SCR' 'lumar.scr'; do
  set_string "$desktop_key" SCRNSAVE.EXE "$spelling"
  run_stub
  e2e_check "at sign-in the saver $spelling is cleared ($(tr -d '\r' <"$E2E_WORK/stub.out" | tail -n 1))" \
    [ -z "$(value_of "$desktop_key" SCRNSAVE.EXE)" ]
done
for spelling in 'C:\windows\system32\other.scr' 'C:\savers\notlumar.scr'; do
  set_string "$desktop_key" SCRNSAVE.EXE "$spelling"
  run_stub
  e2e_check "at sign-in the saver $spelling stays" [ "$(value_of "$desktop_key" SCRNSAVE.EXE)" = "$spelling" ]
done
wine reg delete "$desktop_key" /v SCRNSAVE.EXE /f >/dev/null 2>&1
run_stub
e2e_check "at sign-in no saver at all is harmless" [ -z "$(value_of "$desktop_key" SCRNSAVE.EXE)" ]

# ---- An uninstall while the saver holds lumar.scr ----
run_waiting 'C:\setups\new.exe /S /CURRENT'
e2e_check "a new install removes the sign-in command" [ -z "$(value_of "$signin_key" StubPath)" ]
wine reg delete "$session_key" /v PendingFileRenameOperations /f >/dev/null 2>&1
E2E_SCR="$system_folder/lumar.scr"
if e2e_start_saver /s; then
  run_waiting @QuietUninstallString
  e2e_check "an uninstall while the saver runs returns 0, no restart asked for (got $code)" [ "$code" = 0 ]
  asides=("$system_folder"/lumar-*.old)
  e2e_check "the held file was moved aside (${#asides[@]})" [ "${#asides[@]}" = 1 ]
  pending=$(value_of "$session_key" PendingFileRenameOperations | sed 's/\\0/\n/g' | sed '/^$/d')
  e2e_check "the only entry for the next restart is the moved-aside file ($(tr '\n' ' ' <<<"$pending"))" \
    bash -c '[ -z "$(grep -viE "system32.lumar-[0-9]+\.old$" <<<"$1")" ]' _ "$pending"
  xdotool key space
  e2e_ended_cleanly "the saver that ran during the uninstall"
  temp_folders=("$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp "$WINEPREFIX"/drive_c/users/*/Temp)
  e2e_check "control: the temporary folder where the copy is looked for exists (${temp_folders[*]:-none})" \
    [ "${#temp_folders[@]}" -gt 0 ]
  copies=()
  for ((i = 0; i < 40; i++)); do
    copies=("$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/Lumar\ cleanup*.exe "$WINEPREFIX"/drive_c/users/*/Temp/Lumar\ cleanup*.exe)
    [ "${#copies[@]}" = 0 ] && break
    sleep 0.5
  done
  e2e_check "the uninstaller's temporary copy removed itself (${copies[*]:-none left})" [ "${#copies[@]}" = 0 ]
  strays=("$E2E_WORK"/nul* "$PWD"/nul*)
  e2e_check "its clean-up wrote no stray file into the caller's folder (${strays[*]:-none})" [ "${#strays[@]}" = 0 ]
  run_waiting 'C:\setups\new.exe /S'
  asides=("$system_folder"/lumar-*.old)
  e2e_check "the next setup removes the leftover (${#asides[@]} left)" [ "${#asides[@]}" = 0 ]
  run_waiting @QuietUninstallString
else
  e2e_fail "the installed saver did not start"
fi
e2e_finish
