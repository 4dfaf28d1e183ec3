#!/usr/bin/env bash
# Replays examples/editor/editor.in with the installed editor; shows editor.out.
set -euo pipefail
prefix=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$here/editor.in" "$scratch/editor.in"
(cd "$scratch" && "$prefix/libexec/judgekit/editor")
echo "--- editor.in"
cat "$scratch/editor.in"
echo "--- editor.out"
cat "$scratch/editor.out"
