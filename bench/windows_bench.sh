#!/usr/bin/env bash
# The windows against the engine they call: real windows under Xvfb driven by xdotool, timed
# from the key press that starts a job to the completion box, against the same work done by
# zr-cli in the same run. Files live in /dev/shm so that disk noise stays out. Repetitions are
# interleaved (the order of window and zr-cli turns from round to round) and medians compared.
#   bench/windows_bench.sh [BUILD_DIR] [ROUNDS] [CASES]
# CASES: any of single,batch1,batchmany,folder (comma-separated; all by default).
#   single     Form1, one 1 GiB file                  vs zr-cli transform
#   batch1     mfiles, one 300 MB file                vs zr-cli batch
#   batchmany  mfiles, 2,000 files of 18 bytes       vs zr-cli batch
#   folder     Form1 folder mode, 10,000 files of 4 KiB vs zr-cli folder
# Needs xvfb, xdotool and x11-utils (xev). Run by hand, not in CI; takes a few minutes.
set -euo pipefail
build=$(realpath "${1:-build}")
rounds=${2:-5}
cases=${3:-single,batch1,batchmany,folder}
zr=$build/app/zr
cli=$build/cli/zr-cli
[[ -x $zr && -x $cli ]] || { echo "build first: $zr, $cli" >&2; exit 2; }
for tool in Xvfb xdotool xev; do
    command -v $tool >/dev/null || { echo "$tool is missing (xvfb, xdotool, x11-utils)" >&2; exit 2; }
done

dir=$(mktemp -d /dev/shm/zr-winbench-XXXXXX)
xpid=
app=
cleanup() {
    [[ -n $app ]] && kill "$app" 2>/dev/null
    [[ -n $xpid ]] && kill "$xpid" 2>/dev/null
    local said
    said=$(grep -v XDG_RUNTIME_DIR "$dir/zr.err" 2>/dev/null | tail -5) || true
    [[ -n $said ]] && echo "zr said: $said" >&2
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# A display of its own, chosen by the server: another X server of the machine going away must
# not take the windows under measurement with it.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" >/dev/null 2>&1 &
xpid=$!
for _ in $(seq 50); do [[ -s $dir/display ]] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$dir/display")"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
# zr writes its desktop integration at every start: into a home of its own here.
export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config XDG_DATA_HOME=$dir/home/.local/share
mkdir -p "$HOME"
unset QT_QPA_PLATFORM
key=benchkey

echo "making the files in $dir ..." >&2
head -c $((1 << 30)) /dev/urandom >"$dir/big"
head -c 300000000 /dev/urandom >"$dir/b300"
mkdir "$dir/many" "$dir/fold"
for i in $(seq -w 1 2000); do printf 'eighteen bytes %03d' $((10#$i % 1000)) | head -c 18 >"$dir/many/f$i"; done
many=("$dir"/many/f*)
head -c $((10000 * 4096)) /dev/urandom | split -a 4 -d -b 4096 - "$dir/fold/f"

# A visible window of the program whose name matches the regex; prints its id. xdotool's own
# name search does not match names outside ASCII, so the names are compared here.
named() { # pid name-regex
    local w
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        [[ $(xdotool getwindowname "$w" 2>/dev/null) =~ $2 ]] && { echo "$w"; return 0; }
    done
    return 1
}
# Waits for such a window; prints its id.
window() { # pid name-regex
    for _ in $(seq 300); do
        named "$1" "$2" && return
        sleep 0.05
    done
    echo "no window $2" >&2
    return 1
}
# Starts zr with arguments (in folder cwd) and waits for its first window.
start() { # cwd args...
    local cwd=$1
    shift
    (cd "$cwd" && exec "$zr" "$@" >/dev/null 2>>"$dir/zr.err") &
    app=$!
    window "$app" '.*' >/dev/null
    sleep 0.5 # the first tick of the windows' timers
}
stop() {
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    app=
}
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; } # window x y
# Presses Return and waits until a box titled $1 is mapped; prints the seconds in between.
timed_return() { # box-title
    local line t0 t1
    coproc XEV { exec xev -root -event substructure; }
    sleep 0.2 # listening before the key goes out
    t0=$EPOCHREALTIME
    xdotool key Return
    while read -r line <&"${XEV[0]}"; do
        [[ $line == MapNotify* ]] || continue
        t1=$EPOCHREALTIME
        named "$app" "^$1\$" >/dev/null && break
    done
    kill "$XEV_PID" 2>/dev/null || true
    wait "$XEV_PID" 2>/dev/null || true
    echo "$t1 - $t0" | bc -l
}
cli_time() { # args... (the key comes from stdin)
    local t0 t1
    t0=$EPOCHREALTIME
    printf '%s\n' "$key" | "$cli" "$@" --key-stdin >/dev/null 2>&1 || true
    t1=$EPOCHREALTIME
    echo "$t1 - $t0" | bc -l
}
# The key dialogs of the batch: Command3, the key, the confirmation; the last Enter is timed.
batch_keys() {
    local m f
    m=$(window "$app" '.')
    focus "$m"
    click "$m" 276 12 # Command3, "开始加密/解密"
    f=$(window "$app" '^输入密码$')
    focus "$f"
    xdotool type "$key"
    xdotool key Return
    sleep 0.3
    f=$(window "$app" '^输入密码$')
    focus "$f"
    xdotool type "$key"
    timed_return '注意'
}

record() { # name seconds; an empty time is a step that failed inside $(...)
    [[ -n $2 ]] || { echo "$1: no time, a step failed" >&2; exit 1; }
    echo "$1 $2" >>"$dir/times"
}
# A run that did not do its work would make any figure meaningless.
expect() { # what count-or-size-now wanted
    [[ $2 == "$3" ]] || { echo "$1: found $2, wanted $3: the run did not do its work" >&2; exit 1; }
}

win_single() {
    rm -f "$dir/big.ZR"
    start "$dir" "$dir/big"
    local w
    w=$(window "$app" '.')
    focus "$w"
    xdotool type "$key"
    xdotool key Tab
    xdotool type "$key"
    record single.window "$(timed_return '注意：')"
    stop
    expect single "$(stat -c %s "$dir/big.ZR")" $((1 << 30))
}
cli_single() {
    rm -f "$dir/big.ZR"
    record single.cli "$(cli_time transform "$dir/big" "$dir/big.ZR")"
}
win_batch1() {
    rm -f "$dir/b300.ZR"
    # A file named twice is listed once, after a warning: the only way to a list of one
    # file from the command line (one name opens the single-file window).
    start "$dir" "$dir/b300" "$dir/b300"
    local wb
    wb=$(window "$app" '^警告$')
    focus "$wb"
    xdotool key Return
    sleep 0.6
    record batch1.window "$(batch_keys)"
    stop
    expect batch1 "$(stat -c %s "$dir/b300.ZR")" 300000000
}
cli_batch1() {
    rm -f "$dir/b300.ZR"
    record batch1.cli "$(cli_time batch "$dir/b300")"
}
win_batchmany() {
    rm -f "$dir"/many/*.ZR
    start "$dir" "${many[@]}"
    record batchmany.window "$(batch_keys)"
    stop
    expect batchmany "$(find "$dir/many" -name '*.ZR' | wc -l)" 2000
}
cli_batchmany() {
    rm -f "$dir"/many/*.ZR
    record batchmany.cli "$(cli_time batch "${many[@]}")"
}
win_folder() {
    rm -rf "$dir/foldZR"
    start "$dir/fold" # the main menu, its folder lists at the working folder
    local m w
    m=$(window "$app" '.')
    focus "$m"
    click "$m" 100 120 # Label4, the folder view
    sleep 0.3
    click "$m" 236 156 # Command1: the folder job in Form1
    sleep 0.5
    w=$(window "$app" '.')
    focus "$w"
    xdotool type "$key"
    xdotool key Tab
    xdotool type "$key"
    record folder.window "$(timed_return '注意：')"
    stop
    expect folder "$(find "$dir/foldZR" -type f | wc -l)" 10000
}
cli_folder() {
    rm -rf "$dir/foldZR"
    record folder.cli "$(cli_time folder "$dir/fold")"
}

IFS=, read -ra chosen <<<"$cases"
for ((i = 0; i < rounds; i++)); do
    for c in "${chosen[@]}"; do
        if ((i % 2)); then "cli_$c"; "win_$c"; else "win_$c"; "cli_$c"; fi
    done
    echo "round $((i + 1)) of $rounds done" >&2
done

median() { grep "^$1 " "$dir/times" | awk '{print $2}' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
declare -A target=([single]=1.15 [batch1]=1.2 [batchmany]=1.5 [folder]=1.2)
printf 'medians of %d rounds (s), window from the key press to the completion box:\n' "$rounds"
for c in "${chosen[@]}"; do
    w=$(median "$c.window")
    k=$(median "$c.cli")
    printf '%-10s window %.3f  zr-cli %.3f  ratio %.2f  (target <= %s)\n' "$c" "$w" "$k" \
        "$(echo "$w / $k" | bc -l)" "${target[$c]}"
done
