#!/usr/bin/env bash
# Installs what is missing, builds the release configuration, and runs the main job: the
# Velmora converter's batch conversion of the bundled sample pictures into out/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

velmora=build/release/bin/Velmora
if [ -x "$velmora" ]; then
  mkdir -p out
  "$velmora" --batch --src samples --dst out "$@"
else
  echo "Velmora is not built yet. Ready: the Zorvik library (build/release/lib/libzorvik.so)"
  echo "with its resize module, its tests (ctest --preset release) and benchmarks (bench/run_ratios.py)."
fi
