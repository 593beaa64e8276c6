#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds a small host against the installed tree
# in both ways a host would: find_package(Zorvik) and pkg-config. Both hosts must run, and the
# installed tree must hold the versioned library and no internal headers.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$build/test-tmp/install-check
prefix=$work/prefix
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

lib=$(ls "$prefix"/lib*/libzorvik.so.4 2>/dev/null | head -n1 || true)
[ -n "$lib" ] || { echo "libzorvik.so.4 not installed"; exit 1; }
libdir=$(dirname "$lib")
soname=$(readelf -d "$lib" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
[ "$soname" = "libzorvik.so.4" ] || { echo "soname is '$soname'"; exit 1; }
[ -f "$prefix/include/zorvik/framebuffer/kr_frame_buffer.h" ] || { echo "public headers missing"; exit 1; }
if find "$prefix/include" -path '*/testing/*' -o -path '*/kernels/*' -o -path '*/internal/*' | grep -q .; then
  echo "internal headers were installed"; exit 1
fi

# find_package
cmake -S "$source/tests/install/host" -B "$work/cmake-host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >"$work/cmake-configure.log"
cmake --build "$work/cmake-host" >"$work/cmake-build.log"
LD_LIBRARY_PATH="$libdir" "$work/cmake-host/zorvik_host" "$work/cmake.tga"

# pkg-config
export PKG_CONFIG_PATH="$libdir/pkgconfig"
flags=$(pkg-config --cflags --libs zorvik)
c++ "$source/tests/install/host/host.cpp" $flags -o "$work/pc-host"
LD_LIBRARY_PATH="$libdir" "$work/pc-host" "$work/pc.tga"
echo "installed tree serves both hosts"
