#!/usr/bin/env bash
# Times datamask against the fscanf/fprintf baseline and a plain copy on seeded
# 1 MB and 100 MB inputs: wall and CPU seconds, ns per integer, ratios, peak RSS.
# Usage: bench/datamask/run.sh [BUILD_DIR] [WORK_DIR]   (RUNS=3 by default)
# WORK_DIR defaults to memory (/dev/shm) so that a disk does not set the pace.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
default_work=$build/bench-datamask
[[ -d /dev/shm && -w /dev/shm ]] && default_work=/dev/shm/judgekit-datamask-bench
work=${2:-$default_work}
runs=${RUNS:-3}
datamask=$build/datamask/datamask
gen=$build/bench/datamask/datamask_gen
baseline=$build/bench/datamask/datamask_baseline
runstat=$build/bench/datamask/datamask_runstat
for tool in "$datamask" "$gen" "$baseline" "$runstat"; do
  [[ -x $tool ]] || { echo "missing $tool: build $build first" >&2; exit 1; }
done
mkdir -p "$work"

# Best wall and CPU seconds and the largest peak RSS over $runs runs.
best() {
  local w c r bw="" bc="" br=0
  for ((i = 0; i < runs; i++)); do
    read -r w c r < <("$runstat" "$@")
    if [[ -z $bw ]] || awk "BEGIN{exit !($w < $bw)}"; then bw=$w; fi
    if [[ -z $bc ]] || awk "BEGIN{exit !($c < $bc)}"; then bc=$c; fi
    ((r > br)) && br=$r
  done
  echo "$bw $bc $br"
}

printf '%-6s %-8s %-18s %8s %8s %8s %8s %9s\n' input pairs run wall_s cpu_s \
  wall_ns cpu_ns peak_KiB
for size in 1MB:45000 100MB:5000000; do
  label=${size%%:*} pairs=${size##*:}
  d1=$work/d1-$label.txt d2=$work/d2-$label.txt
  [[ -s $d1 ]] || "$gen" d1 "$pairs" 20261210 "$d1"
  [[ -s $d2 ]] || "$gen" d2 "$pairs" 20261210 "$d2"
  ints=$((2 * pairs + 1))
  declare -A wall=() cpu=() rss=()
  read -r wall[cat] cpu[cat] rss[cat] < <(best -o "$work/copy.out" cat "$d1")
  read -r wall[base] cpu[base] rss[base] < <(best "$baseline" "$d1" "$work/base.out")
  read -r wall[d1] cpu[d1] rss[d1] < <(best "$datamask" "$d1" "$work/d1.out")
  read -r wall[d2] cpu[d2] rss[d2] < <(best "$datamask" "$d2" "$work/d2.out")
  # Same values, so the same bytes: the fast reader must agree with fscanf.
  cmp -s "$work/base.out" "$work/d1.out" || { echo "D1 output differs from baseline" >&2; exit 1; }
  cmp -s "$work/d1.out" "$work/d2.out" || { echo "D2 output differs from D1" >&2; exit 1; }
  for run in cat base d1 d2; do
    case $run in
      cat) name="cat D1 > out" ;; base) name="fscanf/fprintf D1" ;;
      d1) name="datamask D1" ;; d2) name="datamask D2" ;;
    esac
    printf '%-6s %-8s %-18s %8s %8s %8.1f %8.1f %9s\n' "$label" "$pairs" "$name" \
      "${wall[$run]}" "${cpu[$run]}" \
      "$(awk "BEGIN{print ${wall[$run]} * 1e9 / $ints}")" \
      "$(awk "BEGIN{print ${cpu[$run]} * 1e9 / $ints}")" "${rss[$run]}"
  done
  awk -v b="${wall[base]}" -v d1="${wall[d1]}" -v d2="${wall[d2]}" -v c="${wall[cat]}" \
      -v cb="${cpu[base]}" -v c1="${cpu[d1]}" -v c2="${cpu[d2]}" -v l="$label" 'BEGIN{
    printf "%-6s wall: baseline/D1 %.2fx (goal >= 4)  D2/D1 %.2f (goal <= 1.3)  D1/cat %.1fx\n", l, b/d1, d2/d1, d1/c
    printf "%-6s cpu:  baseline/D1 %.2fx  D2/D1 %.2f\n", l, cb/c1, c2/c1 }'
  rm -f "$work/copy.out" "$work/base.out" "$work/d1.out" "$work/d2.out"
  [[ ${KEEP:-0} == 1 ]] || rm -f "$d1" "$d2"
done
rmdir "$work" 2>/dev/null || true  # nothing left unless KEEP=1
