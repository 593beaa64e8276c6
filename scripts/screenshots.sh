#!/usr/bin/env bash
# Pictures of the Velmora converter's windows (main window, custom dialog, new-folder and
# version dialogs), taken on a virtual X display, into out/screenshots/. The main window
# lists samples/ as its source and out/ as its destination.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target velmora_screenshots Velmora
mkdir -p out/screenshots
xvfb-run -a -s "-screen 0 1280x1024x24" build/release/bin/velmora_screenshots samples out out/screenshots
