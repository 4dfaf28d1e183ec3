#!/usr/bin/env bash
# Round-trip cost per grader call: the linked form against the split form
# (stub + gridprobe-manager run), for 400 rect calls and for 100,000 gridsize
# calls; best of RUNS (5) runs, measured inside the program. Also the whole
# run's wall time under the manager. Goal: at most 30 us per split call.
# Usage: bench/gridprobe/run.sh [BUILD_DIR] [WORK_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
default_work=$build/bench-gridprobe
[[ -d /dev/shm && -w /dev/shm ]] && default_work=/dev/shm/judgekit-gridprobe-bench
work=${2:-$default_work}
runs=${RUNS:-5}
linked=$build/bench/gridprobe/gridprobe_bench_calls
split=$build/bench/gridprobe/gridprobe_bench_calls_split
manager=$build/gridprobe/manager/gridprobe-manager
for tool in "$linked" "$split" "$manager"; do
  [[ -x $tool ]] || { echo "missing $tool: build $build first" >&2; exit 1; }
done
mkdir -p "$work"
echo "10 2 3 2 7 5 9 8 9" > "$work/rods.in"

# The smallest "us per call" figure over $runs runs of a command.
best() {
  local b="" v
  for ((i = 0; i < runs; i++)); do
    v=$(cd "$work" && "$@" 2>&1 >/dev/null |
      sed -n 's/.*: \([0-9.]*\) us per call.*/\1/p')
    [[ -n $v ]] || { echo "no figure from: $*" >&2; exit 1; }
    if [[ -z $b ]] || awk "BEGIN{exit !($v < $b)}"; then b=$v; fi
  done
  echo "$b"
}

# Wall seconds of the whole managed run, best of $runs.
wall() {
  local b="" s e v
  for ((i = 0; i < runs; i++)); do
    s=$(date +%s.%N)
    (cd "$work" && "$@" >/dev/null 2>&1) || true
    e=$(date +%s.%N)
    v=$(awk "BEGIN{printf \"%.4f\", $e - $s}")
    if [[ -z $b ]] || awk "BEGIN{exit !($v < $b)}"; then b=$v; fi
  done
  echo "$b"
}

printf "%-10s %8s %14s %14s %8s %12s\n" workload calls "linked us/call" \
  "split us/call" ratio "split run s"
for workload in "rect 400" "gridsize 100000"; do
  set -- $workload
  l=$(best "$linked" "$1" "$2")
  s=$(best "$manager" run -- "$split" "$1" "$2")
  w=$(wall "$manager" run -- "$split" "$1" "$2")
  r=$(awk "BEGIN{printf \"%.1f\", $s / $l}")
  printf "%-10s %8s %14s %14s %8s %12s\n" "$1" "$2" "$l" "$s" "$r" "$w"
done
rm -rf "$work"
