#!/usr/bin/env bash
# Clips of the roll, the crawl and the frame-buffer push as they go to air, for people to look
# at: a 2000-line caption rolling slowly into a clear screen (out/roll_slow.mkv) and fast from
# its first screen to its last (out/roll_fast.mkv: sub-pixel steps, then the scrolling frame
# buffer), a 4000-column caption crawling slowly and at the cap (out/crawl_slow.mkv,
# out/crawl_fast.mkv), and pushes in every direction (out/pushes.mkv); program out over a still
# backdrop, lossless, bottom field first. A few frames of each are written beside them as PNG
# files (out/<clip>_NNN.png); to look at single fields, separate them:
#   ffmpeg -i out/roll_fast.mkv -vf 'field=bottom,select=between(n\,10\,13)' -fps_mode vfr out/f_%02d.png
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/record-clips.sh

record_clips test_effects 'RollClips.*' 40 roll_slow roll_fast crawl_slow crawl_fast pushes
