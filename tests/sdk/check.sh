#!/usr/bin/env bash
# Installs the SDK from a build tree into a temporary prefix, builds an
# outside host against it (CMake package and pkg-config), and runs it.
set -euo pipefail
build=$1
src=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
test -f "$tmp/prefix/include/wp/wp.h"
soname=$(objdump -p "$tmp/prefix/lib/libwp.so" | awk '/SONAME/ {print $2}')
echo "soname: $soname"
[ "$soname" = "libwp.so.1" ]
cmake -S "$src" -B "$tmp/build" -G Ninja -DCMAKE_PREFIX_PATH="$tmp/prefix" >/dev/null
cmake --build "$tmp/build" >/dev/null
QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH="$tmp/prefix/lib" "$tmp/build/host"
# The installed tool runs from its prefix with nothing set up around it.
readelf -d "$tmp/prefix/bin/wptool" | grep -q 'RUNPATH.*\$ORIGIN/\.\./lib'
version=$(cd / && env -i QT_QPA_PLATFORM=offscreen "$tmp/prefix/bin/wptool" version)
echo "installed wptool: $version"
[ "$version" = "1.0.77" ]
PKG_CONFIG_PATH="$tmp/prefix/lib/pkgconfig" pkg-config --cflags --libs wp | grep -q -- "-lwp"
echo "sdk ok"
