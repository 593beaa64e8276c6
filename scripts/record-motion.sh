#!/usr/bin/env bash
# A motion clip on air for people to look at and listen to: the sample clip (samples/motion/)
# with its matte on motion line 0 under a caption, its two wave files playing, recorded from
# program out with the board's sound into out/motion_demo.mkv; ffprobe then shows the file's
# streams and length.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target test_onair
mkdir -p out
ZORVIK_CLIPS_DIR="$PWD/out" build/release/bin/test_onair --gtest_also_run_disabled_tests \
  --gtest_filter='MotionDemo.*'

if command -v ffprobe >/dev/null; then
  ffprobe -v error -show_entries format=duration:stream=index,codec_type,codec_name,width,height,r_frame_rate,field_order,sample_rate,channels,duration \
    -of compact out/motion_demo.mkv
fi
if command -v ffmpeg >/dev/null; then
  ffmpeg -v error -y -i out/motion_demo.mkv -vf "select='not(mod(n\,30))'" -fps_mode vfr out/motion_demo_%03d.png
  echo "frames: out/motion_demo_*.png"
fi
