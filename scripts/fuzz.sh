#!/bin/sh
# Builds the libFuzzer harnesses of fuzz/ with clang (every library instrumented, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for a fixed time, starting from
# its committed seed corpus. New inputs go to the build folder, never into the sources. An input
# that fails is kept as BUILD/artifacts/NAME-crash-…: copy it into fuzz/crashes/NAME/ with the
# fix, and the ordinary test run replays it from then on.
#
# Usage: scripts/fuzz.sh [build folder] [seconds per harness]   (default: build-fuzz 20)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build-fuzz}
seconds=${2:-20}
jobs=${ZR_JOBS:-$(nproc 2>/dev/null || echo 2)}
launcher=
command -v ccache >/dev/null 2>&1 && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache

cmake -S "$here" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ $launcher \
  -DZR_FUZZ=ON -DZR_BUILD_GUI=OFF -DZR_BUILD_TESTS=OFF -DZR_BUILD_BENCH=OFF >/dev/null
cmake --build "$out" -j "$jobs"

mkdir -p "$out/artifacts"
# One harness per core at a time; each writes its verdict to a file of its own.
run() {
  name=$1
  work="$out/corpus/$name"
  mkdir -p "$work"
  log="$out/fuzz-$name.log"
  dict=
  [ -f "$here/fuzz/$name.dict" ] && dict="-dict=$here/fuzz/$name.dict"
  flags=
  [ -f "$here/fuzz/$name.flags" ] && flags=$(cat "$here/fuzz/$name.flags")
  if "$out/fuzz/fuzz_$name" $dict $flags -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/$name-" "$work" "$here/fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    printf '   ok    %-16s %s runs in %s s\n' "$name" "${runs:-?}" "$seconds" >"$log.verdict"
  else
    { printf '   FAIL  %s (see %s)\n' "$name" "$log"
      grep -E 'check failed|ERROR|Test unit written' "$log" | head -5; } >"$log.verdict"
  fi
}
names=$(cd "$out/fuzz" && ls fuzz_* | sed 's/^fuzz_//')
running=0
for name in $names; do
  run "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait
    running=0
  fi
done
wait
status=0
for name in $names; do
  cat "$out/fuzz-$name.log.verdict"
  grep -q '^   ok' "$out/fuzz-$name.log.verdict" || status=1
done
exit "$status"
