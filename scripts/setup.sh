#!/usr/bin/env bash
# Makes sure the build tools are here; installs what is missing with apt-get.
set -euo pipefail

missing=()
need() {  # need COMMAND-OR-FILE PACKAGE
  if [[ $1 == /* ]]; then [[ -e $1 ]] || missing+=("$2")
  else command -v "$1" >/dev/null 2>&1 || missing+=("$2"); fi
}
need cmake cmake
need make make
need gcc gcc
need g++ g++
need fpc fp-compiler
need /usr/include/gtest/gtest.h libgtest-dev
# The install-tree and package tests: pkg-config, man pages, cpack's Depends
# (dpkg-shlibdeps, and file to pick the programs out).
need pkg-config pkgconf
need groff groff-base
need man man-db
need dpkg-shlibdeps dpkg-dev
need file file
# gridprobe-manager run starts every program in a bubblewrap sandbox.
need bwrap bubblewrap
if [[ ${JUDGEKIT_NEED_CLANG:-0} == 1 ]]; then
  need clang++ clang
  need /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
fi
# A Pascal compiler without its runtime units cannot build a unit.
if command -v fpc >/dev/null 2>&1; then
  fpc_rtl=$(fpc -iTP 2>/dev/null)-$(fpc -iTO 2>/dev/null)
  if ! find /usr/lib /usr/local/lib -path "*/units/$fpc_rtl/rtl/system.ppu" \
       -print -quit 2>/dev/null | grep -q .; then
    missing+=(fp-units-rtl)
  fi
fi

# The i386 grader: gcc -m32 and g++ -m32, the compiler sources from which the
# build makes an i386 fpc, and qemu-user where the kernel cannot run i386.
if [[ ${JUDGEKIT_NEED_I386:-0} == 1 ]]; then
  probe=$(mktemp -d)
  echo 'int main(void) { return 0; }' >"$probe/p.c"
  gcc -m32 -o "$probe/p" "$probe/p.c" >/dev/null 2>&1 || missing+=(gcc-multilib)
  g++ -m32 -x c++ -o "$probe/p" "$probe/p.c" >/dev/null 2>&1 ||
    missing+=(g++-multilib)
  fpc_version=$(fpc -iV 2>/dev/null || echo 3.2.2)
  need "/usr/share/fpcsrc/$fpc_version/compiler/pp.pas" "fpc-source-$fpc_version"
  # 96 bytes of i386 program that exits with 7.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x07\x00\x00\x00\xcd\x80' >"$probe/exit7"
  chmod +x "$probe/exit7"
  status=0
  "$probe/exit7" 2>/dev/null || status=$?
  [[ $status == 7 ]] || need qemu-i386 qemu-user
  rm -rf "$probe"
fi

# The Windows forms: mingw-w64 cross compilers and 64-bit Wine, installed
# without recommends (which would pull in a desktop's worth of libraries).
if [[ ${JUDGEKIT_NEED_WINDOWS:-0} == 1 ]]; then
  win=()
  command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || win+=(g++-mingw-w64-x86-64)
  command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || win+=(g++-mingw-w64-i686)
  [[ -x /usr/lib/wine/wine64 ]] || win+=(wine64)
  [[ -e /usr/bin/wine ]] || win+=(wine)
  if (( ${#win[@]} > 0 )); then
    echo "setup: installing ${win[*]}" >&2
    win_sudo=()
    [[ $(id -u) == 0 ]] || win_sudo=(sudo -n)
    if ! { DEBIAN_FRONTEND=noninteractive "${win_sudo[@]}" apt-get update -qq &&
           DEBIAN_FRONTEND=noninteractive "${win_sudo[@]}" apt-get install -y -qq \
             --no-install-recommends "${win[@]}" >/dev/null; }; then
      echo "setup: could not install ${win[*]}; install these packages and retry" >&2
      exit 1
    fi
  fi
fi

(( ${#missing[@]} == 0 )) && exit 0
echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
if [[ $(id -u) != 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then sudo_cmd=(sudo -n)
  else echo "setup: need root to install: ${missing[*]}" >&2; exit 1; fi
fi
export DEBIAN_FRONTEND=noninteractive
if ! { "${sudo_cmd[@]}" apt-get update -qq &&
       "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null; }; then
  echo "setup: could not install ${missing[*]}; install these packages and retry" >&2
  exit 1
fi
