#!/usr/bin/env bash
# Builds the C solver against the install tree at $1 in both of the grader's
# forms and runs it on rods.in: linked (the program holds the case), then
# split (the program holds only the stub; gridprobe-manager runs it, holds
# the case and writes the verdict, and `check` scores that verdict).
set -euo pipefail
prefix=${1:?usage: demo.sh INSTALL-PREFIX}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$here/solve.c" "$here/rods.in" "$scratch/"
cd "$scratch"
show() {
  for f in "$@"; do
    echo "--- $f"
    cat "$f"
  done
}

echo "=== linked form"
echo "\$ gcc -O2 -o solve solve.c -I$prefix/include $prefix/lib/libcgridprobe.a"
gcc -O2 -o solve solve.c -I"$prefix/include" "$prefix/lib/libcgridprobe.a"
echo "\$ ./solve   # reads rods.in, writes rods.log and rods.out"
./solve
show rods.in rods.log rods.out

split=$prefix/lib/judgekit/split/libcgridprobe.a
if [[ -f $split && -x $prefix/bin/gridprobe-manager ]]; then
  echo "=== split form"
  rm -f rods.log rods.out
  echo "\$ gcc -O2 -o solve solve.c -I$prefix/include $split"
  gcc -O2 -o solve solve.c -I"$prefix/include" "$split"
  echo "\$ gridprobe-manager run -- ./solve   # the manager alone reads rods.in"
  "$prefix/bin/gridprobe-manager" run -- ./solve
  show rods.out
  echo "\$ gridprobe-manager check rods.in rods.out   # the score, 0 to 1"
  "$prefix/bin/gridprobe-manager" check rods.in rods.out
fi
