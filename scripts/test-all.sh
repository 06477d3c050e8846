#!/bin/sh
# Builds and runs every test: the release build with all suites, then the sanitizer build
# (AddressSanitizer + UndefinedBehaviorSanitizer) without the slow suites.
set -eu
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset default -DZR_BUILD_TESTS=ON
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

cmake --preset asan
cmake --build --preset asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 ctest --preset asan -j "$jobs"
