#!/usr/bin/env bash
# The soak: every effect of the on-air demo's cue sheet, played over and over on a stepped board
# for ten minutes of air (36,000 fields at 59.94 fields a second), with the board's journal
# checked for a missed or repeated field and the library's threads and handles counted before
# and after. CI runs a shorter soak (3,000 fields) in the onair_demo tests.
#   scripts/soak.sh [release|tsan|asan] [fields]
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-release}
fields=${2:-36000}
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" --target test_onair_demo -j2
start=$(date +%s)
FONTCONFIG_FILE="$PWD/build/$preset/test-tmp/bundled-fonts.conf" ZORVIK_SOAK_FIELDS="$fields" \
    "build/$preset/bin/test_onair_demo" --gtest_filter='Soak.*'
echo "soak of $fields fields ($preset) took $(( $(date +%s) - start )) s"
