#!/usr/bin/env bash
# Whole-file comparison on a 1 GiB file in the page cache (tmpfs), as ratios from one run:
# zr-cli transform against cp, against a plain read+write loop of the same 32 KiB block size
# (the floor for any program that reads, transforms and writes) and against
# openssl enc -aes-256-ctr. Repetitions are interleaved and the medians compared, so a noisy
# machine shifts all of them alike. Also the peak RSS of zr-cli for 1 MiB and 1 GiB inputs.
#   bench/file_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-7}
cli=$build/cli/zr-cli
plain=$build/bench/zr_plain_copy
[[ -x $cli && -x $plain ]] || { echo "build first: $cli, $plain" >&2; exit 2; }
command -v openssl >/dev/null || { echo "openssl is missing" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

dir=$(mktemp -d /dev/shm/zr-bench-XXXXXX)
trap 'rm -rf "$dir"' EXIT
head -c $((1 << 30)) /dev/urandom >"$dir/src"
head -c $((1 << 20)) /dev/urandom >"$dir/small"

now() { date +%s.%N; }
run() { # name command...
    local name=$1; shift
    rm -f "$dir/dst"
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>&1
    t1=$(now)
    echo "$name $(echo "$t1 - $t0" | bc -l)" >>"$dir/times"
}

key=$(printf '%064d' 0)
iv=$(printf '%032d' 0)
one() {
    case $1 in
    0) run cp cp "$dir/src" "$dir/dst" ;;
    1) run plain "$plain" "$dir/src" "$dir/dst" 32768 ;;
    2) run zr sh -c "printf 'key\n' | '$cli' transform '$dir/src' '$dir/dst' --key-stdin" ;;
    3) run openssl openssl enc -aes-256-ctr -K "$key" -iv "$iv" -in "$dir/src" -out "$dir/dst" ;;
    esac
}
# The order turns from round to round: the first writer after a 1 GiB file was deleted often
# pays for giving its memory back, and that must not always be the same tool.
for ((i = 0; i < rounds; i++)); do
    for ((k = 0; k < 4; k++)); do one $(((i + k) % 4)); done
done

median() { grep "^$1 " "$dir/times" | awk '{print $2}' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
cp_t=$(median cp); plain_t=$(median plain); zr_t=$(median zr); ossl_t=$(median openssl)
printf 'medians of %d rounds (s): cp %.3f  plain r+w %.3f  zr-cli %.3f  openssl aes-256-ctr %.3f\n' \
    "$rounds" "$cp_t" "$plain_t" "$zr_t" "$ossl_t"
printf 'zr-cli / plain read+write loop: %.2f   (target <= 1.10)\n' "$(echo "$zr_t / $plain_t" | bc -l)"
printf 'zr-cli / cp:                    %.2f   (target <= 1.30)\n' "$(echo "$zr_t / $cp_t" | bc -l)"
printf 'zr-cli / openssl aes-256-ctr:   %.2f   (target < 1)\n' "$(echo "$zr_t / $ossl_t" | bc -l)"
printf 'plain read+write loop / cp:     %.2f\n' "$(echo "$plain_t / $cp_t" | bc -l)"
printf 'openssl / cp:                   %.2f\n' "$(echo "$ossl_t / $cp_t" | bc -l)"

rss() { # file -> peak RSS in KiB
    rm -f "$dir/dst"
    printf 'key\n' | /usr/bin/time -f '%M' "$cli" transform "$1" "$dir/dst" --key-stdin 2>&1 >/dev/null | tail -1
}
small_rss=$(rss "$dir/small"); big_rss=$(rss "$dir/src")
printf 'peak RSS: 1 MiB input %d KiB, 1 GiB input %d KiB, difference %d KiB   (target < 8192)\n' \
    "$small_rss" "$big_rss" $((big_rss - small_rss))
