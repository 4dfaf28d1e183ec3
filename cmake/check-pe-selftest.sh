#!/bin/sh
# The PE check must refuse wrong files: a program for the other machine, a
# windowed program, one that needs the C++ runtime DLLs, and a Linux binary;
# and it must accept a right one built the same way as the shipped programs.
set -u
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#include <string>\nint main(int c, char**) { return (int)std::string(c, 1).size(); }\n' >"$work/p.cpp"
status=0
build() { # NAME COMPILER FLAGS...
  name=$1; shift
  "$@" "$work/p.cpp" -o "$work/$name" || { echo "cannot build $name" >&2; exit 1; }
}
expect() { # WANT(pass|fail) FILE MACHINE
  if sh "$here/check-pe.sh" "$2" "$3" >"$work/log" 2>&1; then got=pass; else got=fail; fi
  [ -n "${VERBOSE:-}" ] && cat "$work/log"
  if [ "$got" != "$1" ]; then
    echo "check-pe $2 $3: $got, expected $1" >&2; cat "$work/log" >&2; status=1
  fi
}
build good.exe i686-w64-mingw32-g++ -static
build dynamic.exe i686-w64-mingw32-g++ -shared-libgcc
build windowed.exe i686-w64-mingw32-g++ -static -mwindows
build good64.exe x86_64-w64-mingw32-g++ -static
build linux g++
expect pass "$work/good.exe" i386
expect pass "$work/good64.exe" x86-64
expect fail "$work/good64.exe" i386
expect fail "$work/good.exe" x86-64
expect fail "$work/dynamic.exe" i386
expect fail "$work/windowed.exe" i386
expect fail "$work/linux" i386
expect fail "$work/missing.exe" i386
exit $status
