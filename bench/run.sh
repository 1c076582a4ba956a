#!/usr/bin/env bash
# Builds the benchmarks and prints every figure against its line-time floor and its target,
# all measured in this one run, with the machine they ran on.
#   bench/run.sh [--record] [kv7_line_bench options]
# --record also puts the dated table at the top of bench/RESULTS.md.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure_packages.sh
kv7_ensure_packages

record=0
if [ "${1:-}" = "--record" ]; then
    record=1
    shift
fi

export QT_QPA_PLATFORM=offscreen
jobs=${KV7_JOBS:-2}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV7_BENCH=ON >/dev/null
cmake --build build -j"$jobs" --target kv7_line_bench kv7_parser_bench kv7_align_bench \
    kv7-radio-sim >/dev/null

parser_csv=$(mktemp)
table=$(mktemp)
align_table=$(mktemp)
trap 'rm -f "$parser_csv" "$table" "$align_table"' EXIT

build/bench/kv7_parser_bench --benchmark_format=csv >"$parser_csv" 2>/dev/null
set +e
build/bench/kv7_line_bench --parser-csv "$parser_csv" "$@" >"$table" 2> >(grep -v -e propagateSizeHints -e XDG_RUNTIME_DIR >&2)
rc=$?
build/bench/kv7_align_bench >"$align_table"
align_rc=$?
set -e
if [ "$rc" -eq 0 ]; then rc=$align_rc; fi

cpu=$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')
mem=$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
{
    echo "## $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo
    echo "Machine: $(nproc) cores, ${cpu}, ${mem} memory; load average at the end" \
        "$(cut -d' ' -f1-3 /proc/loadavg); $(uname -sr); commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)."
    echo
    cat "$table"
    echo
    cat "$align_table"
} | tee "$table.out"

if [ "$record" -eq 1 ]; then
    results=bench/RESULTS.md
    head='# Benchmark results'
    {
        echo "$head"
        echo
        echo "Newest run first; each section is one run of \`bench/run.sh --record\`, every figure"
        echo "measured in that run. The line-time floor of an operation is the bytes the radio's end"
        echo "put on the line during it (its own frames and its echo of every byte the program sent,"
        echo "as the simulated radio paces them on one line) divided by 960 bytes/s; the radio's 5 ms"
        echo "turnaround before each answer is not in it. The README describes each figure; the"
        echo "findings behind the figures are at the end."
        echo
        cat "$table.out"
        echo
        if [ -f "$results" ]; then
            # Earlier runs, without the heading above.
            awk 'f || /^## / { f = 1; print }' "$results"
        fi
    } >"$results.new"
    mv "$results.new" "$results"
    echo "Recorded in $results"
fi
rm -f "$table.out"
exit $rc
