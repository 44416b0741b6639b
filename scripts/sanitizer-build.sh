#!/usr/bin/env bash
# Builds the sanitizer tree build-asan with clang: every program with ASan and UBSan, and the
# libraries with coverage for the libFuzzer targets built in the same tree.
# Usage: scripts/sanitizer-build.sh [TARGET...]   (default: everything)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
# Line tables are all that sanitizer reports need, and much cheaper to build than full debug data.
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG=-gline-tables-only -DCMAKE_CXX_FLAGS_DEBUG=-gline-tables-only \
  -DTESSEL_SANITIZE=ON -DTESSEL_FUZZ=ON -DTESSEL_BENCH=OFF
if [ $# -gt 0 ]; then
  cmake --build build-asan --target "$@"
else
  cmake --build build-asan
fi
