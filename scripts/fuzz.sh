#!/usr/bin/env bash
# Builds every fuzz target (clang and libFuzzer, in the sanitizer tree) and runs each for a few
# thousand inputs, or twenty seconds for the slow ones (those that drive simulated devices).
# Usage: scripts/fuzz.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5000}"

scripts/sanitizer-build.sh fuzz_all
shopt -s nullglob
targets=(build-asan/fuzz/fuzz_*)
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="fuzz/corpus/$name"
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  echo "== $name: $runs inputs or 20 s"
  "$target" -runs="$runs" -max_total_time=20 -max_len=4096 -seed=1 "$work" 2>&1 | tail -n 3
  rm -rf "$work"
done
echo "fuzz: ${#targets[@]} targets clean"
