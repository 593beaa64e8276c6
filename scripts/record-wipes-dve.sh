#!/usr/bin/env bash
# Clips of the wipes and 2D DVE moves as they go to air, for people to look at: a still moving
# and scaling through the fifteen presets in out/dve_presets.mkv, slides in all eight
# directions in out/dve_slides.mkv, and wipes forward and backward with a border in
# out/wipes.mkv, recorded from the board's program out as the mixer composes it (lossless,
# fill and key, bottom field first). A few frames as pictures:
#   ffmpeg -i out/wipes.mkv -vf 'select=not(mod(n\,10))' -vsync vfr out/wipes_%03d.png
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build build/release --target test_effects -j2
mkdir -p out
ZORVIK_CLIPS_OUT="$PWD/out" build/release/bin/test_effects --gtest_also_run_disabled_tests \
    --gtest_filter='WipeDveClips.*'
