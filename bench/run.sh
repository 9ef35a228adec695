#!/usr/bin/env bash
# Runs every benchmark program built by the `benchmarks` target. Arguments
# after the build directory go to each program, e.g. for medians of
# repeated runs on a shared machine:
#   bench/run.sh build --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
set -euo pipefail
build=${1:-build}
shift $(( $# > 0 ? 1 : 0 ))
status=0
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
for exe in "$build"/bench/bench_*; do
  [ -x "$exe" ] || continue
  # The window's half of bench_main, run by it.
  [ "$(basename "$exe")" = bench_main_window ] && continue
  echo "== $(basename "$exe")"
  "$exe" "$@" || status=1
done
exit $status
