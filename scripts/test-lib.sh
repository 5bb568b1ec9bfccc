# The test command's reading of CTest's output (scripts/test): each test's time and result, the tests that
# skipped themselves with their reasons, and which skips the command expects.

# "<seconds> <preset>:<name> <result>" for every test in CTest's output $2 of preset $1, e.g.
#   " 12/130 Test  #14: render_large_screen_1280x1024 ....   Passed   95.31 sec". A name with spaces (a
# parameterised test's "  # GetParam() = ...") is cut at its first space.
test_times() {
  sed -nE 's/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: +([^ ]+)( .*[^.])? \.+(\*\*\*| +)([A-Za-z][A-Za-z ]*[a-z]) +([0-9.]+) sec.*/\5 \1 \4/p' "$2" |
    awk -v preset="$1" '{ name = $2; seconds = $1; $1 = ""; $2 = ""; sub(/^ +/, ""); print seconds, preset ":" name, $0 }'
}

# "<name>|<reason>" for every test that skipped itself, from CTest's output $1 and its JUnit report $2
# (ctest --output-junit), which keeps every test's output. The reason is the line GoogleTest prints after
# "Skipped"; a skip that gave none says so.
test_skips() {
  local reasons
  reasons=$(tr -d '\r' <"$2" 2>/dev/null | awk '
    /<testcase name="/ { name = $0; sub(/.*<testcase name="/, "", name); sub(/".*/, "", name); next }
    next_is_reason { print name "|" $0; next_is_reason = 0 }
    /: Skipped$/ { next_is_reason = 1 }
  ')
  test_times - "$1" | awk '$3 == "Skipped" { sub(/^-:/, "", $2); print $2 }' | while read -r name; do
    reason=$(awk -F'|' -v n="$name" '$1 == n { sub(/^[^|]*\|/, ""); print; exit }' <<<"$reasons")
    echo "$name|${reason:-no reason given}"
  done
}

# Whether the test command expects test $1 to skip itself: the large-screen cases in the shared session,
# whose screen is smaller (they run in sessions of their own size), and the AVX2 comparisons on a
# processor without AVX2 ($LUMAR_CPU_FLAGS, default /proc/cpuinfo). Any other skip fails the run.
test_skip_expected() {
  case "$1" in
    *LargeScreen*) return 0 ;;
    *MatchesTheReferenceBitForBitOnRandomFrames*)
      ! grep -qw avx2 "${LUMAR_CPU_FLAGS:-/proc/cpuinfo}" 2>/dev/null
      return
      ;;
  esac
  return 1
}

# Prints the skips of preset $1 from its CTest output $2 and JUnit report $3, each with its reason and
# whether it was expected; returns the number of unexpected ones (at most 255).
test_report_skips() {
  local name reason unexpected=0
  while IFS='|' read -r name reason; do
    [ -n "$name" ] || continue
    if test_skip_expected "$name"; then
      echo "  skipped ($1): $name: $reason"
    else
      echo "  UNEXPECTED SKIP ($1): $name: $reason"
      unexpected=$((unexpected + 1))
    fi
  done < <(test_skips "$2" "$3")
  return $((unexpected > 255 ? 255 : unexpected))
}
