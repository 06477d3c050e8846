#!/bin/sh
# The desktop program in real X windows, driven the way a user drives it: xdotool presses keys
# through the X server, which delivers them to the focused control. Needs an X display (run
# under with_xvfb.sh), xdotool and zr-cli for the expected bytes.
#   real_window_test.sh ZR ZR_CLI
set -eu
zr=$1
cli=$2
work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# The program writes its desktop association at every start: into a throwaway home.
HOME="$work/home"
export HOME
unset XDG_DATA_HOME XDG_CONFIG_HOME
mkdir -p "$HOME" "$work/files"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Starts zr for one file and waits until its window is shown and has the input focus.
start() {
  "$zr" "$1" >"$work/out" 2>&1 &
  pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
  [ -n "$window" ] || fail "no window for $1"
  xdotool windowfocus --sync "$window"
}

# Waits for a window of the program with exactly this title.
wait_for_title() {
  i=0
  while [ $i -lt 200 ]; do
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      [ "$(xdotool getwindowname "$w")" = "$1" ] && return 0
    done
    sleep 0.05
    i=$((i + 1))
  done
  fail "no window titled \"$1\""
}

stop() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
}

# What the job must write: the source through the keystream of the key.
expect_encrypted() {
  printf '%s\n' "$2" | "$cli" transform "$1" "$work/expected" --key-stdin >/dev/null 2>&1
  cmp -s "$work/expected" "$1.ZR" || fail "$1.ZR is not the source under the key"
  rm -f "$work/expected"
}

head -c 200000 /dev/urandom >"$work/files/plain.doc"
cp "$work/files/plain.doc" "$work/files/keypad.doc"
cp "$work/files/plain.doc" "$work/files/help.doc"
# A name in GBK bytes ("测试.doc"), as archives made on Windows unpack them.
gbk="$work/files/$(printf '\262\342\312\324').doc"
cp "$work/files/plain.doc" "$gbk"

# The key twice, then Enter: the job runs and the box titled "注意：" reports it.
for file in "$work/files/plain.doc" "$gbk"; do
  start "$file"
  xdotool type --delay 30 'K3y!'
  xdotool key Tab
  xdotool type --delay 30 'K3y!'
  xdotool key Return
  wait_for_title "注意："
  expect_encrypted "$file" 'K3y!'
  stop
done

# Keypad Enter works like Enter.
start "$work/files/keypad.doc"
xdotool type --delay 30 'pad'
xdotool key Tab
xdotool type --delay 30 'pad'
xdotool key KP_Enter
wait_for_title "注意："
expect_encrypted "$work/files/keypad.doc" 'pad'
stop

# Enter on the focused "帮  助" opens the help window, and no job runs: from the key field,
# Tab passes the confirmation, the check box, "确  定" and "返  回".
start "$work/files/help.doc"
xdotool key Tab Tab Tab Tab Tab
xdotool key Return
wait_for_title "帮助..."
stop
[ ! -e "$work/files/help.doc.ZR" ] || fail "Enter on the help button wrote a target"
echo "passed"
