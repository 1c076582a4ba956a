#!/usr/bin/env bash
# Checks the packages of scripts/package.sh as a technician would meet them: lintian on the
# packages, their dependencies against what the binaries load, then an installation with apt-get
# and, as an ordinary user made for the check, the installed program started from the home
# folder. Runs as root; the user and the packages are removed again at the end, and it refuses
# to start where either is there already, so it never removes what it did not make.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
    echo "install-check.sh: run it as root (it installs the packages and makes a user)" >&2
    exit 1
fi
. scripts/ensure_packages.sh
kv7_packages=(lintian man-db desktop-file-utils appstream binutils passwd)
kv7_ensure_packages

user=kv7check
packages=(swkv7adj kv7-radio-sim)
debs=()
for p in "${packages[@]}"; do
    deb=$(ls dist/"${p}"_*.deb 2>/dev/null | tail -n 1)
    if [ -z "$deb" ]; then
        echo "install-check.sh: no dist/${p}_*.deb; build it with scripts/package.sh" >&2
        exit 1
    fi
    debs+=("$(pwd)/$deb")
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
        echo "install-check.sh: $p is installed already; remove it first (apt-get purge $p)" >&2
        exit 1
    fi
done
if id "$user" >/dev/null 2>&1; then
    echo "install-check.sh: the user $user exists already; remove it first (userdel -r $user)" >&2
    exit 1
fi

work=$(mktemp -d)
cleanup() {
    set +e
    id "$user" >/dev/null 2>&1 && userdel -r "$user" >/dev/null 2>&1
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

echo "== lintian"
lintian --tag-display-limit 0 "${debs[@]}" >"$work/lintian" 2>&1 || true
cat "$work/lintian"
if grep -q '^E: ' "$work/lintian"; then
    fail "lintian reports errors"
else
    pass "lintian: no error ($(grep -c '^W: ' "$work/lintian" || true) warnings)"
fi

echo "== dependencies"
# The package that holds a library the loader found (under /lib or /usr/lib, as dpkg lists it).
owner_of() {
    local path
    for path in "$1" "$(readlink -f "$1")" "/usr$1"; do
        dpkg -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1 && return 0
    done
    return 1
}
# Every library a program loads directly must come from a package its package depends on.
for deb in "${debs[@]}"; do
    name=$(dpkg-deb -f "$deb" Package)
    depends=" $(dpkg-deb -f "$deb" Depends | sed -E 's/\([^)]*\)//g; s/[,|]/ /g') "
    tree="$work/tree-$name"
    dpkg-deb -x "$deb" "$tree"
    for bin in "$tree"/usr/bin/*; do
        for soname in $(objdump -p "$bin" | awk '$1 == "NEEDED" { print $2 }'); do
            lib=$(ldd "$bin" | awk -v so="$soname" '$1 == so { print $3 }')
            owner=$(owner_of "$lib") || owner=
            case "$depends" in
                *" $owner "*) ;;
                *) fail "$name: $(basename "$bin") loads $soname of '${owner:-no package}', not in Depends" ;;
            esac
        done
    done
    pass "$name depends on: $(dpkg-deb -f "$deb" Depends)"
done

echo "== desktop entry and metainfo"
tree="$work/tree-swkv7adj/usr/share"
desktop-file-validate "$tree/applications/swkv7adj.desktop" &&
    pass "desktop entry valid" || fail "desktop-file-validate"
# Errors fail; warnings are shown (the component id is the program's name, not a reverse domain
# name: that needs a domain of the owner's, and it must not change once published).
appstreamcli validate --no-net "$tree/metainfo/swkv7adj.metainfo.xml" >"$work/appstream" 2>&1 ||
    true
cat "$work/appstream"
if grep -q '^E:' "$work/appstream"; then fail "appstreamcli validate"; else pass "metainfo: no error"; fi

echo "== installation"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}" >"$work/apt" 2>&1 ||
    { cat "$work/apt"; fail "apt-get install"; exit 1; }
pass "installed: $(dpkg-query -W -f='${Package} ${Version}  ' "${packages[@]}")"
marker="$work/installed"
touch "$marker"
sleep 1

useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
# The runtime folder a desktop login gives the user.
runtime="$work/runtime"
mkdir -m 700 "$runtime"
chown "$user" "$runtime"
chmod 711 "$work"

# What the user does, run as that user with a login's plain environment (no display), from the
# home folder as a menu entry starts it.
as_user() {
    set -euo pipefail
    local fails=0
    pid="" sim=""
    # Whatever this check started ends with it.
    trap 'for p in $pid $sim; do kill "$p" 2>/dev/null || true; done' EXIT
    check() {
        local what=$1
        shift
        if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; fails=$((fails + 1)); fi
    }
    cd "$HOME"
    local examples=/usr/share/doc/swkv7adj/examples
    local config=$HOME/.config/swkv7adj data=$HOME/.local/share/swkv7adj
    local out=$HOME/out

    check "man swkv7adj" bash -c "MANPAGER=cat man swkv7adj 2>/dev/null | grep -q 'SWKV7ADJ.rs'"
    check "man kv7-session" bash -c "MANPAGER=cat man kv7-session 2>/dev/null | grep -q 'list-ports'"
    check "kv7-session --help" bash -c "kv7-session --help | grep -q '^Usage: kv7-session'"

    # The program started as the menu does; it ends as on a logout (SIGTERM), which closes the
    # window and saves the settings. Sets $status and $out.err.
    start_program() {
        swkv7adj -platform offscreen >"$out.log" 2>"$out.err" &
        pid=$!
        local i
        for i in $(seq 100); do
            [ -e "$XDG_RUNTIME_DIR/swkv7adj.lock" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        sleep 1
        kill -TERM "$pid" 2>/dev/null || true
        status=0
        wait "$pid" || status=$?
        pid=""
    }

    # No Const.ini anywhere: the program's own message, and the settings are saved all the same.
    start_program
    check "without Const.ini: exit status 2 (got $status)" test "$status" -eq 2
    check "without Const.ini: the message" grep -qF "swkv7adj message: Cannot read 'Const.ini'." "$out.err"
    check "without Const.ini: settings saved in ~/.config/swkv7adj" test -f "$config/SWKV7ADJ.rs"
    rm -f "$config/SWKV7ADJ.rs"

    # Const.ini in the user's data folder: the program runs until it is told to end.
    mkdir -p "$data"
    cp "$examples/Const.ini" "$examples/Align.ini" "$data/"
    start_program
    check "with ~/.local/share/swkv7adj/Const.ini: ran and ended normally (status $status)" test "$status" -eq 0
    check "no message" bash -c "! grep -q 'swkv7adj' '$out.err'"
    check "settings saved in ~/.config/swkv7adj" \
        grep -q '^ComPort=1' "$config/SWKV7ADJ.rs"
    [ "$status" -eq 0 ] || cat "$out.err" >&2

    # A Const.ini in the folder the program is started from comes first.
    mkdir -p "$HOME/bench"
    printf 'not the constants\r\n' >"$HOME/bench/Const.ini"
    (cd "$HOME/bench" && start_program && echo "$status" >"$out.status")
    check "the current folder's Const.ini comes first" test "$(cat "$out.status")" -eq 2

    # The installed kv7-session against the installed simulated radio, with the constants from
    # the user's data folder.
    kv7-radio-sim --no-pacing >"$out.sim" 2>&1 &
    sim=$!
    local pty="" i
    for i in $(seq 50); do
        pty=$(head -n 1 "$out.sim" 2>/dev/null)
        [ -n "$pty" ] && break
        sleep 0.1
    done
    printf 'click Connect\nwait-state connected\nwait-line "BDET :"\nprint\n' >"$out.script"
    session() { kv7-session --port "$pty" --timeout 60 --script "$out.script" >"$out.session" 2>&1; }
    check "kv7-session connects to kv7-radio-sim" session
    check "the console is shown" grep -q 'BDET :' "$out.session"
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    sim=""
    return "$fails"
}

echo "== as the user $user, from $home"
env_user=(env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash
          PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$runtime")
runuser -u "$user" -- "${env_user[@]}" bash -c "$(declare -f as_user); as_user" ||
    fail "the user's checks"

echo "== nothing written beside the programs"
written=$(find /usr/bin /usr/share/doc/swkv7adj -newer "$marker" 2>/dev/null || true)
strays=$(find /usr -name SWKV7ADJ.rs -o -path '/usr/bin/images' -o -path '/usr/bin/testsets' |
    head -n 5)
if [ -z "$written$strays" ]; then
    pass "nothing new in /usr/bin, no settings file under /usr"
else
    fail "written under /usr: $written $strays"
fi

if [ "$failures" -ne 0 ]; then
    echo "install-check.sh: $failures check(s) failed" >&2
    exit 1
fi
echo "install-check.sh: every check passed"
