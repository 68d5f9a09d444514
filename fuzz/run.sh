#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz and runs each one for SECONDS
# (default 600) from the seed corpus, which keeps what the run adds. The
# bitmap fuzzer starts from the scene's own pictures too, and takes inputs as
# large as a 640x480 picture of 8 bits a pixel in any encoding: 300 KB
# uncompressed, up to twice that as RLE8 at its worst. Exits
# non-zero as soon as a fuzzer finds an input that crashes, leaks, takes more
# than 10 s or asks for one allocation of more than 64 MB (four times the
# largest bitmap a file may decode into); the input is then kept under
# build-fuzz/fuzz/artifacts/.
#
#   fuzz/run.sh [SECONDS]       # CI runs a minute each: fuzz/run.sh 60
#
# Reproduce a finding with build-fuzz/fuzz/fuzz_bmp_file FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
build=build-fuzz

bash scripts/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DPOMRIVEL_FUZZ=ON -DPOMRIVEL_SANITIZE=ON -DPOMRIVEL_BENCHMARKS=OFF
cmake --build "$build" -j 2 --target fuzz_corpus fuzz_bmp_file fuzz_res_file

export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for kind in bmp res; do
  artifacts="$build/fuzz/artifacts/$kind"
  mkdir -p "$artifacts"
  size=()
  if [ "$kind" = bmp ]; then size=(-max_len=$((640 * 1024))); fi
  echo "fuzz_${kind}_file: ${seconds} s"
  "$build/fuzz/fuzz_${kind}_file" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=64 "${size[@]}" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$build/fuzz/corpus/$kind"
done
