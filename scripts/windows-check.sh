#!/usr/bin/env bash
# The Windows check: builds the core and every portable test for 64-bit Windows with Debian's
# mingw-w64, runs each test binary under wine and compiles every Qt adapter with the same
# compiler against the installed Qt headers (syntax only: Debian has no Qt for Windows, so the
# Qt program itself is not linked here). Installs what it needs when run as root. The last line
# is the total of test cases: "N passed, M failed, K skipped"; any failure exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${KV7_WINDOWS_BUILD:-$root/build-windows}
jobs=${KV7_JOBS:-2}
toolchain=$root/cmake/mingw-w64-x86_64.cmake

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest qt6-base-dev
    qt6-serialport-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "windows-check: missing packages; as root: apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "== installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Ninja for a new build folder; one configured before keeps its generator.
generator() {
    if [ ! -f "$1/CMakeCache.txt" ] && command -v ninja >/dev/null; then echo "-GNinja"; fi
}

# GoogleTest from Debian's sources, built once with the cross compiler.
gtest=$out/googletest
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "== GoogleTest for Windows"
    cmake -S /usr/src/googletest -B "$out/googletest-build" $(generator "$out/googletest-build") \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
    cmake --build "$out/googletest-build" -j"$jobs" >/dev/null
    cmake --install "$out/googletest-build" >/dev/null
fi

echo "== the core and its tests for Windows"
cmake -S . -B "$out/core" $(generator "$out/core") -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE= \
    -DCMAKE_CXX_FLAGS=-O1 -DKV7_WITH_QT=OFF -DGTest_DIR="$gtest/lib/cmake/GTest" \
    -DGMock_DIR="$gtest/lib/cmake/GTest" -DKV7_BENCH=OFF >/dev/null
cmake --build "$out/core" -j"$jobs"

echo "== the Qt adapters, compiled for Windows (syntax only)"
qt_include=$(dirname "$(find /usr/include -path '*/qt6/QtCore/qglobal.h' -print -quit)")
qt_include=$(dirname "$qt_include")
qt_flags=(-std=c++20 -Wall -Wextra -Wpedantic -DUNICODE -D_UNICODE -Isrc)
for m in QtCore QtGui QtWidgets QtSerialPort QtNetwork; do qt_flags+=(-isystem "$qt_include/$m"); done
qt_flags+=(-isystem "$qt_include")
qt_logs=$out/qt-syntax
rm -rf "$qt_logs" && mkdir -p "$qt_logs"
export qt_logs
# The Qt headers the adapters share, compiled once for all of them.
grep -v "#pragma once" src/platform/qt/qt_precompiled.h >"$qt_logs/qt.h"
x86_64-w64-mingw32-g++-posix "${qt_flags[@]}" -x c++-header "$qt_logs/qt.h" -o "$qt_logs/qt.h.gch"
qt_flags+=(-fsyntax-only -include "$qt_logs/qt.h")
# One compiler per core at a time; each file's complaints in its own log, shown when it fails.
printf '%s\n' src/platform/qt/*.cpp | xargs -P "$jobs" -I{} sh -c \
    'x86_64-w64-mingw32-g++-posix "$@" {} 2>"$qt_logs/$(basename {}).log" ||
     echo {} >>"$qt_logs/failed"' sh "${qt_flags[@]}"
qt_files=$(ls src/platform/qt/*.cpp | wc -l)
qt_failed=0
if [ -f "$qt_logs/failed" ]; then
    qt_failed=$(wc -l <"$qt_logs/failed")
    while read -r f; do
        echo "windows-check: $f does not compile for Windows:" >&2
        cat "$qt_logs/$(basename "$f").log" >&2
    done <"$qt_logs/failed"
fi
echo "$qt_files Qt sources checked, $qt_failed failed"

echo "== the tests under wine"
WINEPREFIX=$(mktemp -d /tmp/kv7-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1 || true
passed=0 failed=0 skipped=0 broken=0
logs=$out/wine-logs
rm -rf "$logs" && mkdir -p "$logs"
while IFS= read -r exe; do
    name=$(basename "$exe" .exe)
    log=$logs/$name.log
    status=0
    (cd "$(dirname "$exe")" && timeout 900 wine "$exe" --gtest_color=no) >"$log.crlf" 2>&1 ||
        status=$?
    tr -d '\r' <"$log.crlf" >"$log" && rm -f "$log.crlf"
    count() { sed -n "s/^\[  $1  *\] \([0-9][0-9]*\) tests\{0,1\}[,.].*/\1/p" "$log" | tail -1; }
    p=$(count PASSED) f=$(count FAILED) s=$(count SKIPPED)
    if [ -z "$p$f$s" ] || { [ "$status" -ne 0 ] && [ -z "$f" ]; }; then
        echo "$name: ended without its totals (exit $status); see $log"
        broken=$((broken + 1))
        f=${f:-1}
    fi
    passed=$((passed + ${p:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
    echo "$name: ${p:-0} passed, ${f:-0} failed, ${s:-0} skipped"
    # Each skipped case with the reason it gave, and each case a table left out here.
    awk '/: Skipped$/ { getline reason; next }
         /^\[  SKIPPED \] [A-Za-z].* \(/ { print "  skipped " $4 ": " reason; reason = "" }
         /^\[  LEFT OUT \]/ { sub(/^\[  LEFT OUT \] /, ""); print "  left out " $0 }' "$log"
    [ "${f:-0}" -eq 0 ] || grep '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u | sed 's/^/  /'
done < <(find "$out/core/tests" -name '*.exe' | sort)

# A Qt source that does not compile counts as a failed case.
failed=$((failed + qt_failed))
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
