#!/bin/sh
# check-pe.sh EXE MACHINE: passes only when EXE is a Windows console program
# for MACHINE (i386 or x86-64) that imports nothing but system DLLs.
set -eu
exe=$1 machine=$2
case $machine in
  i386 | x86-64) ;;
  *) echo "check-pe: unknown machine $machine" >&2; exit 2 ;;
esac
objdump=x86_64-w64-mingw32-objdump  # reads both machines' PE files
info=$($objdump -p "$exe" 2>&1) || { echo "$exe: not a PE file" >&2; exit 1; }
fail=0
echo "$info" | grep -q "file format pei-$machine\$" ||
  { echo "$exe: not a PE image for $machine" >&2; fail=1; }
echo "$info" | grep -Eq "^Subsystem[[:space:]]+00000003[[:space:]]" ||
  { echo "$exe: not a console program" >&2; fail=1; }
dlls=$(echo "$info" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "$exe: imports no DLL at all" >&2; fail=1; }
for dll in $dlls; do
  case $dll in
    kernel32.dll | user32.dll | msvcrt.dll | advapi32.dll | ntdll.dll) ;;
    *) echo "$exe: imports $dll, not a system DLL" >&2; fail=1 ;;
  esac
done
[ $fail = 0 ] && echo "$exe: $machine console program, imports: $(echo $dlls)"
exit $fail
