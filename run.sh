#!/usr/bin/env bash
# Builds the program and the simulated radio, points COM 1 at the radio and starts the program.
# With a display the window opens; without one the headless demo runs on the offscreen platform.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
. scripts/ensure_packages.sh
kv7_ensure_packages

jobs=${KV7_JOBS:-2}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(swkv7adj kv7-radio-sim)
if cmake --build build --target help 2>/dev/null | grep -q 'kv7-session'; then
    targets+=(kv7-session)
fi
cmake --build build -j"$jobs" --target "${targets[@]}"

program=build/src/platform/qt/swkv7adj
session=build/src/platform/qt/kv7-session
sim=build/src/sim/kv7-radio-sim
settings=build/src/platform/qt/SWKV7ADJ.rs
rundir=build/run

# The simulated radio on a pseudo-terminal; its first line of output is the terminal's path. Its
# test set serves on a free port of 127.0.0.1 unless the arguments say otherwise; the second
# line gives its address.
sim_args=("$@")
case " $* " in *" --test-set "*) ;; *) sim_args+=(--test-set 0) ;; esac
simout=$(mktemp)
"$sim" "${sim_args[@]}" >"$simout" &
simpid=$!
stop_sim() {
    kill "$simpid" 2>/dev/null || true
    wait "$simpid" 2>/dev/null || true
    rm -f "$simout"
}
trap stop_sim EXIT
pty=
for _ in $(seq 50); do
    if [ "$(wc -l <"$simout")" -ge 2 ]; then
        pty=$(head -n 1 "$simout")
        break
    fi
    kill -0 "$simpid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$pty" ]; then
    echo "run.sh: the simulated radio did not start" >&2
    exit 1
fi
testset=$(sed -n '2s/^test-set //p' "$simout")
echo "Simulated radio on $pty (COM 1), its test set on $testset (Option > Test set...)"

# One key of the settings file is replaced in its section (made when missing); the rest of the
# file (the program's own settings, other ports) stays as it is.
set_setting() {
    local section=$1 key=$2 value=$3 tmp
    touch "$settings"
    tmp=$(mktemp)
    awk -v sec="$section" -v key="$key" -v val="$value" '
        { line = $0; sub(/\r$/, "", line) }
        line ~ /^[ \t]*\[/ {
            insec = (toupper(line) ~ "^[ \t]*\\[" toupper(sec) "\\][ \t]*$")
            print line "\r"
            if (insec && !found) { print key "=" val "\r"; found = 1 }
            next
        }
        insec && toupper(line) ~ "^[ \t]*" toupper(key) "[ \t]*=" { next }
        { print line "\r" }
        END { if (!found) { print "[" sec "]\r"; print key "=" val "\r" } }
    ' "$settings" >"$tmp"
    cat "$tmp" >"$settings"
    rm -f "$tmp"
}
set_setting PORTS COM1 "$pty"
[ -n "$testset" ] && set_setting TESTSET Address "$testset"

# The program reads Const.ini, and the alignment targets Align.ini, from the directory it is
# started in.
mkdir -p "$rundir"
cp data/Const.ini data/Align.ini "$rundir/"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    cd "$rundir"
    set +e
    "$root/$program"
    rc=$?
    set -e
    exit $rc
fi

# No display: the headless demo. kv7-session runs the same program with the same window on the
# offscreen platform and performs data/demo.session: connect, wait for the console and the
# monitor values, show the parameter display, print all of it, save build/demo.png and go back
# to the console. The trap stops the simulated radio afterwards.
echo "No display: the headless demo runs on the offscreen platform (script data/demo.session)."
if [ ! -x "$session" ]; then
    echo "run.sh: $session was not built" >&2
    exit 1
fi
set +e
"$session" --port "$pty" --const "$rundir/Const.ini" --script data/demo.session
rc=$?
set -e
if [ "$rc" -eq 0 ]; then
    echo "Screenshot of the parameter display: build/demo.png"
else
    echo "run.sh: the headless demo failed (exit status $rc)" >&2
fi
exit $rc
