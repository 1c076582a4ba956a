#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (with the Qt window and the
# pseudo-terminal tests) and a sanitizer build (AddressSanitizer + UBSan) of the core.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure_packages.sh
kv7_ensure_packages

export QT_QPA_PLATFORM=offscreen
jobs=${KV7_JOBS:-2}

echo "== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

echo "== sanitizer build"
# -O1 without debug information: the sanitizers need no more, and it builds and runs faster.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS=-O1 -DKV7_SANITIZE=ON -DKV7_WITH_QT=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600

echo "== fuzz targets"
scripts/fuzz.sh "${KV7_FUZZ_SECONDS:-30}"
