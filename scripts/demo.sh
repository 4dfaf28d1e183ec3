#!/usr/bin/env bash
# Builds and installs the kit into build/stage, then runs every tool on examples/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
stage=$PWD/build/stage
cmake --install build --prefix "$stage" >/dev/null
for tool in editor gridprobe datamask; do
  if [[ -x examples/$tool/demo.sh ]]; then
    echo "===== $tool ====="
    examples/$tool/demo.sh "$stage"
  fi
done
