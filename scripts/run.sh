#!/usr/bin/env bash
# Builds everything and runs the saver.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build

if [ -x build/src/pomrivel ]; then
  exec build/src/pomrivel /s
fi
echo "Built the drawing layer, its tests and benchmarks (build/)."
echo "The saver itself is not written yet; once it is, this command runs 'build/src/pomrivel /s'."
echo "Meanwhile: build/bench/gdi_bench measures the drawing layer."
