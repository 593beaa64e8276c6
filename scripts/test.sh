#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the release build, the address and
# undefined-behaviour sanitizer build (clang, which also builds every fuzz target with libFuzzer
# and runs each briefly on its corpus), and the thread-sanitizer build of the threaded tests.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

run() {
  local preset=$1
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
}

run release
run asan
run tsan
echo "=== all tests passed ==="
