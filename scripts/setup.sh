#!/usr/bin/env bash
# Installs every Debian package the project needs that is not installed yet.
# A second run finds everything in place and returns in a second or two.
set -euo pipefail

packages=(
  # toolchain and build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev python3
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # JPEG codec and its command-line tools (independent cross-checks)
  libjpeg62-turbo-dev libjpeg-turbo-progs
  # text and shapes
  libfreetype-dev libfontconfig-dev libharfbuzz-dev libcairo2-dev
  fonts-ipafont-gothic fonts-ipafont-mincho
  # Latin faces the text tests draw with (DejaVu Sans and Serif with their styles)
  fonts-dejavu-core fonts-dejavu-extra
  # FFmpeg's libraries (the program recorder's output, reading motion clips and sound), and
  # ffmpeg/ffprobe to make the motion samples and look at recordings
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  # the converter's user interface, and a virtual display for its screenshots
  qt6-base-dev libgl-dev xvfb xauth
  # the toolkit's own Japanese texts, so standard dialogs (the folder browser) read Japanese
  qt6-translations-l10n
  # peers the benchmarks compare against, and ImageMagick's tools for cross-checks
  libpixman-1-dev libvips-dev libmagickwand-6.q16-dev imagemagick libass-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
