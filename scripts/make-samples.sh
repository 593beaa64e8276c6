#!/usr/bin/env bash
# Regenerates the sample pictures.
#
#   scripts/make-samples.sh [main] [onair]      (no argument: both)
#
# main: the pictures in samples/ that the main job (scripts/run-main.sh) converts: a caption
# with a key channel (Targa), a photograph-like BMP and JPEG, a 640-wide picture for the "拡大"
# treatment, and a 1920 x 1080 frame whose centre 1440 columns are marked, to show the cut.
# The PICT sample is written by Velmora itself from the caption, since the PICT variant the
# library reads is the one it writes. Needs ImageMagick (convert).
#
# onair: the clock's digit set (samples/clock/clk0.tga ... clk12.tga) and a 24-frame animation
# (samples/anime/spin000.tga ... spin023.tga, and spin_strip.tga holding all of them), drawn by
# tools/make_samples with the library's own text and shape renderer; a contact sheet of them
# goes to out/samples-preview.png. They live in subfolders so that samples/ itself holds only
# what the main job converts.
#
# Builds what it runs (release preset).
set -euo pipefail
cd "$(dirname "$0")/.."

parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(main onair)
for part in "${parts[@]}"; do
  case "$part" in
    main | onair) ;;
    *) echo "usage: scripts/make-samples.sh [main] [onair]" >&2; exit 2 ;;
  esac
done
wants() { [[ " ${parts[*]} " == *" $1 "* ]]; }

targets=()
wants main && targets+=(Velmora)
wants onair && targets+=(make_samples)
cmake --preset release >/dev/null
cmake --build build/release --target "${targets[@]}"
mkdir -p samples

main_samples() {
  local font=IPAGothic tmp

  # A caption on transparency: white text with a dark edge, key 0 around it.
  convert -size 720x486 xc:none -font "$font" -pointsize 64 \
    -stroke '#102040' -strokewidth 8 -fill '#102040' -gravity center -annotate +0+150 'テロップ見本' \
    -stroke none -fill white -annotate +0+150 'テロップ見本' \
    -fill '#e0a020' -draw 'roundrectangle 60,40 300,110 12,12' \
    -fill white -pointsize 36 -annotate -150-170 'NEWS' \
    -define tga:image-origin=TopLeft -compress RLE samples/caption_key.tga

  # Photograph-like pictures: smooth colour fields with some detail.
  convert -size 320x240 gradient:'#3060c0-#f0d080' \
    \( -size 320x240 radial-gradient:'#ffffff80-#00000000' \) -compose over -composite \
    -font "$font" -pointsize 28 -fill '#202020' -gravity south -annotate +0+12 'BMP 見本' \
    -alpha off -type TrueColor BMP3:samples/landscape.bmp
  convert -seed 7 -size 640x480 plasma:'#208040-#c0e0ff' -blur 0x2 \
    -font "$font" -pointsize 40 -fill white -gravity northwest -annotate +20+20 '640×480 JPEG' \
    -quality 85 samples/garden.jpg

  # A full-HD frame: side bars outside the centre 1440 columns, a grid inside.
  convert -size 1920x1080 xc:'#303030' \
    -fill '#2060a0' -draw 'rectangle 240,0 1679,1079' \
    -stroke '#80c0ff' -strokewidth 4 -draw 'line 960,0 960,1079' -draw 'line 240,540 1679,540' \
    -stroke none -fill white -font "$font" -pointsize 72 -gravity center -annotate +0-200 '1920×1080 中央 1440' \
    -fill '#c04040' -draw 'rectangle 0,0 239,1079' -draw 'rectangle 1680,0 1919,1079' \
    -quality 80 samples/fullhd_1920.jpg

  # The PICT sample, through the converter's own writer.
  tmp=$(mktemp -d)
  cp samples/caption_key.tga "$tmp/"
  build/release/bin/Velmora --batch --src "$tmp" --dst samples --format pict caption_key.tga
  mv samples/caption_key.pct samples/caption_pict.pct
  rm -rf "$tmp"
  ls -l samples
}

onair_samples() {
  mkdir -p out
  local tmp
  tmp=$(mktemp -d)
  build/release/bin/make_samples samples "$tmp/preview.pam"
  convert "$tmp/preview.pam" out/samples-preview.png
  rm -rf "$tmp"
  ls -l samples/clock samples/anime out/samples-preview.png
}

if wants main; then main_samples; fi
if wants onair; then onair_samples; fi
