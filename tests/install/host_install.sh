#!/bin/bash
# Usage: host_install.sh BUILD_DIR SOURCE_DIR WORK_DIR
# Installs the build into a temporary prefix and builds examples/host.c against
# it through pkg-config and through the CMake package (shared and static); each
# host must decode samples/demo.svac to exactly the pictures of samples/demo.md5.
set -u
build=$1 src=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install"
libdir=$(dirname "$(find "$prefix" -name libsvacdec.a)")
for f in "$prefix/include/svacdec.h" "$prefix/bin/svacdec" "$libdir/libsvacdec.a" \
         "$libdir/pkgconfig/svacdec.pc" "$libdir/cmake/SvacDec/SvacDecConfig.cmake"; do
    [[ -f $f ]] || fail "$f is not installed"
done
soname=$(objdump -p "$libdir/libsvacdec.so" | awk '$1 == "SONAME" { print $2 }')
[[ $soname == libsvacdec.so.0 && -f $libdir/$soname ]] || fail "SONAME is '$soname'"

# The MD5 of each picture the host wrote, from its "layer width height chroma depth" lines.
check() { # $1 host binary
    local name list off=0
    name=$(basename "$1")
    LD_LIBRARY_PATH=$libdir "$1" "$src/samples/demo.svac" "$work/$name.yuv" >"$work/$name.txt" ||
        fail "$name exited with $?"
    while read -r _ w h c d; do
        local n=$((w * h)) b=$((d > 8 ? 2 : 1))
        ((c == 1)) && n=$((n * 3 / 2))
        ((c == 2)) && n=$((n * 2))
        tail -c +$((off + 1)) "$work/$name.yuv" | head -c $((n * b)) | md5sum | cut -d' ' -f1
        off=$((off + n * b))
    done <"$work/$name.txt" >"$work/$name.md5"
    cmp -s "$work/$name.md5" "$src/samples/demo.md5" || fail "$name pictures differ from samples/demo.md5"
    echo "ok: $name decodes samples/demo.svac to samples/demo.md5 ($(wc -l <"$work/$name.md5") pictures)"
}

export PKG_CONFIG_PATH=$libdir/pkgconfig
# HOST_CFLAGS: extra compiler flags (the sanitizers of a sanitizer build).
cc -std=c99 -Wall -Wextra -Werror ${HOST_CFLAGS:-} "$src/examples/host.c" $(pkg-config --cflags --libs svacdec) \
    -o "$work/host_pkgconfig" || fail "building host.c through pkg-config"
check "$work/host_pkgconfig"

cmake -S "$src/examples" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="${HOST_CFLAGS:-}" >"$work/cmake.log" &&
    cmake --build "$work/cmake" >>"$work/cmake.log" || { cat "$work/cmake.log"; fail "building host.c through find_package(SvacDec)"; }
check "$work/cmake/host"
check "$work/cmake/host_static"
