#!/usr/bin/env bash
# Builds the libFuzzer targets of the platform-free code with clang in
# BUILD/fuzz and runs them.
#   tools/fuzz.sh BUILD SECONDS [TARGET...]  each target for SECONDS, one after
#                                            the other, then a table of figures
#   tools/fuzz.sh BUILD smoke                the short smoke of every target (ctest)
# A target's corpus grows in BUILD/fuzz/corpus/<target> (seeded from
# fuzz/corpus/<target>); an input that fails is kept in BUILD/fuzz/artifacts.
# Exits non-zero when any target failed.
set -euo pipefail
build=$(realpath -m "$1")
mode=${2:-120}
shift 2 || shift $#
src=$(cd "$(dirname "$0")/.." && pwd)
dir="$build/fuzz"

if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$dir" -DZUR_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j "${JOBS:-$(nproc)}" >"$dir/build.log" 2>&1 || { cat "$dir/build.log"; exit 1; }

if [ "$mode" = smoke ]; then
  cd "$dir" && exec ctest --output-on-failure
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(sed -n 's/^set(ZUR_FUZZ_TARGETS \(.*\))$/\1/p' "$src/fuzz/CMakeLists.txt"))
fi
mkdir -p "$dir/artifacts"
status=0
summary=$(printf '%-14s %12s %8s %8s %8s\n' target runs seconds corpus crashes)
for t in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$t"
  log="$dir/fuzz_$t.log"
  echo "== fuzz_$t for ${mode}s"
  rc=0
  start=$(date +%s)
  "$dir/fuzz/fuzz_$t" -max_total_time="$mode" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/$t-" "$dir/corpus/$t" "$src/fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  seconds=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus=$(sed -n 's/.*DONE .* corp: \([0-9]*\)\/.*/\1/p' "$log" | tail -1)
  crashes=0
  if [ $rc -ne 0 ]; then
    crashes=1
    status=1
    grep -E 'ERROR|property failed|SUMMARY' "$log" | head -5 || true
    echo "   input kept in $dir/artifacts/; full log $log"
  fi
  summary+=$'\n'$(printf '%-14s %12s %8s %8s %8s' "$t" "${runs:-?}" "$seconds" "${corpus:-?}" "$crashes")
done
echo "$summary"
exit $status
