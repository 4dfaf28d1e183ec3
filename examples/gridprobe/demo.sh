#!/usr/bin/env bash
# Builds the C solver against the install tree at $1, runs it, shows its files.
set -euo pipefail
prefix=${1:?usage: demo.sh INSTALL-PREFIX}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$here/solve.c" "$here/rods.in" "$scratch/"
cd "$scratch"
echo "\$ gcc -O2 -o solve solve.c -I$prefix/include $prefix/lib/libcgridprobe.a"
gcc -O2 -o solve solve.c -I"$prefix/include" "$prefix/lib/libcgridprobe.a"
echo "\$ ./solve   # reads rods.in, writes rods.log and rods.out"
./solve
echo "--- rods.in"
cat rods.in
echo "--- rods.log"
cat rods.log
echo "--- rods.out"
cat rods.out
