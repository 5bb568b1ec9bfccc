#!/usr/bin/env bash
# lumar.scr as a file Windows installs: a GUI program with its resources, needing only system DLLs; and
# command lines that make no sense end quietly.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

headers=$(x86_64-w64-mingw32-objdump -p "$E2E_SCR")
e2e_check "GUI subsystem" grep -q 'Subsystem.*(Windows GUI)' <<<"$headers"
allowed=" advapi32.dll comctl32.dll comdlg32.dll d3d9.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll winmm.dll "
while read -r dll; do
  case "$allowed" in
    *" ${dll,,} "*) e2e_log "ok: imports $dll" ;;
    *) e2e_fail "imports $dll, which is not a system DLL" ;;
  esac
done < <(sed -n 's/.*DLL Name: //p' <<<"$headers")

resources=$(x86_64-w64-mingw32-windres -i "$E2E_SCR" -O rc 2>/dev/null)
e2e_check "string 1, the description in the saver list, is \"Lumar\"" grep -Eq '^ *1, *"Lumar"' <<<"$resources"
e2e_check "a version resource" grep -q 'VERSIONINFO' <<<"$resources"
e2e_check "an application manifest" grep -Eq '^1 24 ' <<<"$resources"
e2e_check "dialog 101" grep -Eq '^101 DIALOG' <<<"$resources"
for id in 187 188 189; do
  e2e_check "embedded picture $id" grep -Eq "^$id RCDATA" <<<"$resources"
done
e2e_check "bitmap 104" grep -Eq '^104 (BITMAP|2 )' <<<"$resources"

e2e_begin 1024x768x24
for arguments in "/p" "/p abc" "/p 99999999999999999999" "-p -7" "/a:"; do
  e2e_start $arguments
  code=$(e2e_wait_exit 30)
  [ "$code" = running ] && e2e_kill_wine
  case "$arguments" in
    /a*) e2e_check "'$arguments' ends (code $code)" [ "$code" != running ] ;;
    *) e2e_check "'$arguments' ends quietly with code 0 (got $code)" [ "$code" = 0 ] ;;
  esac
  e2e_check "'$arguments' leaves no window" [ -z "$(xdotool search --onlyvisible --class lumar.scr 2>/dev/null)" ]
done

e2e_finish
