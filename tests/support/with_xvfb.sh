#!/bin/sh
# Runs a command against a private X server: with_xvfb.sh COMMAND [ARGS...]. Xvfb chooses a
# free display itself (-displayfd), so tests that run at the same time do not meet; the server
# ends with the command, whose exit status is returned.
set -eu
dir=$(mktemp -d)
xpid=""
trap '[ -n "$xpid" ] && kill "$xpid" 2>/dev/null; rm -rf "$dir"' EXIT
# -noreset: by default the server resets when its last client leaves, and a client that
# connects during the reset (a test starting the next program right after ending one) is refused.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
xpid=$!
i=0
while [ ! -s "$dir/display" ] && [ $i -lt 200 ]; do
  sleep 0.05
  i=$((i + 1))
done
if [ ! -s "$dir/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$dir/log" >&2
  exit 1
fi
DISPLAY=":$(cat "$dir/display")"
export DISPLAY
status=0
"$@" || status=$?
# A failure on a display that went away is the server's, not the program's: say so.
if [ $status -ne 0 ]; then
  kill -0 "$xpid" 2>/dev/null || echo "the X server $DISPLAY had ended during the test" >&2
  [ -s "$dir/log" ] && { echo "the X server said:" >&2; tail -20 "$dir/log" >&2; }
fi
exit $status
