#!/usr/bin/env bash
# Clips of the fades and slides as they go to air, for people to look at: every fade mode in
# out/fades.mkv and slides in all eight directions (and the other slide types) in
# out/slides.mkv, recorded from the board's program out (lossless, fill and key, bottom field
# first). A few frames as pictures, over grey so the key shows:
#   ffmpeg -i out/fades.mkv -filter_complex 'color=gray:s=720x486[g];[g][0:v]overlay=shortest=1,select=not(mod(n\,15))' \
#          -vsync vfr out/fades_%03d.png
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/record-clips.sh

record_clips test_effects 'FadeSlideClips.*' 15 fades slides
