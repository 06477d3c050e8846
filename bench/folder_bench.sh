#!/usr/bin/env bash
# Many small files: zr-cli folder and zr-cli batch against cp -r, as ratios from one run.
#   bench/folder_bench.sh [BUILD_DIR] [ROUNDS] [FILES]
# For each place (tmpfs under /dev/shm, and ext4 under /var/tmp: a real disk), FILES files of
# 4 KiB (default 10,000) are copied by cp -r, encrypted by zr-cli folder and by zr-cli batch
# --to; on the disk also with deletion of the sources, against the safe manual equivalent
# cp -r SRC DST && sync && rm -r SRC (each run starts from a flushed disk). Repetitions are
# interleaved and the medians compared, so that a noisy machine shifts all tools alike. Last,
# the peak RSS of zr-cli folder for 100 and for 100,000 files.
set -euo pipefail
build=${1:-build}
rounds=${2:-5}
files=${3:-10000}
cli=$(realpath "$build/cli/zr-cli")
[[ -x $cli ]] || { echo "build first: $cli" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

work=()
cleanup() { rm -rf "${work[@]}"; }
trap cleanup EXIT

now() { date +%s.%N; }
make_tree() { # folder count
    mkdir -p "$1"
    head -c $((4096 * $2)) /dev/urandom | split -b 4096 -a 6 - "$1/f"
}
median() { grep "^$1 " "$2" | awk '{print $2}' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timed() { # times-file name command...
    local out=$1 name=$2; shift 2
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>&1
    t1=$(now)
    echo "$name $(echo "$t1 - $t0" | bc -l)" >>"$out"
}
zr_folder() { printf 'key\n' | "$cli" folder "$1" --key-stdin "${@:2}"; }
# The sources' names are expanded once, before any timing: the shell's listing and sorting of
# them is no work of zr-cli.
batch_sources=()
zr_batch() { # target-folder (made before the timing starts) [--delete-source]
    local dst=$1; shift
    printf 'key\n' | "$cli" batch --key-stdin --to "$dst" "$@" -- "${batch_sources[@]}"
}
# What the shell spends handing 10,000 names to a program (true does nothing with them): it is
# measured in the same rounds and taken off the batch's figure.
handover() { printf 'key\n' | true batch --key-stdin --to x -- "${batch_sources[@]}"; }

place() { # label base-folder
    local label=$1 dir
    dir=$(mktemp -d "$2/zr-folder-bench-XXXXXX")
    work+=("$dir")
    local t=$dir/times src=$dir/src
    make_tree "$src" "$files"
    batch_sources=("$src"/*)
    sync
    for ((i = 0; i < rounds; i++)); do
        for ((k = 0; k < 3; k++)); do
            rm -rf "$dir/cp" "$dir/srcZR" "$dir/batch"
            mkdir "$dir/batch"
            sync
            case $(((i + k) % 3)) in
            0) timed "$t" cp cp -r "$src" "$dir/cp" ;;
            1) timed "$t" folder zr_folder "$src" ;;
            2) timed "$t" batch zr_batch "$dir/batch" ;;
            esac
            ((k == 2)) && timed "$t" handover handover
        done
    done
    local c f b h
    c=$(median cp "$t"); f=$(median folder "$t"); h=$(median handover "$t")
    b=$(echo "$(median batch "$t") - $h" | bc -l)
    printf '%s, %d files of 4 KiB, medians of %d rounds (s): cp -r %.3f  folder %.3f  batch %.3f\n' \
        "$label" "$files" "$rounds" "$c" "$f" "$b"
    printf '  (batch: less %.3f s the shell takes to hand the names to any program)\n' "$h"
    printf '  zr-cli folder / cp -r: %.2f   zr-cli batch / cp -r: %.2f   (target <= 1.3)\n' \
        "$(echo "$f / $c" | bc -l)" "$(echo "$b / $c" | bc -l)"
}

deleting() { # base-folder
    local dir
    dir=$(mktemp -d "$1/zr-folder-bench-XXXXXX")
    work+=("$dir")
    local t=$dir/times
    make_tree "$dir/orig" "$files"
    batch_sources=()
    for f in "$dir/orig"/*; do batch_sources+=("$dir/src/${f##*/}"); done
    for ((i = 0; i < rounds; i++)); do
        for ((k = 0; k < 3; k++)); do
            rm -rf "$dir/src" "$dir/srcZR" "$dir/dst"
            cp -r "$dir/orig" "$dir/src"
            mkdir "$dir/dst"
            sync
            case $(((i + k) % 3)) in
            0) timed "$t" cp sh -c "cp -r '$dir/src' '$dir/dst' && sync && rm -r '$dir/src'" ;;
            1) timed "$t" folder zr_folder "$dir/src" --delete-source ;;
            2) timed "$t" batch zr_batch "$dir/dst" --delete-source ;;
            esac
        done
    done
    local c f b
    c=$(median cp "$t"); f=$(median folder "$t"); b=$(median batch "$t")
    printf 'ext4 with deletion, medians (s): cp -r && sync && rm -r %.3f  folder %.3f  batch %.3f\n' \
        "$c" "$f" "$b"
    printf '  zr-cli folder / cp+sync+rm: %.2f   zr-cli batch / cp+sync+rm: %.2f   (target <= 1.5)\n' \
        "$(echo "$f / $c" | bc -l)" "$(echo "$b / $c" | bc -l)"
}

peak_rss() { # count -> KiB
    local dir
    dir=$(mktemp -d /dev/shm/zr-folder-bench-XXXXXX)
    work+=("$dir")
    mkdir "$dir/src"
    # Empty files: the count, not the bytes, is what the job's memory must not follow.
    (cd "$dir/src" && seq -f 'f%06g' 1 "$1" | xargs touch)
    printf 'key\n' | /usr/bin/time -f '%M' -o "$dir/rss" "$cli" folder "$dir/src" --key-stdin \
        >/dev/null 2>&1
    local kib
    kib=$(tail -1 "$dir/rss")
    rm -rf "$dir"
    echo "$kib"
}

place tmpfs /dev/shm
place ext4 /var/tmp
deleting /var/tmp
r100=$(peak_rss 100); r100k=$(peak_rss 100000)
printf 'peak RSS of zr-cli folder: 100 files %d KiB, 100,000 files %d KiB, growth %d KiB (target < 16384)\n' \
    "$r100" "$r100k" "$((r100k - r100))"
