#!/bin/sh
# Installs what the fuzz targets need (clang with libFuzzer, python3 for the
# seed script) when it is missing.
set -eu
command -v clang++ >/dev/null && command -v python3 >/dev/null &&
    [ -n "$(find /usr/lib/llvm-*/lib/clang -name 'libclang_rt.fuzzer*.a' 2>/dev/null | head -1)" ] && exit 0
sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
$sudo apt-get update
$sudo apt-get install -y clang libclang-rt-dev python3
