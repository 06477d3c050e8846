#!/usr/bin/env bash
# The key search. First the search alone (Google Benchmark): a PNG, whose first 16 bytes are
# fixed; plain text, whose bytes need only be text bytes (the slowest case); a .doc, which tries
# five layouts; against the floor of computing the state of every seed once. Then the whole
# `zr-cli recover-key` on a 1 GiB file against the same on a 1 KiB one, medians of interleaved
# rounds: it reads only the first bytes, so the ratio stays near 1.
#   bench/recover_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-7}
cli=$build/cli/zr-cli
search=$build/bench/zr_recovery_bench
[[ -x $cli && -x $search ]] || { echo "build first: $cli, $search" >&2; exit 2; }

"$search" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

dir=$(mktemp -d /dev/shm/zr-recover-bench-XXXXXX)
trap 'rm -rf "$dir"' EXIT
{ printf '\211PNG\r\n\032\n\0\0\0\rIHDR'; head -c 1008 /dev/urandom; } >"$dir/plain.png"
printf 'forgotten key\n' | "$cli" transform "$dir/plain.png" "$dir/small.png.ZR" --key-stdin
cp "$dir/small.png.ZR" "$dir/big.png.ZR"
truncate -s 1G "$dir/big.png.ZR"

now() { date +%s.%N; }
for ((i = 0; i < rounds; i++)); do
    for f in small big; do
        t0=$(now)
        "$cli" recover-key "$dir/$f.png.ZR" >/dev/null 2>&1
        echo "$f $(echo "$(now) - $t0" | bc -l)" >>"$dir/times"
    done
done
median() { grep "^$1 " "$dir/times" | awk '{print $2}' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
small=$(median small); big=$(median big)
printf 'zr-cli recover-key, medians of %d rounds (s): 1 KiB file %.3f  1 GiB file %.3f\n' \
    "$rounds" "$small" "$big"
printf '1 GiB / 1 KiB: %.2f   (target <= 1.10)\n' "$(echo "$big / $small" | bc -l)"
