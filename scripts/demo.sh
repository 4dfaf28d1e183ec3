#!/usr/bin/env bash
# Builds the kit alone (no tests, no benchmarks) in build/demo, installs it
# into build/stage and runs every tool on examples/, the grader in both its
# forms: linked into the program, and split (the program judged by
# `gridprobe-manager run`, its verdict scored by `gridprobe-manager check`).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
step=0 steps=7
say() { step=$((step + 1)); echo "demo [$step/$steps] $*"; }

say "checking the build tools (scripts/setup.sh)"
scripts/setup.sh

build=build/demo
stage=$PWD/build/stage
log=$build/demo-build.log
mkdir -p "$build"
: >"$log"
# The build's own output goes to the log; on a failure its end is shown.
quiet() {
  if ! "$@" >>"$log" 2>&1; then
    echo "demo: failed: $*; the end of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
}

say "configuring the kit alone in $build (output: $log)"
quiet cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DJUDGEKIT_TESTS=OFF \
  -DBUILD_TESTING=OFF -DJUDGEKIT_BENCH=OFF
say "building editor, datamask, the grader and gridprobe-manager (output: $log)"
quiet cmake --build "$build" -j "$(nproc)"
say "installing into $stage"
rm -rf "$stage"
quiet cmake --install "$build" --prefix "$stage"

for tool in editor gridprobe datamask; do
  if [[ -x examples/$tool/demo.sh ]]; then
    case $tool in
      editor) say "editor: replaying examples/editor/editor.in" ;;
      gridprobe) say "gridprobe: examples/gridprobe/solve.c, linked and split" ;;
      datamask) say "datamask: masking examples/datamask/sample.in" ;;
    esac
    examples/$tool/demo.sh "$stage"
  fi
done
echo "demo: done in $((SECONDS - start)) s; the kit is installed in $stage"
