#!/usr/bin/env bash
# Builds a Free Pascal compiler for i386 Linux (ppcross386) and its run-time
# units from the installed compiler sources, into DIR, once: a later run with
# the same compiler, sources and script reuses DIR as it is.
#   scripts/fpc-i386.sh DIR
# Afterwards: fpc -Pi386 -Xp DIR/bin -n @DIR/fpc.cfg ...
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
dir=$1
version=$(fpc -iV)
src=${JUDGEKIT_FPC_SOURCE:-/usr/share/fpcsrc/$version}
msgfile=
for candidate in "/usr/lib/x86_64-linux-gnu/fpc/$version/msg/errore.msg" \
                 "/usr/lib/fpc/$version/msg/errore.msg" \
                 "$src/compiler/msg/errore.msg"; do
  if [[ -f $candidate ]]; then msgfile=$candidate; break; fi
done
if [[ ! -f $src/compiler/pp.pas || ! -f $src/rtl/linux/system.pp ]]; then
  echo "fpc-i386: no compiler sources in $src; run JUDGEKIT_NEED_I386=1 scripts/setup.sh" >&2
  exit 1
fi
if [[ ! -f $msgfile ]]; then
  echo "fpc-i386: no errore.msg for fpc $version" >&2
  exit 1
fi

# What the cached build was made from; any change rebuilds it.
key="fpc $version $(command -v fpc) $(sha256sum "$0" | cut -c1-16) $src"
if [[ -f $dir/stamp && $(cat "$dir/stamp") == "$key" && -x $dir/bin/ppcross386 ]]; then
  exit 0
fi
rm -rf "$dir"
mkdir -p "$dir/bin" "$dir/build/msg" "$dir/build/compiler" "$dir/units/rtl"
log=$dir/build.log
: >"$log"
fail() { tail -30 "$log" >&2; echo "fpc-i386: $1 failed; see $log" >&2; exit 1; }

# The message texts the compiler includes are generated from errore.msg.
fpc -l- -vew -FU"$dir/build/msg" -o"$dir/build/msg/msg2inc" \
  "$src/compiler/utils/msg2inc.pp" >>"$log" 2>&1 || fail "msg2inc"
(cd "$dir/build/msg" && ./msg2inc "$msgfile" msg msg) >>"$log" 2>&1 ||
  fail "message include"

c=$src/compiler
fpc -O2 -Xs -l- -vew -di386 -Fi"$dir/build/msg" -Fu"$c" -Fu"$c/i386" \
  -Fu"$c/x86" -Fu"$c/systems" -Fi"$c" -Fi"$c/i386" -Fi"$c/x86" \
  -FU"$dir/build/compiler" -o"$dir/bin/ppcross386" "$c/pp.pas" >>"$log" 2>&1 ||
  fail "ppcross386"

# The run-time units a contestant's program may name, in every compiler mode,
# and the sockets unit that the split form's stub uses.
r=$src/rtl
x=$src/packages/rtl-extra/src
cat >"$dir/build/rtlset.pp" <<'EOF'
unit rtlset;
interface
uses uuchar, objpas, macpas, iso7185, extpas, fpintres, si_prc, si_c,
  unixtype, ctypes, baseunix, strings, syscall, unixutil, unix, linux,
  sysutils, math, types, typinfo, classes, dos, getopts, lineinfo, lnfodwrf,
  heaptrc, sockets;
implementation
end.
EOF
rtl=("$dir/bin/ppcross386" -n -O2 -l- -vew
     -Fi"$r/inc" -Fi"$r/i386" -Fi"$r/x86" -Fi"$r/unix" -Fi"$r/linux"
     -Fi"$r/linux/i386" -Fi"$r/objpas" -Fi"$r/objpas/sysutils"
     -Fi"$r/objpas/classes" -Fu"$r/inc" -Fu"$r/objpas" -Fu"$r/unix"
     -Fu"$r/linux" -Fu"$r/i386" -Fu"$r/x86"
     -Fi"$x/inc" -Fi"$x/unix" -Fi"$x/linux" -Fu"$x/unix"
     -FU"$dir/units/rtl" -FE"$dir/units/rtl")
"${rtl[@]}" -Us -Sg "$r/linux/system.pp" >>"$log" 2>&1 || fail "system unit"
"${rtl[@]}" "$dir/build/rtlset.pp" >>"$log" 2>&1 || fail "run-time units"
rm -f "$dir/units/rtl/rtlset."*

# Our own configuration: the i386 units only; /etc/fpc.cfg stays out (-n).
printf -- '-Fu%s\n' "$dir/units/rtl" >"$dir/fpc.cfg"
rm -rf "$dir/build"
printf '%s' "$key" >"$dir/stamp"
