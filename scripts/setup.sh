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
# The browser test of gridprobe-manager show: Debian's chromium, driven from
# Node by playwright-core at the version its package-lock.json pins.
need /usr/bin/chromium chromium
need node nodejs
need npm npm
# The package test holds the .deb to Debian's own checks.
need lintian lintian
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

# Whether this kernel runs 32-bit x86 code at all.
kernel_runs_i386() {
  sh "$(dirname "$0")/../cmake/kernel-runs-i386.sh"
}

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
  rm -rf "$probe"
  kernel_runs_i386 || need qemu-i386 qemu-user
fi

# The Windows forms: mingw-w64 cross compilers and Wine, installed without
# recommends (which would pull in a desktop's worth of libraries). 32-bit
# Wine (wine32 from the i386 architecture) runs the i686 programs where the
# kernel runs 32-bit code; elsewhere they get static checks only.
if [[ ${JUDGEKIT_NEED_WINDOWS:-0} == 1 ]]; then
  win=()
  command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || win+=(g++-mingw-w64-x86-64)
  command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || win+=(g++-mingw-w64-i686)
  [[ -x /usr/lib/wine/wine64 ]] || win+=(wine64)
  [[ -e /usr/bin/wine ]] || win+=(wine)
  win32=0
  if kernel_runs_i386; then
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed' ||
      { win+=(wine32:i386); win32=1; }
  fi
  if (( ${#win[@]} > 0 )); then
    echo "setup: installing ${win[*]}" >&2
    win_sudo=()
    [[ $(id -u) == 0 ]] || win_sudo=(sudo -n)
    if (( win32 )) && ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${win_sudo[@]}" dpkg --add-architecture i386
    fi
    if ! { DEBIAN_FRONTEND=noninteractive "${win_sudo[@]}" apt-get update -qq &&
           DEBIAN_FRONTEND=noninteractive "${win_sudo[@]}" apt-get install -y -qq \
             --no-install-recommends "${win[@]}" >/dev/null; }; then
      echo "setup: could not install ${win[*]}; install these packages and retry" >&2
      exit 1
    fi
  fi
fi

browser_test_modules() {
  local dir
  dir="$(cd "$(dirname "$0")/.." && pwd)/tests/gridprobe/show/browser"
  [[ -e $dir/node_modules/playwright-core/package.json ]] && return 0
  echo "setup: npm ci in ${dir#"$PWD/"}" >&2
  (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null) ||
    { echo "setup: npm ci in $dir failed" >&2; exit 1; }
}

(( ${#missing[@]} == 0 )) && { browser_test_modules; exit 0; }
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
browser_test_modules
