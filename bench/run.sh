#!/usr/bin/env bash
# Runs every benchmark program built by the `benchmarks` target.
set -euo pipefail
build=${1:-build}
status=0
for exe in "$build"/bench/bench_*; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe")"
  "$exe" || status=1
done
exit $status
