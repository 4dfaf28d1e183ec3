#!/usr/bin/env bash
# Masks examples/datamask/sample.in with the installed datamask and shows the
# bytes in and out, then one failure report. Usage: demo.sh INSTALL_PREFIX
set -euo pipefail
prefix=${1:?usage: demo.sh INSTALL_PREFIX}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$here/sample.in" "$scratch/sample.in"
cd "$scratch"
echo "\$ datamask sample.in sample.out"
"$prefix/bin/datamask" sample.in sample.out
echo "exit status $?"
echo "--- sample.in"
od -c sample.in
echo "--- sample.out"
od -c sample.out
echo "\$ datamask missing.in sample.out"
status=0
"$prefix/bin/datamask" missing.in sample.out 2>report.txt || status=$?
echo "exit status $status; standard error:"
od -c report.txt
