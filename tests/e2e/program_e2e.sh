#!/usr/bin/env bash
# lumar.scr as a file Windows installs: a GUI program with its resources, needing only system DLLs; and
# command lines that make no sense end quietly.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

headers=$(x86_64-w64-mingw32-objdump -p "$E2E_SCR")
e2e_check "GUI subsystem" grep -q 'Subsystem.*(Windows GUI)' <<<"$headers"
allowed=" advapi32.dll comctl32.dll comdlg32.dll d3d9.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll winmm.dll "
# No DLL line read means objdump failed or printed something else: nothing would be checked.
dlls=$(e2e_imported_dlls "$E2E_SCR")
e2e_check "the import table was read (DLLs: $(tr '\n' ' ' <<<"$dlls"))" grep -qix 'kernel32.dll' <<<"$dlls"
while read -r dll; do
  [ -n "$dll" ] || continue
  case "$allowed" in
    *" ${dll,,} "*) e2e_log "ok: imports $dll" ;;
    *) e2e_fail "imports $dll, which is not a system DLL" ;;
  esac
done <<<"$dlls"

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
# The windows of lumar.scr's class (a message box included); "" when none, "failed" when xdotool failed.
program_windows() {
  local out
  out=$(xdotool search --onlyvisible --class lumar.scr 2>"$E2E_WORK/xdotool.err")
  [ $? -le 1 ] && [ ! -s "$E2E_WORK/xdotool.err" ] && echo "$out" || echo failed
}
# Waits up to 30 s for the program to end; a message box it shows meanwhile (password change without the
# system's password library says so) is answered with Return. Prints the exit code, or "running".
end_answering_boxes() {
  local i box
  for ((i = 0; i < 300; i++)); do
    [ -f "$E2E_WORK/exit" ] && break
    box=$(program_windows)
    if [ -n "$box" ] && [ "$box" != failed ]; then
      xdotool key --window "$(head -n 1 <<<"$box")" Return 2>/dev/null
      sleep 0.5
    fi
    sleep 0.1
  done
  e2e_wait_exit 5
}
for arguments in "/p" "/p abc" "/p 99999999999999999999" "-p -7" "/a:"; do
  e2e_start $arguments
  case "$arguments" in
    /a*) code=$(end_answering_boxes) ;;
    *) code=$(e2e_wait_exit 30) ;;
  esac
  [ "$code" = running ] && e2e_kill_wine
  # Exit code 0 only: a crash has a code of its own, and one that never ends shows "running".
  e2e_check "'$arguments' ends quietly with code 0 (got $code)" [ "$code" = 0 ]
  e2e_check "'$arguments' leaves no window (found: $(program_windows))" [ -z "$(program_windows)" ]
done

e2e_finish
