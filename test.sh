#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (with the Qt window and the
# pseudo-terminal tests), a sanitizer build (AddressSanitizer + UBSan) of the core, and the
# fuzz targets.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure_packages.sh
kv7_ensure_packages

export QT_QPA_PLATFORM=offscreen
jobs=${KV7_JOBS:-2}

# Ninja for a new build folder (it starts a dependent's compiles before its libraries link, and
# keeps .ninja_log with every step's time); a folder configured before keeps its generator.
generator() {
    if [ ! -f "$1/CMakeCache.txt" ] && command -v ninja >/dev/null; then echo "-GNinja"; fi
}

# The sanitizer build, its tests and the fuzzing run beside the normal build and tests from the
# start, at the lowest priority: they take what processor time the normal build leaves (its
# links, its waits between targets), then most of it while the paced tests wait on the line, and
# the paced tests still get the processor the moment they need it. They run as a job (a process
# group of their own, in this session so that their priority counts), which ends with this
# script.
sanitized_and_fuzzed() {
    echo "== sanitizer build"
    # -O1 without debug information: the sanitizers need no more, and it builds and runs faster.
    cmake -S . -B build-asan $(generator build-asan) -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS=-O1 \
        -DKV7_SANITIZE=ON -DKV7_WITH_QT=OFF -DKV7_BENCH=OFF >/dev/null
    cmake --build build-asan -j"$jobs"
    echo "== sanitizer tests"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 600
    echo "== fuzz targets"
    scripts/fuzz.sh "${KV7_FUZZ_SECONDS:-20}"
}
mkdir -p build
side_log=build/sanitized-and-fuzzed.log
set -m
nice -n 19 bash -c "$(declare -f generator sanitized_and_fuzzed); set -euo pipefail; jobs=$jobs
    sanitized_and_fuzzed" >"$side_log" 2>&1 &
side=$!
set +m
trap 'kill -- "-$side" 2>/dev/null || true' EXIT

echo "== normal build"
# The benchmarks are built and run by bench/run.sh.
cmake -S . -B build $(generator build) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV7_BENCH=OFF \
    >/dev/null
cmake --build build -j"$jobs"

echo "== normal tests"
normal=0
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300 || normal=$?

side_status=0
wait "$side" || side_status=$?
cat "$side_log"
if [ "$normal" -ne 0 ] || [ "$side_status" -ne 0 ]; then
    echo "test.sh: normal tests exit $normal, sanitizer and fuzzing exit $side_status" >&2
    exit 1
fi
echo "test.sh: every test passed"
