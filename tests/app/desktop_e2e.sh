#!/bin/sh
# zr's desktop integration as a user meets it, in a fresh home on a real X display without a
# desktop: the first start, the files the file managers read, a double-click through xdg-open's
# own opener, a default the user chose, and `zr-cli desktop remove`. Run under with_xvfb.sh.
#   desktop_e2e.sh ZR ZR-CLI
set -eu
zr=$(readlink -f "$1")
cli=$(readlink -f "$2")
for tool in xdotool xdg-open xdg-mime; do
  command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trap "exit 1" INT TERM HUP PIPE
fail() { echo "FAILED: $*" >&2; exit 1; }

# No desktop is detected, so xdg-open uses its generic opener; the machine's own data is out of
# the way, but for the freedesktop MIME types and a Thunar with its default actions.
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP DESKTOP_SESSION \
  KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID QT_QPA_PLATFORM
export HOME="$tmp/home" XDG_DATA_DIRS="$tmp/usr/share" XDG_CONFIG_DIRS="$tmp/etc/xdg"
mkdir -p "$HOME" "$tmp/usr/share" "$tmp/etc/xdg/Thunar" "$tmp/files"
ln -s /usr/share/mime "$tmp/usr/share/mime"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<actions>\n<action>\n<name>Open Terminal Here</name>\n<directories/>\n</action>\n</actions>\n' \
  >"$tmp/etc/xdg/Thunar/uca.xml"
echo "mine" >"$HOME/notes.txt"

# Starts zr without a file, waits for its main menu and closes it.
start_once() {
  "$zr" >/dev/null 2>&1 &
  pid=$!
  timeout 30 xdotool search --sync --onlyvisible --pid "$pid" >/dev/null || fail "zr showed no window"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# 1. The first start writes what the file managers read.
start_once
data="$HOME/.local/share"
grep -q "Open Terminal Here" "$HOME/.config/Thunar/uca.xml" || fail "Thunar's own actions were lost"
grep -q "<unique-id>zr-encrypt-decrypt</unique-id>" "$HOME/.config/Thunar/uca.xml" || fail "no Thunar action"
grep -q "^Exec=$zr %F$" "$data/file-manager/actions/zr.desktop" || fail "no file-manager action"
[ -x "$data/nautilus/scripts/加密解密" ] || fail "no Nautilus script"
grep -q "^application/x-zr:zr$" "$data/mime/generic-icons" || fail "the type has no icon"
echo x >"$tmp/files/a.ZR"
[ "$(xdg-mime query filetype "$tmp/files/a.ZR")" = application/x-zr ] || fail "a.ZR is not application/x-zr"

# 2. xdg-open's own opener starts zr's single-file window for the file: the key typed twice
#    and Enter decrypt it.
echo "secret text" >"$tmp/files/report.doc"
printf 'k3y\n' | "$cli" transform "$tmp/files/report.doc" --key-stdin --delete-source >/dev/null
xdg-open "$tmp/files/report.doc.ZR" >/dev/null 2>&1 &
opener=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --class zr | head -1)
[ -n "$window" ] || fail "xdg-open started no zr"
xdotool windowfocus --sync "$window"
xdotool type --delay 50 "k3y"
xdotool key Tab
xdotool type --delay 50 "k3y"
xdotool key Return
for _ in $(seq 100); do [ -f "$tmp/files/report.doc" ] && break; sleep 0.1; done
[ "$(cat "$tmp/files/report.doc" 2>/dev/null)" = "secret text" ] || fail "the file opened was not decrypted"
kill "$(xdotool getwindowpid "$window")"
wait "$opener" 2>/dev/null || true

# 3. A default the user chose survives a start.
printf '[Default Applications]\napplication/x-zr=other.desktop;\n' >"$HOME/.config/mimeapps.list"
start_once
grep -q "^application/x-zr=other.desktop;$" "$HOME/.config/mimeapps.list" || fail "the user's default was replaced"

# 4. remove leaves only the user's own files, and zr's note that it is switched off.
"$cli" desktop remove >/dev/null
left=$(cd "$HOME" && find . -type f ! -path './.cache/*' | sort | tr '\n' ' ')
[ "$left" = "./.config/mimeapps.list ./.config/zr/desktop-integration ./notes.txt " ] ||
  fail "left behind: $left"
start_once
[ ! -e "$data/mime" ] || fail "a start after remove wrote again"
echo "passed"
