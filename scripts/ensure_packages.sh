#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
# Sourced by ./run.sh and ./test.sh.
kv7_packages=(cmake g++ make ninja-build pkg-config qt6-base-dev qt6-serialport-dev libgl-dev
              googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
              poppler-utils)

kv7_ensure_packages() {
    local missing=()
    local p
    for p in "${kv7_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null || {
            echo "apt-get install failed for: ${missing[*]}" >&2
            return 1
        }
    else
        echo "Missing Debian packages. Run this as root, then start again:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        return 1
    fi
}
