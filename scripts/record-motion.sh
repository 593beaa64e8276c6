#!/usr/bin/env bash
# A motion clip on air for people to look at and listen to: the sample clip (samples/motion/)
# with its matte on motion line 0 under a caption, its two wave files playing, recorded from
# program out with the board's sound into out/motion_demo.mkv; ffprobe then shows the file's
# streams and length.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/lib/record-clips.sh

record_clips test_onair 'MotionDemo.*' 30 motion_demo

if command -v ffprobe >/dev/null; then
  ffprobe -v error -show_entries format=duration:stream=index,codec_type,codec_name,width,height,r_frame_rate,field_order,sample_rate,channels,duration \
    -of compact out/motion_demo.mkv
fi
