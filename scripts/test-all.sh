#!/bin/sh
# Builds and runs every test: the release build with all suites and its Debian package, the
# sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) without the slow suites, the
# tests of threaded code under ThreadSanitizer, a short run of every fuzz harness, then the
# Windows check (the parts without Qt cross-built with mingw-w64 and tested under Wine).
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

# The engine's read-ahead thread, the jobs prepared ahead of their turn, and the windows'
# background jobs (batch, shredder, single file and folder).
stamp "thread checks build"
cmake --preset tsan
cmake --build --preset tsan -j "$jobs" --target zr_cipher_tests zr_jobs_tests zr_batch_window_tests \
  zr_ui_shredder_tests zr_ui_single_tests zr_ui_single_folder_tests
stamp "thread checks"
for t in cipher/zr_cipher_tests jobs/zr_jobs_tests ui/batch/zr_batch_window_tests ui/shredder/zr_ui_shredder_tests \
  ui/single/zr_ui_single_tests ui/single/zr_ui_single_folder_tests; do
  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1" \
    "build-tsan/tests/$t" --gtest_filter='-Slow*' --gtest_brief=1
done

stamp "fuzzing (20 s per harness)"
ZR_JOBS=$jobs sh scripts/fuzz.sh build-fuzz 20

stamp "Windows check"
ZR_JOBS=$jobs sh scripts/windows-check.sh build-windows
stamp "all done"
