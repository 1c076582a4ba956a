#!/usr/bin/env bash
# Builds the Debian packages into dist/: the programs built with Debian's hardening flags for
# /usr in build-package/, installed and packed by CPack, their dependencies computed from the
# binaries by dpkg-shlibdeps. Only the programs are built, not the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/ensure_packages.sh
kv7_packages+=(dpkg-dev fakeroot file gzip)
kv7_ensure_packages

jobs=${KV7_JOBS:-2}
dir=build-package
# The compiler and linker flags every Debian package is built with (stack protector,
# fortified functions, read-only relocations bound at load); CMake takes no CPPFLAGS, so they
# join CXXFLAGS.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
rm -rf "$dir/_CPack_Packages" "$dir"/*.deb
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" -j"$jobs" --target swkv7adj kv7-session kv7-radio-sim kv7_packaging_files
(cd "$dir" && cpack -G DEB)

mkdir -p dist
rm -f dist/*.deb
cp "$dir"/*.deb dist/
echo "Packages:"
for deb in dist/*.deb; do
    echo "  $deb"
    dpkg-deb -f "$deb" Package Version Depends | sed 's/^/    /'
done
echo "Install with: apt-get install $root/dist/swkv7adj_*.deb; check with scripts/install-check.sh"
