#!/bin/sh
# The Windows check: cross-builds the parts without Qt (the engine, the job layer, the
# command-line parse, the registry writer, the shred engine) with Debian's mingw-w64, runs their
# tests under wine64, then runs the registry writer as C:\Program Files\zr 工具\zr.exe and
# checks with `reg query` that the class-root rows and the per-user mirror hold exactly the
# expected keys and values.
#
# Usage: scripts/windows-check.sh [build folder]   (default: build-windows)
# Installs g++-mingw-w64-x86-64-posix and wine64 with apt-get when they are missing.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build-windows}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=${ZR_JOBS:-2}

log() { printf '== %s\n' "$*"; }
fail() { printf 'windows-check: %s\n' "$*" >&2; exit 1; }

# -- tools -------------------------------------------------------------------------------------
wine=
for w in wine64 /usr/lib/wine/wine64 wine; do
  if command -v "$w" >/dev/null 2>&1; then wine=$(command -v "$w"); break; fi
done
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || [ -z "$wine" ]; then
  log "installing mingw-w64 and wine64"
  sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    g++-mingw-w64-x86-64-posix wine64 >/dev/null
  for w in wine64 /usr/lib/wine/wine64 wine; do
    if command -v "$w" >/dev/null 2>&1; then wine=$(command -v "$w"); break; fi
  done
fi
[ -n "$wine" ] || fail "wine64 not found"
[ -d /usr/src/googletest ] || fail "/usr/src/googletest missing (Debian package googletest)"
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

toolchain=$here/cmake/mingw-w64-x86_64.cmake

# -- GoogleTest for the target -----------------------------------------------------------------
gtest=$out/googletest-install
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  log "building GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$out/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
    -DINSTALL_GTEST=ON -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
  cmake --build "$out/googletest-build" -j "$jobs" >/dev/null
  cmake --install "$out/googletest-build" >/dev/null
fi

# -- the parts without Qt ----------------------------------------------------------------------
log "cross-building"
cmake -S "$here" -B "$out/zr" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_BUILD_GUI=OFF -DZR_BUILD_BENCH=OFF \
  -DCMAKE_PREFIX_PATH="$gtest" -DCMAKE_FIND_ROOT_PATH="$gtest" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
cmake --build "$out/zr" -j "$jobs"

# -- Wine ----------------------------------------------------------------------------------------
export WINEPREFIX="$out/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The Unix side of Wine's text conversions: UTF-8, so that reg's output keeps Chinese.
export LC_ALL=C.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  log "creating the Wine prefix"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
# One server for every run below, stopped at the end.
"$wineserver" -p 60 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

status=0
log "tests under Wine"
for exe in $(find "$out/zr" -name '*_tests.exe' -o -name 'zr_version_check.exe' | sort); do
  name=$(basename "$exe")
  if (cd "$(dirname "$exe")" && "$wine" "$exe" --gtest_brief=1 >"$out/$name.log" 2>&1); then
    printf '   ok    %s (%s)\n' "$name" "$(grep -o '[0-9]* tests\? from [0-9]* test suites\? ran' "$out/$name.log" | head -1)"
  else
    printf '   FAIL  %s\n' "$name"
    cat "$out/$name.log"
    status=1
  fi
done

# -- the registry as Explorer sees it ------------------------------------------------------------
log "registry rows under Wine"
# A fresh start: no keys from the tests above.
for root in 'HKLM\Software\Classes' 'HKCU\Software\Classes'; do
  for key in zrfile .zr command '*\shell'; do
    "$wine" reg delete "$root\\$key" /f >/dev/null 2>&1 || true
  done
done
folder="$WINEPREFIX/drive_c/Program Files/zr 工具"
mkdir -p "$folder"
cp "$out/zr/tests/app/zr_association_probe.exe" "$folder/zr.exe"
"$wine" 'C:\Program Files\zr 工具\zr.exe' >/dev/null 2>&1 || fail "the registry writer did not run"

open='"C:\Program Files\zr 工具\zr.exe" %1'
icon='C:\Program Files\zr 工具\zr.exe,0'
# Every key below the given one, with its values, exactly as reg prints them. reg writes in the
# console code page, which only a Chinese Windows locale makes one that holds Chinese (936); the
# arguments stay ASCII since that locale need not exist on the Unix side.
query() {
  LC_ALL=zh_CN.UTF-8 "$wine" reg query "$1" /s 2>/dev/null | iconv -f GB18030 -t UTF-8 |
    tr -d '\r' | sed '/^$/d'
}
expect() {
  actual=$(query "$1")
  if [ "$actual" = "$2" ]; then
    printf '   ok    %s\n' "$1"
  else
    printf '   FAIL  %s\n--- expected\n%s\n--- found\n%s\n' "$1" "$2" "$actual"
    status=1
  fi
}
# HKEY_CLASSES_ROOT is written through to the machine's classes; the mirror is the user's.
for root in 'HKEY_LOCAL_MACHINE\Software\Classes' 'HKEY_CURRENT_USER\Software\Classes'; do
  expect "$root\\.zr" "$root\\.zr
    (默认)    REG_SZ    zrfile"
  expect "$root\\command" "$root\\command
    (默认)    REG_SZ    $open"
  expect "$root\\zrfile" "$root\\zrfile
    (默认)    REG_SZ    加密文件
$root\\zrfile\\DefaultIcon
    (默认)    REG_SZ    $icon
$root\\zrfile\\shell
$root\\zrfile\\shell\\open
$root\\zrfile\\shell\\open\\command
    (默认)    REG_SZ    $open"
  # (reg leaves out the key it was asked for when that key holds no value)
  expect "$root\\*\\shell" "$root\\*\\shell\\加密解密
$root\\*\\shell\\加密解密\\command
    (默认)    REG_SZ    $open"
done

snapshot() {
  for root in 'HKLM\Software\Classes' 'HKCU\Software\Classes'; do
    for key in zrfile .zr command '*\shell'; do query "$root\\$key"; done
  done
}
# A second start leaves the registry as it was.
first=$(snapshot)
"$wine" 'C:\Program Files\zr 工具\zr.exe' >/dev/null 2>&1
if [ "$first" = "$(snapshot)" ]; then
  printf '   ok    a second start changes nothing\n'
else
  printf '   FAIL  a second start changed the keys\n'
  status=1
fi
# A moved program points every command and the icon at its new folder.
mkdir -p "$WINEPREFIX/drive_c/moved"
cp "$folder/zr.exe" "$WINEPREFIX/drive_c/moved/zr.exe"
"$wine" 'C:\moved\zr.exe' >/dev/null 2>&1
moved=$(snapshot)
old=$(printf '%s\n' "$moved" | grep -c 'zr 工具' || true)
new=$(printf '%s\n' "$moved" | grep -c 'C:\\moved\\zr.exe' || true)
if [ "$old" -eq 0 ] && [ "$new" -eq 8 ]; then
  printf '   ok    a moved program rewrites the commands and the icon\n'
else
  printf '   FAIL  after the move: %s rows still name the old folder, %s the new one (want 0, 8)\n' "$old" "$new"
  status=1
fi

if [ "$status" -eq 0 ]; then log "Windows check passed"; else log "Windows check FAILED"; fi
exit "$status"
