#!/bin/sh
# The two set-up commands of the README, for a fresh Debian 12 machine:
#   sh scripts/setup.sh run    install what is missing, build, install and start zr
#   sh scripts/setup.sh test   install what is missing, build and run every test
set -eu
mode=${1:-run}
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

build_pkgs="cmake ninja-build g++ qt6-base-dev libgl-dev libxcb1-dev fonts-wqy-microhei qt6-translations-l10n"
test_pkgs="libgtest-dev libgmock-dev googletest libbenchmark-dev xvfb xdotool imagemagick
  desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl openssl e2fsprogs
  dosfstools fusefat clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix wine64 dpkg-dev file lintian appstream"

pkgs=$build_pkgs
[ "$mode" = test ] && pkgs="$pkgs $test_pkgs"
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

case $mode in
run)
  cmake --preset default -DZR_BUILD_TESTS=OFF -DZR_BUILD_BENCH=OFF
  cmake --build --preset default
  $SUDO cmake --install build --strip
  # No trigger watches /usr/local: update the databases the install wrote into (an icon cache
  # only where one is kept, since a stale one would hide icons installed later).
  share=/usr/local/share
  if command -v update-mime-database >/dev/null; then $SUDO update-mime-database $share/mime; fi
  if command -v update-desktop-database >/dev/null; then
    $SUDO update-desktop-database -q $share/applications
  fi
  if [ -f $share/icons/hicolor/icon-theme.cache ] && command -v gtk-update-icon-cache >/dev/null; then
    $SUDO gtk-update-icon-cache -q $share/icons/hicolor
  fi
  exec /usr/local/bin/zr
  ;;
test)
  sh scripts/test-all.sh
  ;;
*)
  echo "usage: sh scripts/setup.sh run|test" >&2
  exit 2
  ;;
esac
