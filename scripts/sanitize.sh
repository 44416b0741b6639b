#!/usr/bin/env bash
# Builds the unit and simulator tests with ASan and UBSan (clang) and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
# Line tables are all that sanitizer reports need, and much cheaper to build than full debug data.
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only \
  -DTESSEL_SANITIZE=ON -DTESSEL_BENCH=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -L 'unit|sim'
