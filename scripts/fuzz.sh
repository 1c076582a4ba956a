#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) and runs each for a
# bounded time; any finding fails the run. Longer run: scripts/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
jobs=${KV7_JOBS:-2}
# -O1 with line tables: a finding still names its lines, and the build takes less time.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKV7_FUZZ=ON -DKV7_WITH_QT=OFF \
    -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" >/dev/null
targets=(fuzz_driver_receive fuzz_answer_acceptance fuzz_hex_helpers fuzz_const_ini fuzz_image_file
    fuzz_test_set_reply)
[ -f tests/fuzz/fuzz_private_profile.cpp ] && targets+=(fuzz_private_profile)
cmake --build build-fuzz -j"$jobs" --target "${targets[@]}"
# The targets are independent and each runs on one core: run them $jobs at a time, each with its
# whole time, and print each one's tail when it ends.
run_target() {
    local t=$1 seeds=tests/fuzz/corpus/${1#fuzz_} work=build-fuzz/corpus/${1#fuzz_}
    mkdir -p "$work" "$seeds"
    "build-fuzz/tests/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ "$work" "$seeds" >"build-fuzz/$t.log" 2>&1
}
failed=()
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
    batch=("${pending[@]:0:$jobs}")
    pending=("${pending[@]:$jobs}")
    pids=()
    for t in "${batch[@]}"; do
        echo "-- $t for ${seconds}s"
        run_target "$t" &
        pids+=($!)
    done
    for i in "${!batch[@]}"; do
        t=${batch[$i]}
        if ! wait "${pids[$i]}"; then
            failed+=("$t")
        fi
        echo "-- $t:"
        tail -n 12 "build-fuzz/$t.log"
    done
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing: finding in ${failed[*]}" >&2
    exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no finding"
