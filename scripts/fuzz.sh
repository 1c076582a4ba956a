#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) and runs each for a
# bounded time; any finding fails the run. Longer run: scripts/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
jobs=${KV7_JOBS:-2}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKV7_FUZZ=ON -DKV7_WITH_QT=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(fuzz_driver_receive fuzz_answer_acceptance fuzz_hex_helpers fuzz_const_ini fuzz_image_file)
[ -f tests/fuzz/fuzz_private_profile.cpp ] && targets+=(fuzz_private_profile)
cmake --build build-fuzz -j"$jobs" --target "${targets[@]}"
for t in "${targets[@]}"; do
    seeds=tests/fuzz/corpus/${t#fuzz_}
    work=build-fuzz/corpus/${t#fuzz_}
    mkdir -p "$work" "$seeds"
    echo "-- $t for ${seconds}s"
    "build-fuzz/tests/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/ "$work" "$seeds" 2>&1 | tail -n 12
done
echo "fuzzing: ${#targets[@]} targets, no finding"
