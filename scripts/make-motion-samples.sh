#!/usr/bin/env bash
# Regenerates the motion clip and its sound in samples/motion/, the small media fixtures of the
# media tests in tests/data/media/, and the seeds of the media fuzzer in fuzz/corpus/media_open/.
# Everything is drawn here from simple shapes and text with ffmpeg's own sources (lavfi), and
# the sound is a sine tone, so nothing comes from outside the tree.
#
# The clip (base name zorvik_motion, as the on-air side names a clip and its companions):
#   zorvik_motion.avi        fill: 720 x 486, 29.97 frames a second, 90 frames (3.003 s),
#                            interlaced bottom field first (the board's first field is the odd
#                            lines), FFV1 (lossless, every frame a key frame, field order in
#                            the stream), 4:2:2
#   zorvik_motion.matte.avi  key: the same shapes in white on black, FFV1 grey
#   zorvik_motion.A1.wav     left sound: 1 kHz at -18 dBFS, 48 kHz 16-bit mono, as long as the clip
#   zorvik_motion.A2.wav     right sound: 500 Hz at -18 dBFS, the same format
# Each frame shows its number twice: as text at the top right for people, and as a code of 12
# white squares along the top left (square i lit when bit i of the number is set) that the
# tests read back, so a test knows which frame it got whatever the decoder did.
#
# Needs ffmpeg (scripts/setup.sh installs it) and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")/.."

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
ff=(ffmpeg -v error -y -nostdin -bitexact)
# Video written the same way everywhere: FFV1 version 3, every frame a key frame, 4 slices
# with checksums; the container says nothing about fields, the FFV1 stream does.
ffv1=(-c:v ffv1 -level 3 -g 1 -slices 4 -slicecrc 1)

# The frame code: `bits` squares of `size` pixels in a row from (x, y), lit in colour $1 for the
# set bits of the frame number n.
frame_code() {
  local colour=$1 bits=$2 size=$3 x=$4 y=$5 step=$6 f="" i
  for ((i = 0; i < bits; ++i)); do
    f+=",drawbox=x=$((x + i * step)):y=$y:w=$size:h=$size:color=$colour:t=fill:enable='gt(bitand(n\\,$((1 << i)))\\,0)'"
  done
  printf '%s' "$f"
}

# ---- the motion clip ----
mkdir -p samples/motion
base=samples/motion/zorvik_motion
rate=60000/1001 # drawn at the field rate, then woven into frames two fields at a time
seconds=3.003   # 180 fields, 90 frames
# A ball moving over a dark blue ground and a caption band; woven bottom field first, so the
# ball moves between the two fields of a frame; then the code strip and the number per frame.
moving="overlay=x='40+mod(t*300\\,560)':y='120+60*sin(2*PI*t)':shortest=1"
band="drawbox=x=40:y=340:w=640:h=90:color=white:t=fill"
weave="interlace=scan=bff:lowpass=0"
strip="drawbox=x=0:y=0:w=256:h=32:color=black:t=fill"
"${ff[@]}" -f lavfi -i "color=c=0x203060:s=720x486:r=$rate:d=$seconds" -f lavfi -i "color=c=0xff9020:s=96x96:r=$rate" \
  -filter_complex "[0:v][1:v]$moving,$band,drawtext=fontfile=$font:text='ZORVIK MOTION':x=(w-tw)/2:y=362:fontsize=48:fontcolor=0x102040,\
$weave,$strip$(frame_code white 12 16 8 8 20),drawtext=fontfile=$font:text='%{frame_num}':start_number=0:x=620:y=8:fontsize=24:fontcolor=white,setfield=bff" \
  -field_order bb "${ffv1[@]}" -pix_fmt yuv422p "$base.avi"
# The key: white where the ball, the band and the lit squares are.
"${ff[@]}" -f lavfi -i "color=c=black:s=720x486:r=$rate:d=$seconds" -f lavfi -i "color=c=white:s=96x96:r=$rate" \
  -filter_complex "[0:v][1:v]$moving,$band,$weave,$strip$(frame_code white 12 16 8 8 20),setfield=bff" \
  -field_order bb "${ffv1[@]}" -pix_fmt gray "$base.matte.avi"
"${ff[@]}" -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=$seconds" -c:a pcm_s16le "$base.A1.wav"
"${ff[@]}" -f lavfi -i "sine=frequency=500:sample_rate=48000:duration=$seconds" -c:a pcm_s16le "$base.A2.wav"

# ---- fixtures of the media tests ----
data=tests/data/media
mkdir -p "$data"
# A clip with predicted frames (MPEG-4 part 2, a key frame every 8 frames, two B-frames between
# references), 45 frames of 192 x 128 with an 8-bit frame code of 24-pixel squares: seeking
# must decode from the key frame before the one asked for.
"${ff[@]}" -f lavfi -i "testsrc2=s=192x128:r=30000/1001:d=1.5" \
  -vf "drawbox=x=0:y=0:w=192:h=24:color=black:t=fill$(frame_code white 8 24 0 0 24)" \
  -c:v mpeg4 -g 8 -bf 2 -q:v 4 "$data/gop.avi"
# A tiny progressive fill (6 frames of 64 x 48).
"${ff[@]}" -f lavfi -i "testsrc2=s=64x48:r=30000/1001:d=0.2" "${ffv1[@]}" -pix_fmt yuv422p "$data/small.avi"
# A matte in studio-range 4:2:2: black (luma 16) on the left half, white (luma 235) on the right.
"${ff[@]}" -f lavfi -i "color=c=black:s=64x48:r=30000/1001:d=0.2" -f lavfi -i "color=c=white:s=32x48:r=30000/1001:d=0.2" \
  -filter_complex "[0:v][1:v]overlay=x=32:y=0,format=yuv422p" -color_range tv "${ffv1[@]}" -pix_fmt yuv422p "$data/small_matte.avi"
# A clip that carries its key itself: red, key rising from 0 on the left to 252 on the right.
"${ff[@]}" -f lavfi -i "color=c=red:s=64x48:r=30000/1001:d=0.2" -vf "format=rgba,geq=r=255:g=0:b=0:a='X*4'" \
  "${ffv1[@]}" -pix_fmt bgra "$data/ramp.alpha.avi"
# Sound that needs converting: mono at 44.1 kHz (1 kHz tone, 0.5 s), and float stereo at 48 kHz
# (left 1 kHz, right 3 kHz, 0.25 s).
"${ff[@]}" -f lavfi -i "sine=frequency=1000:sample_rate=44100:duration=0.5" -c:a pcm_s16le "$data/tone_mono_44k.wav"
"${ff[@]}" -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=0.25" -f lavfi -i "sine=frequency=3000:sample_rate=48000:duration=0.25" \
  -filter_complex "[0:a][1:a]join=inputs=2:channel_layout=stereo" -c:a pcm_f32le "$data/tone_stereo_f32.wav"

# ---- seeds of the media fuzzer: tiny valid files, cut-off ones and wrong headers ----
corpus=fuzz/corpus/media_open
mkdir -p "$corpus"
cp "$data/small.avi" "$corpus/small_ffv1.avi"
"${ff[@]}" -f lavfi -i "testsrc2=s=32x16:r=25:d=0.12" -c:v mjpeg -q:v 8 "$corpus/tiny_mjpeg.avi"
"${ff[@]}" -f lavfi -i "testsrc2=s=32x16:r=25:d=0.12" -c:v rawvideo -pix_fmt bgra "$corpus/tiny_raw_bgra.avi"
"${ff[@]}" -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.01" -c:a pcm_s16le "$corpus/tiny.wav"
"${ff[@]}" -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=0.01" -ac 2 -c:a pcm_u8 "$corpus/tiny_u8_stereo.wav"
head -c 700 "$data/small.avi" >"$corpus/cut_in_header.avi"
head -c 3000 "$data/gop.avi" >"$corpus/cut_in_frames.avi"
head -c 30 "$corpus/tiny.wav" >"$corpus/cut_in_header.wav"
# A RIFF header naming AVI over text, and a WAVE header whose sizes promise far more than follows.
printf 'RIFF\x10\x00\x00\x00AVI LIST\x04\x00\x00\x00hdrl' >"$corpus/riff_avi_empty.avi"
printf 'RIFF\xff\xff\xff\x7fWAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x80\xbb\x00\x00\x00\xee\x02\x00\x04\x00\x10\x00data\xff\xff\xff\x7f\x01\x02\x03\x04' >"$corpus/wav_huge_sizes.wav"
printf 'not a media file at all\n' >"$corpus/text.txt"

ls -l samples/motion "$data" "$corpus"
