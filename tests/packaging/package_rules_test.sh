#!/usr/bin/env bash
# The release rules of scripts/package, checked without a build: the changelog decides whether a version
# may be released, --snapshot makes a pre-release from the last commit's date, the release address must
# be https, signing needs a time stamp; and scripts/check-winget passes the manifests scripts/package
# writes and fails broken ones. Each refusal must come with its own message.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check "what" command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}

# A tree with scripts/package and what it reads before the build, in a git repository of one commit.
tree="$work/tree"
mkdir -p "$tree/scripts" "$tree/packaging"
cp "$root/scripts/package" "$root/scripts/winget-manifests" "$root/scripts/check-winget" "$tree/scripts/"
cp -r "$root/packaging/winget" "$tree/packaging/"
echo 1.2.3 >"$tree/VERSION"
touch "$tree/fake.scr" "$tree/lumar.map"
git -C "$tree" init -q
git -C "$tree" add -A
GIT_COMMITTER_DATE='2026-12-10T09:05:00Z' git -C "$tree" -c user.name=t -c user.email=t@invalid commit -q -m one

changelog() { printf '# Changelog\n\n%s\n\n- a change\n\n## 1.2.2\n\n- older\n' "$1" >"$tree/CHANGELOG.md"; }
# run_package ARGS...: sets $out to what it printed and $rc to its exit code.
run_package() {
  out=$("$tree/scripts/package" --scr "$tree/fake.scr" --out "$work/dist" "$@" 2>&1)
  rc=$?
}
refused_with() {  # refused_with TEXT: the last run failed and said TEXT
  [ "$rc" != 0 ] && grep -qF -- "$1" <<<"$out" || { echo "  (exit code $rc, said: $out)" >&2; return 1; }
}
# Past every rule checked before the build: the fake lumar.scr is then refused for its version.
past_the_rules() { [ "$rc" != 0 ] && grep -qF "carries version ''" <<<"$out" || { echo "  (said: $out)" >&2; return 1; }; }

url=(--release-url https://downloads.example.org/lumar/1.2.3)
changelog '## Unreleased'
run_package "${url[@]}"
check '"Unreleased" on top is refused' refused_with 'newest section is "Unreleased"'
changelog '## 1.2.4'
run_package "${url[@]}"
check 'a version without a changelog section is refused' refused_with 'no section for 1.2.3'
printf '# Changelog\n\n## 1.2.4\n\n## 1.2.3\n' >"$tree/CHANGELOG.md"
run_package "${url[@]}"
check 'a version whose section is not the newest is refused' refused_with 'newest section is "1.2.4", not 1.2.3'
changelog '## 1.2.3 — 2026-12-10'
run_package "${url[@]}"
check 'the newest section of this version passes' past_the_rules
changelog '## 1.2.30'
run_package "${url[@]}"
check '1.2.30 is not a section of 1.2.3' refused_with 'no section for 1.2.3'

changelog '## Unreleased'
run_package --snapshot --local
check '--snapshot is 1.2.3-dev.<commit date and time, UTC>, "Unreleased" or not' \
  grep -qF "not '1.2.3-dev.202612100905'" <<<"$out"
run_package --snapshot --version 1.2.3 --local
check '--snapshot with --version is refused' refused_with '--snapshot takes its version'
run_package --local
check '--local waives the changelog and the release address' past_the_rules

changelog '## 1.2.3'
run_package
check 'no release address is refused' refused_with 'no release address'
for address in http://downloads.example.org/x 'https://' 'ftp://x' 'https://a b'; do
  run_package --release-url "$address"
  check "the release address '$address' is refused" refused_with 'is not an https:// address'
done

# Signing: a time stamp unless --no-timestamp; a token needs its library and a pkcs11: URI.
touch "$work/cert.pem" "$work/key.pem" "$work/module.so"
run_package --local --sign-cert "$work/cert.pem" --sign-key "$work/key.pem"
check 'signing without a time-stamping server is refused' refused_with 'signing needs a time-stamping server'
run_package --local --sign-cert "$work/cert.pem" --sign-key "$work/key.pem" --no-timestamp
check '... unless --no-timestamp' past_the_rules
run_package --local --no-timestamp
check '--no-timestamp without signing is refused' refused_with '--no-timestamp without signing'
run_package --local --sign-cert "$work/cert.pem" --sign-pkcs11-module "$work/none.so" --sign-key-id 'pkcs11:object=k' --no-timestamp
check 'a missing PKCS#11 library is refused' refused_with "the PKCS#11 library"
run_package --local --sign-cert "$work/cert.pem" --sign-pkcs11-module "$work/module.so" --sign-key-id 'k1' --no-timestamp
check 'a key id that is no pkcs11: URI is refused' refused_with 'pkcs11: URI'
run_package --local --sign-cert "$work/cert.pem" --sign-key "$work/key.pem" --sign-pkcs11-module "$work/module.so" --sign-key-id 'pkcs11:object=k' --no-timestamp
check 'a key file and a token together are refused' refused_with 'not both'
run_package --local --sign-cert "$work/cert.pem" --sign-key "$work/key.pem" --timestamp-url 'ts.example.org'
check 'a time-stamping server that is no address is refused' refused_with 'is not an http(s) address'
check 'nothing was written to the output folder' [ ! -e "$work/dist" ]

# The winget manifests: written, they pass; each kind of fault fails with its own line.
manifests="$work/winget"
sha=$(printf 'AB%.0s' {1..32})
"$root/scripts/winget-manifests" 1.2.3 https://downloads.example.org/lumar/1.2.3/setup.exe "$sha" "$manifests"
check 'the written manifests pass' "$root/scripts/check-winget" "$manifests"
check 'three of them' [ "$(ls "$manifests" | wc -l)" = 3 ]
installer="$manifests/Korvan.Lumar.installer.yaml"
check 'ProductCode is the uninstall key name' grep -qx 'ProductCode: "Lumar"' "$installer"
check 'AppsAndFeaturesEntries carries the display name' grep -qx '  - DisplayName: "Lumar screen saver"' "$installer"
if [ -n "${LUMAR_WINGET_SCHEMAS:-}" ]; then
  check 'the written manifests pass the published schemas' "$root/scripts/check-winget" "$manifests" --schemas "$LUMAR_WINGET_SCHEMAS"
fi
broken() {  # broken "what" SED-EXPRESSION FILE EXPECTED-TEXT
  local copy="$work/broken"
  rm -rf "$copy" && cp -r "$manifests" "$copy"
  sed -i "$2" "$copy/$3"
  local said status
  said=$("$root/scripts/check-winget" "$copy" 2>&1)
  status=$?
  if [ "$status" != 1 ] || ! grep -qF -- "$4" <<<"$said"; then
    echo "FAILED: $1: expected a failure saying '$4', got: $said" >&2
    failures=$((failures + 1))
  else
    echo "ok: $1 fails the check"
  fi
}
broken 'a download address that is no address' 's|InstallerUrl: https://|InstallerUrl: |' Korvan.Lumar.installer.yaml "does not match"
broken 'an empty ProductCode' 's|^ProductCode: "Lumar"|ProductCode: ""|' Korvan.Lumar.installer.yaml "ProductCode"
broken 'a short SHA-256' 's|InstallerSha256: AB|InstallerSha256: |' Korvan.Lumar.installer.yaml "InstallerSha256"
broken 'a return code of 0' 's|InstallerReturnCode: 32|InstallerReturnCode: 0|' Korvan.Lumar.installer.yaml "InstallerReturnCode"
broken 'another version in one file' 's|PackageVersion: 1.2.3|PackageVersion: 1.2.4|' Korvan.Lumar.locale.en-US.yaml "not Korvan.Lumar 1.2.3"
broken 'a missing license' '/^License:/d' Korvan.Lumar.locale.en-US.yaml "'License' is a required property"
rm "$manifests/Korvan.Lumar.yaml"
out=$("$root/scripts/check-winget" "$manifests" 2>&1)
rc=$?
check 'a missing version manifest fails the check' refused_with 'no version manifest'

[ "$failures" = 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "all checks passed"
