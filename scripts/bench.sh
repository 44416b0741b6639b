#!/usr/bin/env bash
# Runs every benchmark program once, briefly, and prints its figures.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shopt -s nullglob
for bench in "$build"/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" --benchmark_min_time=0.3
done
