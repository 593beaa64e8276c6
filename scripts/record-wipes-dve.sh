#!/usr/bin/env bash
# Clips of the wipes and 2D DVE moves as they go to air, for people to look at: a still moving
# and scaling through the fifteen presets in out/dve_presets.mkv, slides in all eight
# directions in out/dve_slides.mkv, and wipes forward and backward with a border in
# out/wipes.mkv, recorded from the board's program out as the mixer composes it (lossless,
# fill and key, bottom field first). A few frames as pictures:
#   ffmpeg -i out/wipes.mkv -vf 'select=not(mod(n\,10))' -vsync vfr out/wipes_%03d.png
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/record-clips.sh

record_clips test_effects 'WipeDveClips.*' 10 dve_presets dve_slides wipes
