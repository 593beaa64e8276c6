#!/usr/bin/env bash
# The effects graph's configurations written out for people: one DOT file per configuration
# (filters with their pins, every connection) in out/graphs/, made by the on-air tests from
# the graphs they build, and a PNG beside each when Graphviz's dot is installed.
#
# Usage: scripts/graphs.sh        (after building test_onair in the release configuration)
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p out/graphs
ZORVIK_GRAPH_DOT_DIR="$PWD/out/graphs" build/release/bin/test_onair \
  --gtest_filter='EffectsGraphTest.EveryConfigurationIsWrittenOutAsDot' >/dev/null
if command -v dot >/dev/null; then
  for f in out/graphs/*.dot; do dot -Tpng "$f" -o "${f%.dot}.png"; done
else
  echo "dot (Graphviz) is not installed: only the .dot files were written" >&2
fi
ls -l out/graphs
