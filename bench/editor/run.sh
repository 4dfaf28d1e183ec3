#!/usr/bin/env bash
# run.sh BUILD_DIR [scale]: generates the editor workloads and times the editor
# against the std::string, rope and gap buffer baselines, the editor's own
# reader over a text that is only counted (parse), and the floor.
# Env: SEED (1), RUNS (3), WORKLOADS ("W1 W2 W3 W4 W5 W6 H1 H2 H3 H4"), KEEP=1 keeps the
# scratch directory, TIMEOUT seconds per run (600).
set -euo pipefail
if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 BUILD_DIR [scale]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
scale=${2:-1}
bin=$build/bench/editor
for tool in gen check driver string rope gap parse floor; do
  if [[ ! -x $bin/editor_bench_$tool ]]; then
    echo "$0: $bin/editor_bench_$tool is missing; build $build first" >&2
    exit 1
  fi
done
scratch=$(mktemp -d "${TMPDIR:-/tmp}/editor-bench.XXXXXX")
keep=${KEEP:-0}
# The scratch directory goes unless asked for or needed to study a failure.
cleanup() {
  if [[ $keep == 1 ]]; then
    echo "scratch directory kept: $scratch"
  else
    rm -rf "$scratch"
  fi
}
trap cleanup EXIT
workloads=${WORKLOADS:-W1 W2 W3 W4 W5 W6 H1 H2 H3 H4}
for w in $workloads; do
  "$bin/editor_bench_gen" "$w" "$scale" "${SEED:-1}" "$scratch/$w.in"
  "$bin/editor_bench_check" "$scratch/$w.in"
done
programs=()
if [[ -x $build/editor/editor ]]; then
  programs+=("editor=$build/editor/editor")
else
  echo "note: $build/editor/editor not built; timing the baselines only"
fi
for b in string rope gap parse floor; do
  programs+=("$b=$bin/editor_bench_$b")
done
echo "scale $scale, seed ${SEED:-1}, best of ${RUNS:-3} runs; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
# shellcheck disable=SC2086  # the workload names split on purpose
"$bin/editor_bench_driver" --runs "${RUNS:-3}" --timeout "${TIMEOUT:-600}" \
  "$scratch" $workloads -- "${programs[@]}" || status=$?
[[ $status == 0 ]] || keep=1
exit "$status"
