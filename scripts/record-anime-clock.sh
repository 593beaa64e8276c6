#!/usr/bin/env bash
# Clips of the animation controller and the running clocks on air, for people to look at:
# out/anime_hold_passes.mkv (a spinner held two fields a frame for three passes, another laid
# over a plate until stopped at the end of its cycle) and out/clock_running.mkv (a clock
# counting up through the hour at the picture's right edge and a count-down stopping at 0:00),
# program out over a moving backdrop, lossless with the key. A few frames of each are written
# beside them as PNG files (out/<clip>_NNN.png).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target test_effects
mkdir -p out
ZORVIK_CLIPS_DIR="$PWD/out" build/release/bin/test_effects --gtest_also_run_disabled_tests \
  --gtest_filter='OnAirClips.*'

if command -v ffmpeg >/dev/null; then
  for clip in anime_hold_passes clock_running; do
    ffmpeg -v error -y -i "out/$clip.mkv" -vf "select='not(mod(n\,30))'" -fps_mode vfr "out/${clip}_%03d.png"
    echo "frames: out/${clip}_*.png"
  done
fi
