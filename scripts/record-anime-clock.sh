#!/usr/bin/env bash
# Clips of the animation controller and the running clocks on air, for people to look at:
# out/anime_hold_passes.mkv (a spinner held two fields a frame for three passes, another laid
# over a plate until stopped at the end of its cycle) and out/clock_running.mkv (a clock
# counting up through the hour at the picture's right edge and a count-down stopping at 0:00),
# program out over a moving backdrop, lossless with the key. A few frames of each are written
# beside them as PNG files (out/<clip>_NNN.png).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/record-clips.sh

record_clips test_effects 'OnAirClips.*' 30 anime_hold_passes clock_running
