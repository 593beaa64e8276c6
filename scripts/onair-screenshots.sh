#!/usr/bin/env bash
# Pictures of the on-air demo's window for people to look at: the demo cue sheet played on a
# stepped clock under a virtual display (xvfb-run), the window saved after a few field counts
# into out/screenshots/onair_<fields>.png.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build build/release --target zorvik-onair -j2
mkdir -p out/screenshots
for fields in 400 900 1500; do
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
        build/release/bin/zorvik-onair --cue samples/onair/demo.cue --fields "$fields" \
        --screenshot "out/screenshots/onair_$fields.png"
done
