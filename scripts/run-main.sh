#!/usr/bin/env bash
# Installs what is missing, builds the release configuration, and runs the main job: the
# Velmora converter's batch conversion of the bundled sample pictures into out/.
#
# Without arguments every sample becomes a 720 x 486 run-length Targa ("カスタム"), the
# 1920 x 1080 frame giving its centre 1440 columns; arguments replace those options
# (see build/release/bin/Velmora --help), e.g. scripts/run-main.sh --format jpg --aspect widen
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

if [ $# -eq 0 ]; then
  set -- --aspect custom --size 720x486 --cut 240,0,1440,1080
fi
mkdir -p out
build/release/bin/Velmora --batch --src samples --dst out "$@"
