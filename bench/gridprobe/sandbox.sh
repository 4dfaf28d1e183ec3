#!/usr/bin/env bash
# What the sandbox costs a whole run: the example solver on the stub under
# `gridprobe-manager run` (sandboxed) against `run --no-sandbox`, in turn,
# PAIRS (21) pairs; prints the median of each and the median of the pairwise
# differences. Goal: at most 50 ms more per run.
# Usage: bench/gridprobe/sandbox.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=${2:-$(mktemp -d)}
pairs=${PAIRS:-21}
solver=$build/bench/gridprobe/gridprobe_bench_solve_split
manager=$build/gridprobe/manager/gridprobe-manager
for tool in "$solver" "$manager"; do
  [[ -x $tool ]] || { echo "missing $tool: build $build first" >&2; exit 1; }
done
mkdir -p "$work"
cp "$root/examples/gridprobe/rods.in" "$work/rods.in"

# Wall milliseconds of one whole run.
once() {
  local s e
  s=$(date +%s%N)
  (cd "$work" && "$manager" run "$@" -- "$solver" >/dev/null 2>&1) ||
    { echo "run $* failed" >&2; exit 1; }
  e=$(date +%s%N)
  echo $(((e - s) / 1000))
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

once >/dev/null # warm the caches
sandboxed=() plain=() diffs=()
for ((i = 0; i < pairs; i++)); do
  a=$(once)
  b=$(once --no-sandbox)
  sandboxed+=("$a") plain+=("$b") diffs+=($((a - b)))
done
ms() { awk '{printf "%.1f", $1 / 1000}'; }
printf "%-22s %10s\n" "run" "median ms"
printf "%-22s %10s\n" "sandboxed" "$(printf '%s\n' "${sandboxed[@]}" | median | ms)"
printf "%-22s %10s\n" "--no-sandbox" "$(printf '%s\n' "${plain[@]}" | median | ms)"
printf "%-22s %10s\n" "difference (paired)" "$(printf '%s\n' "${diffs[@]}" | median | ms)"
rm -rf "$work"
