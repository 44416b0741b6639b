#!/usr/bin/env bash
# Builds the unit and simulator tests with ASan and UBSan (clang) and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/sanitizer-build.sh
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -L 'unit|sim'
