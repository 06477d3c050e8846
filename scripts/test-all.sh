#!/bin/sh
# Builds and runs every test: the release build with all suites and its Debian package, the
# sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) without the slow suites, then
# the Windows check (the parts without Qt cross-built with mingw-w64 and tested under Wine).
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
start=$(date +%s)
stamp() { echo "== $1 ($(($(date +%s) - start)) s)"; }

stamp "release build"
cmake --preset default -DZR_BUILD_TESTS=ON
cmake --build --preset default -j "$jobs"
stamp "release tests"
ctest --preset default -j "$jobs"

stamp "package"
# The Debian package of the release build, checked the way a distribution would: lintian (no
# errors or warnings; the two informational tags left are explained in the README) and the
# AppStream validator.
rm -f build/zr_*.deb
(cd build && cpack -G DEB >/dev/null)
lintian --fail-on error,warning build/zr_*.deb
appstreamcli validate --no-net resources/org.zrproject.zr.metainfo.xml

stamp "sanitizer build"
cmake --preset asan
cmake --build --preset asan -j "$jobs"
stamp "sanitizer tests"
ASAN_OPTIONS=detect_leaks=0 ctest --preset asan -j "$jobs"

stamp "Windows check"
ZR_JOBS=$jobs sh scripts/windows-check.sh build-windows
stamp "all done"
