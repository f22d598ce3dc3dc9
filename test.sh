#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole project (GUI tests on the
# offscreen platform), then the toolkit-free layers again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the threaded programs
# under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== Release build and tests =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
# Tests labelled slow (the largest proofs and sieves) run with
# `ctest --test-dir build -L slow`; the benchmarks time the same sizes.
ctest --test-dir build --output-on-failure -j "$jobs" -LE slow

echo "== AddressSanitizer + UndefinedBehaviorSanitizer (toolkit-free layers) =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALVORA_GUI=OFF -DKALVORA_BENCH=OFF -DKALVORA_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE slow

echo "== ThreadSanitizer (the programs whose code runs on several threads) =="
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALVORA_GUI=OFF -DKALVORA_BENCH=OFF -DKALVORA_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target console_tests factorise_tests ecm_tests siqs_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -LE slow \
  -R '^(Workers|FullRangeWorkers|CliPrime|CliInput|Factorise|CliFactor|EcmEngine|CliEcm|Siqs\.|CliSiqs|Gf2Matrix)'
