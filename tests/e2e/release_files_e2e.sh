#!/usr/bin/env bash
# The release files as an administrator checks them: two scripts/package runs give the same bytes and
# SHA256SUMS verifies them; a build signed with a throwaway certificate verifies with osslsigncode; the
# notices name every library the linker's map shows; lumar.scr imports only Windows' known DLLs, keeps
# ASLR, DEP and high-entropy addresses, and under Wine takes no d3d9.dll or winmm.dll planted beside it.
set -uo pipefail
shopt -s nullglob
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin 800x600x24
map="$(dirname "$E2E_SCR")/lumar.map"

package() {  # package DIR [arguments]: scripts/package of the tested build into DIR
  local out=$1
  shift
  "$e2e_root/scripts/package" --local --scr "$E2E_SCR" --out "$out" "$@" >"$out.log" 2>&1 ||
    { e2e_fail "scripts/package $* failed: $(tail -n 5 "$out.log")"; return 1; }
}

# --- The same bytes on every run, and checksums that verify -----------------------------------------
first="$E2E_WORK/first"
second="$E2E_WORK/second"
package "$first" && package "$second"
first_files=("$first"/*)
names=$(cd "$first" && printf '%s ' *)
e2e_check "dist holds a setup, a zip, the policy templates' zip, the winget manifests and SHA256SUMS (got: $names)" \
  [ "${#first_files[@]}" = 5 ]
for f in "${first_files[@]}"; do
  e2e_check "a second run gives the same $(basename "$f")" diff -rq "$f" "$second/$(basename "$f")"
done
e2e_check "SHA256SUMS verifies" bash -c "cd '$first' && sha256sum --quiet -c SHA256SUMS"
e2e_check "SHA256SUMS covers the setup and the zip" \
  [ "$(awk '{print $2}' "$first/SHA256SUMS" | grep -c -E -- '-(setup\.exe|win64\.zip)$')" = 2 ]
awk 'NR == 1 { $0 = (substr($0, 1, 1) == "0" ? "1" : "0") substr($0, 2) } 1' "$first/SHA256SUMS" >"$E2E_WORK/sums"
e2e_check "a changed checksum fails the verification" \
  bash -c "cd '$first' && ! sha256sum --quiet -c '$E2E_WORK/sums' >/dev/null 2>&1"

setups=("$first"/lumar-*-setup.exe)
winget_files=("$first"/winget/*.installer.yaml)
if [ "${#setups[@]}" = 1 ] && [ "${#winget_files[@]}" = 1 ]; then
  sha=$(sha256sum "${setups[0]}" | cut -d ' ' -f 1 | tr a-f A-F)
  e2e_check "the winget manifest carries the setup's SHA-256" grep -q "InstallerSha256: $sha\$" "${winget_files[0]}"
  for field in 'InstallerType: nullsoft' 'Scope: machine' 'Silent: /S' 'ReturnResponse: downgrade'; do
    e2e_check "the winget manifest says $field" grep -q "$field" "${winget_files[0]}"
  done
else
  e2e_fail "no single setup and winget manifest to compare"
fi

# --- The packed lumar.scr: no time stamp, known DLLs only, the security flags ------------------------
packed="$E2E_WORK/unzipped/lumar.scr"
zips=("$first"/lumar-*-win64.zip)
[ "${#zips[@]}" = 1 ] && unzip -q -o "${zips[0]}" -d "$E2E_WORK/unzipped"
headers=$(x86_64-w64-mingw32-objdump -p "$packed" 2>&1)
e2e_check "the packed lumar.scr has no link time (Time/Date 0)" grep -q 'Time/Date.*Jan  1 00:00:00 1970' <<<"$headers"
for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
  e2e_check "lumar.scr keeps $flag" grep -qw "$flag" <<<"$headers"
done
resources=$(x86_64-w64-mingw32-windres -i "$packed" -O rc 2>/dev/null)
e2e_check "lumar.scr carries its icon as group 1, the first and only one" \
  [ "$(grep -cE '^[0-9]+ 14 ' <<<"$resources") $(grep -cE '^1 14 ' <<<"$resources")" = "1 1" ]
e2e_check "... with a picture for each of the six sizes from 16 to 256 pixels" \
  [ "$(grep -cE '^[0-9]+ 3 ' <<<"$resources")" = 6 ]
# Windows' known DLLs (the KnownDLLs list of Windows 7 to 11) and the C runtime.
known=" advapi32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll user32.dll shlwapi.dll imm32.dll "
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
e2e_check "lumar.scr imports DLLs at all ($(tr '\n' ' ' <<<"$imports"))" [ -n "$imports" ]
for dll in $imports; do
  e2e_check "the import $dll is a known DLL" [ "${known/ $dll /}" != "$known" ]
done
for dll in d3d9.dll winmm.dll comctl32.dll; do
  e2e_check "$dll is not imported (delay-loaded from the system folder)" [ "${imports/$dll/}" = "$imports" ]
done

# --- A copy in a download folder with a planted d3d9.dll and winmm.dll ------------------------------
# Wine takes its own d3d9 and winmm before a file of that name unless told otherwise; "native first"
# makes it search as Windows does. The probe (a plain LoadLibrary) shows that the stand-in is found there.
downloads="$WINEPREFIX/drive_c/users/Public/Downloads/lumar"
mkdir -p "$downloads"
cp "$packed" "$E2E_TOOLS/planted/d3d9.dll" "$E2E_TOOLS/planted/winmm.dll" "$E2E_TOOLS/library_probe_tool.exe" "$downloads/"
export WINEDLLOVERRIDES="d3d9,winmm=n,b"
probe=$(cd "$downloads" && wine ./library_probe_tool.exe d3d9.dll 2>/dev/null | tr -d '\r')
e2e_check "control: a plain load takes the planted d3d9.dll ($probe)" [ -f "$downloads/d3d9.dll.loaded" ]
rm -f "$downloads"/*.loaded
build_scr="$E2E_SCR"
E2E_SCR="$downloads/lumar.scr"
e2e_start_saver /s && xdotool key space
e2e_ended_cleanly "lumar.scr beside planted libraries, /s"
markers=("$downloads"/*.loaded)
e2e_check "lumar.scr loaded neither planted library (markers: ${markers[*]:-none})" [ "${#markers[@]}" = 0 ]
unset WINEDLLOVERRIDES
E2E_SCR="$build_scr"

# --- The notices name every library of the map ------------------------------------------------------
notices="$E2E_WORK/unzipped/THIRD-PARTY-NOTICES.txt"
# What each linked file must find named in the notices.
declare -A named_as=(
  [libjpeg.a]="libjpeg-turbo" [libpthread.a]="winpthreads" [libstdc++.a]="libstdc++" [libgcc.a]="libgcc"
  [libgcc_eh.a]="libgcc_eh" [crtbegin.o]="libgcc" [crtend.o]="libgcc" [crt2.o]="MinGW-w64 runtime"
  [libmingw32.a]="libmingw32" [libmingwex.a]="libmingwex" [libmsvcrt.a]="MinGW-w64 runtime")
listing=$("$e2e_root/scripts/third-party-notices" --list "$map")
e2e_check "the notices script knows every file of the map" [ $? = 0 ]
names_in_notices() { [ -n "$1" ] && grep -qF "$1" "$notices"; }
third_party=0
while IFS=$'\t' read -r file notice; do
  [ "$notice" = ours ] && continue
  third_party=$((third_party + 1))
  name=${file##*/}
  want=${named_as[$name]:-}
  [ -n "$want" ] || { [[ "$file" == */x86_64-w64-mingw32/lib/lib*.a ]] && want="import libraries"; }
  e2e_check "the notices name ${want:-?} for $name" names_in_notices "$want"
done <<<"$listing"
e2e_check "the map shows third-party libraries ($third_party)" [ "$third_party" -ge 8 ]
e2e_check "the libjpeg-turbo notice carries the IJG statement" \
  grep -q "based in part on the work of the Independent JPEG Group" "$notices"
e2e_check "the notices carry the GCC Runtime Library Exception" grep -q "GCC RUNTIME LIBRARY EXCEPTION" "$notices"
sed 's|^Archive member included.*$|&\n\n/opt/somewhere/libunknown.a(unknown.o)\n                              liblumar_core.a(x.o) (y)|' "$map" >"$E2E_WORK/changed.map"
e2e_check "the changed map names the unknown library" grep -q 'libunknown.a(unknown.o)' "$E2E_WORK/changed.map"
e2e_check "a map with a library of unknown origin fails the notices" \
  bash -c "! '$e2e_root/scripts/third-party-notices' '$E2E_WORK/changed.map' '$E2E_WORK/n.txt' 2>/dev/null"

# --- Signed with a throwaway certificate -----------------------------------------------------------
keys="$E2E_WORK/keys"
mkdir -p "$keys"
for who in signer stranger; do
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/$who.key" -out "$keys/$who.pem" -days 2 \
    -subj "/CN=Lumar test $who" -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 ||
    e2e_fail "openssl could not make the $who certificate"
done
verifies() { osslsigncode verify -CAfile "$1" -in "$2" >"$E2E_WORK/verify.out" 2>&1; }
signed="$E2E_WORK/signed"
if package "$signed" --sign-cert "$keys/signer.pem" --sign-key "$keys/signer.key" --no-timestamp; then
  signed_setups=("$signed"/lumar-*-setup.exe)
  signed_zips=("$signed"/lumar-*-win64.zip)
  mkdir -p "$signed/unzipped"
  unzip -q -o "${signed_zips[0]}" lumar.scr -d "$signed/unzipped"
  for file in "${signed_setups[0]}" "$signed/unzipped/lumar.scr"; do
    e2e_check "$(basename "$file") verifies against the signing certificate" verifies "$keys/signer.pem" "$file"
    e2e_check "$(basename "$file") does not verify against another certificate" \
      bash -c "! osslsigncode verify -CAfile '$keys/stranger.pem' -in '$file' >/dev/null 2>&1"
  done
  e2e_check "the unsigned build's files carry no signature" \
    bash -c "! osslsigncode verify -CAfile '$keys/signer.pem' -in '$packed' >/dev/null 2>&1"
  # The uninstaller, signed inside the setup: installed, then checked.
  if wine "${signed_setups[0]}" /S >"$E2E_WORK/signed-setup.out" 2>&1; then
    e2e_check "the installed uninstaller verifies against the signing certificate" \
      verifies "$keys/signer.pem" "$WINEPREFIX/drive_c/Program Files/Lumar/uninstall.exe"
  else
    e2e_fail "the signed setup did not install"
  fi
fi

e2e_finish
