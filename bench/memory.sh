#!/bin/bash
# Peak memory (maximum resident set size, from /usr/bin/time -v) and wall
# time of vizuvod-batch beside vips on the same files, format by format:
#
#   bench/memory.sh [BUILD_DIR]          (COPIES=4 by default)
#
# Each set is resized to JPEG at width 800 (the 200 MP HEIC to width 600):
# vizuvod-batch with --jobs 1 and with its default jobs; vipsthumbnail
# given all the set's files in one process, with one thread and with its
# default, and the largest peak of one vipsthumbnail a file. Sets: the corpus JPEG photos; its HEIC, AVIF, PNG and WebP photos
# (COPIES times each, animations and sequences left out); and, when
# BIG=1, a 48 MP PNG of noise (made with vips) and a 200 MP HEIC grid of
# 768 tiles (made with make_grid_heic from a corpus iPhone photo; slow: a
# few minutes, kept in BIG_DIR, /tmp/vizuvod-big by default). Without the
# corpus the script says so and exits 0; without vips only vizuvod-batch
# is measured. Times are one run each: read them with the machine's load,
# which the script prints.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
corpus=${VIZUVOD_CORPUS:-$here/../shared/corpus}
copies=${COPIES:-4}
big=${BIG:-0}
bigdir=${BIG_DIR:-/tmp/vizuvod-big}
[ -d "$corpus/formats" ] || { echo "memory.sh: skipped, no corpus at $corpus"; exit 0; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

set_of() {  # set_of NAME FILE...: a folder of the files, COPIES times each
  mkdir -p "$work/$1"
  for f in "${@:2}"; do
    case $(basename "$f") in sequence_* | apng_* | animated_* | star_animated*) continue ;; esac
    for k in $(seq "$copies"); do cp "$f" "$work/$1/$k-$(basename "$f")"; done
  done
}
copies_was=$copies
copies=1 set_of jpeg "$corpus"/photos/*.jpg
set_of heic "$corpus"/formats/*.heic
set_of avif "$corpus"/formats/*.avif
set_of png "$corpus"/formats/*.png
set_of webp "$corpus"/formats/*.webp
sets="jpeg heic avif png webp"
if [ "$big" = 1 ]; then
  mkdir -p "$bigdir"
  if [ ! -s "$bigdir/noise48.png" ] && command -v vips >/dev/null; then
    for c in r g b; do vips gaussnoise "$work/$c.v" 8000 6000 --mean 128 --sigma 50; done
    vips bandjoin "$work/r.v $work/g.v $work/b.v" "$work/rgb.v"
    vips cast "$work/rgb.v" "$work/u.v" uchar
    vips pngsave "$work/u.v" "$bigdir/noise48.png" --compression 1
    rm -f "$work"/*.v
  fi
  [ -s "$bigdir/p200.heic" ] ||
    "$build/bench/make_grid_heic" "$corpus/formats/iPhoneXSMax_grid_DisplayP3.heic" \
      "$bigdir/p200.heic" 12240 16320 512 20
  copies=1 set_of png48 "$bigdir/noise48.png"
  copies=1 set_of heic200 "$bigdir/p200.heic"
  sets="$sets png48 heic200"
fi
copies=$copies_was

measure() {  # measure COMMAND...: "<peak MB> MB <seconds> s"
  rm -rf "$work/out"; mkdir "$work/out"
  /usr/bin/time -v -o "$work/time" "$@" >/dev/null 2>&1 || true
  local kb s
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")
  s=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time")
  echo "$((kb / 1024)) MB $s"
}

echo "load before: $(uptime)"
printf '%-8s %5s | %-22s %-22s | %-22s %-22s %s\n' set files "vizuvod --jobs 1" "vizuvod default" \
  "vipsthumbnail 1 thread" "vipsthumbnail default" "vips a process a file: peak"
for s in $sets; do
  width=800; [ "$s" = heic200 ] && width=600
  format=$s; case $s in png48) format=png ;; heic200) format=heic ;; esac
  files=("$work/$s"/*)
  one=$(measure "$build/cli/vizuvod-batch" --formats "$format" --width "$width" --jobs 1 --quiet \
    --keep-going --output "$work/out" "$work/$s")
  all=$(measure "$build/cli/vizuvod-batch" --formats "$format" --width "$width" --quiet \
    --keep-going --output "$work/out" "$work/$s")
  v1=-; vall=-; each=-
  if command -v vipsthumbnail >/dev/null; then
    v1=$(measure env VIPS_CONCURRENCY=1 vipsthumbnail "${files[@]}" -s "${width}x" \
      -o "$work/out/%s.jpg[Q=90]")
    vall=$(measure vipsthumbnail "${files[@]}" -s "${width}x" -o "$work/out/%s.jpg[Q=90]")
    each=0
    for f in "${files[@]}"; do
      m=$(measure env VIPS_CONCURRENCY=1 vipsthumbnail "$f" -s "${width}x" \
        -o "$work/out/%s.jpg[Q=90]")
      [ "${m%% *}" -gt "$each" ] && each=${m%% *}
    done
    each="$each MB"
  fi
  printf '%-8s %5s | %-22s %-22s | %-22s %-22s %s\n' "$s" "${#files[@]}" "$one" "$all" "$v1" "$vall" \
    "$each"
done
echo "load after: $(uptime)"
