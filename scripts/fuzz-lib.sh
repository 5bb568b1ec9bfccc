# Shared by scripts/fuzz-loader and scripts/fuzz-records: builds one fuzz target of fuzz/ with clang and
# libFuzzer in build/fuzz (the CMake build, so the target takes the portable core's own sources) and
# fuzzes it for a while. Corpus and findings land in build/fuzz/runs/<target>/.
#   lumar_fuzz <target> <seconds> <max_len> -- <command that fills the corpus folder given as "$1">
set -euo pipefail
fuzz_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_build="$fuzz_root/build/fuzz"

lumar_fuzz() {
  local target=$1 seconds=$2 max_len=$3
  shift 4
  command -v clang++ >/dev/null || {
    echo "fuzz: clang++ is not installed (Debian's clang and libclang-rt-14-dev)" >&2
    exit 1
  }
  mkdir -p "$fuzz_build"
  if ! cmake -S "$fuzz_root" -B "$fuzz_build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAR_SANITIZE=ON -DLUMAR_FUZZ_ENGINE=libfuzzer \
    >"$fuzz_build/configure.log" 2>&1; then
    cat "$fuzz_build/configure.log" >&2
    exit 1
  fi
  cmake --build "$fuzz_build" --target "$target"
  local work="$fuzz_build/runs/$target"
  mkdir -p "$work/corpus" "$work/findings"
  "$@" "$work/corpus"
  cd "$work/findings"
  "$fuzz_build/$target" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=3072 -timeout=20 \
    -print_final_stats=1 "$work/corpus"
}
