#!/bin/bash
# Folder job benchmark: vizuvod-batch against the codec alone and against the
# usual command-line resizers, all on the same folder in one run.
#
#   bench/peers.sh [BUILD_DIR] [PHOTO_DIR]
#
# PHOTO_DIR defaults to the real photos of 8 MP and more in ../shared/corpus/photos.
# Times are wall-clock seconds of one pass over the folder; every figure is also
# given as a ratio to X, the time libjpeg-turbo alone takes to decode and
# encode each photo at full size (float DCT, quality 90).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
src=${2:-$here/../shared/corpus/photos}
batch=$build/cli/vizuvod-batch
[ -x "$batch" ] || { echo "no $batch: build first (make build)" >&2; exit 1; }
IM=/usr/bin/convert-im6.q16
[ -x "$IM" ] || IM=/usr/bin/convert
for tool in djpeg cjpeg gm vips identify; do
  command -v $tool >/dev/null || { echo "missing $tool: apt-get install libjpeg-turbo-progs imagemagick graphicsmagick libvips-tools" >&2; exit 1; }
done

work=$(mktemp -d /tmp/vizuvod-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out"
# Photos of 8 to 20 megapixels.
for f in "$src"/*.jpg "$src"/*.JPG; do
  [ -f "$f" ] || continue
  read -r w h < <(identify -format '%w %h\n' "$f" 2>/dev/null | head -1) || continue
  px=$((w * h))
  if [ "$px" -ge 8000000 ] && [ "$px" -le 20000000 ]; then cp "$f" "$work/in/"; fi
done
photos=("$work"/in/*)
count=${#photos[@]}
[ "$count" -gt 0 ] || { echo "no photos of 8-20 MP in $src" >&2; exit 1; }
mp=$(for f in "${photos[@]}"; do identify -format '%w %h\n' "$f" | head -1; done |
     awk '{s += $1 * $2} END {printf "%.1f", s / 1e6}')
cores=$(nproc)

now() { date +%s.%N; }
clean() { rm -f "$work"/in/Resize\ of\ * "$work"/out/*; }
# best of PASSES passes (default 2): the machine is shared and noisy
timed() {
  local best=""
  for ((pass = 0; pass < ${PASSES:-2}; pass++)); do
    clean
    local t0; t0=$(now)
    "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; }
    local t; t=$(echo "$(now) - $t0" | bc -l)
    if [ -z "$best" ] || (( $(echo "$t < $best" | bc -l) )); then best=$t; fi
  done
  echo "$best"
}
each() {  # run a per-file command over the folder, optionally N at a time
  local jobs=$1; shift
  printf '%s\0' "${photos[@]}" | xargs -0 -P "$jobs" -I{} sh -c "$*" _ {}
}

codec_only() { each 1 'djpeg -dct float -ppm "$1" | cjpeg -dct float -quality 90 > "'"$work"'/out/$(basename "$1")"'; }
X=$(timed codec_only)

declare -A T
for load in 50 w800 150; do
  case $load in
    50)   vz=(--percent 50);  im=(-resize 50%);   vs='0.5';;
    w800) vz=(--width 800);   im=(-resize 800x)
          vs='$(echo "scale=6; 800 / $(identify -format %w "$1" 2>/dev/null | head -1)" | bc -l)';;
    150)  vz=(--percent 150); im=(-resize 150%);  vs='1.5';;
  esac
  T[vz1,$load]=$(PASSES=3 timed "$batch" --quiet --jobs 1 "${vz[@]}" "$work/in")
  T[vzN,$load]=$(PASSES=3 timed "$batch" --quiet "${vz[@]}" "$work/in")
  # 1: one thread; N: the tool's own threads; P: one single-threaded process per core
  for mode in 1 N P; do
    case $mode in 1) thr=1 par=1;; N) thr=$cores par=1;; P) thr=1 par=$cores;; esac
    T[im$mode,$load]=$(PASSES=1 timed each $par "MAGICK_THREAD_LIMIT=$thr $IM \"\$1\" ${im[*]} -quality 90 \"$work/out/\$(basename \"\$1\")\"")
    T[gm$mode,$load]=$(PASSES=1 timed each $par "OMP_NUM_THREADS=$thr gm convert \"\$1\" ${im[*]} -quality 90 \"$work/out/\$(basename \"\$1\")\"")
    T[vips$mode,$load]=$(PASSES=1 timed each $par "VIPS_CONCURRENCY=$thr vips resize \"\$1\" \"$work/out/\$(basename \"\$1\")[Q=90]\" $vs")
  done
done

ratio() { printf '%.2f' "$(echo "$1 / $X" | bc -l)"; }
echo "Folder: $count photos, $mp MP; $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf 'X (djpeg | cjpeg, float DCT, q90, one after another): %.2f s\n\n' "$X"
printf '| %-38s | %12s | %12s | %12s |\n' "tool (ratio to X; seconds)" "50 %" "width 800" "150 %"
printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..40})" "--------------" "--------------" "--------------"
row() {
  local key=$1 label=$2
  printf '| %-38s |' "$label"
  for load in 50 w800 150; do printf ' %5s (%5.2f) |' "$(ratio "${T[$key,$load]}")" "${T[$key,$load]}"; done
  echo
}
row vz1  "vizuvod-batch --jobs 1"
row vzN  "vizuvod-batch (--jobs $cores)"
row im1  "ImageMagick convert, 1 thread"
row imN  "ImageMagick convert, $cores threads"
row imP  "ImageMagick convert, $cores processes"
row gm1  "GraphicsMagick, 1 thread"
row gmN  "GraphicsMagick, $cores threads"
row gmP  "GraphicsMagick, $cores processes"
row vips1 "vips resize, 1 thread"
row vipsN "vips resize, $cores threads"
row vipsP "vips resize, $cores processes"
echo
for load in 50 w800 150; do
  printf 'speed-up of default jobs over --jobs 1, %s: %.2f\n' "$load" "$(echo "${T[vz1,$load]} / ${T[vzN,$load]}" | bc -l)"
done

# Peak memory with --jobs 1, above the idle process, per decoded size of the largest photo.
largest=0
for f in "${photos[@]}"; do
  read -r w h < <(identify -format '%w %h\n' "$f" 2>/dev/null | head -1)
  [ $((w * h)) -gt "$largest" ] && largest=$((w * h))
done
mkdir -p "$work/empty"
rss() { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1; }
idle=$(rss "$batch" --quiet --percent 50 "$work/empty" || true)
echo
for load in "--percent 50" "--percent 150"; do
  clean
  peak=$(rss "$batch" --quiet --jobs 1 $load "$work/in")
  printf 'peak memory, --jobs 1 %s: %d MB above idle = %.2f x the largest decoded photo (%d MB)\n' \
    "$load" $(((peak - idle) / 1024)) "$(echo "($peak - $idle) * 1024 / ($largest * 3)" | bc -l)" $((largest * 3 / 1048576))
done
