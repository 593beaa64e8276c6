# Shared by the scripts/record-*.sh scripts: builds a test program in the release preset, runs
# its disabled clip-recording suite with out/ as the clips' folder, and writes every n-th frame
# of each named clip beside it as PNG files (out/<clip>_NNN.png) for people to look at.
#   record_clips <test target> <gtest filter> <every n frames> <clip>...
record_clips() {
  local target=$1 filter=$2 every=$3
  shift 3
  cmake --preset release >/dev/null
  cmake --build build/release --target "$target" -j2
  mkdir -p out
  ZORVIK_CLIPS_DIR="$PWD/out" ZORVIK_CLIPS_OUT="$PWD/out" "build/release/bin/$target" \
    --gtest_also_run_disabled_tests --gtest_filter="$filter"
  if command -v ffmpeg >/dev/null; then
    local clip
    for clip in "$@"; do
      ffmpeg -v error -y -i "out/$clip.mkv" -vf "select='not(mod(n\,$every))'" -fps_mode vfr "out/${clip}_%03d.png"
      echo "frames: out/${clip}_*.png"
    done
  fi
}
