#!/bin/bash
# HEIC photos to JPEG at width 800 and at 50 %, against that format's floor,
# in one run:
#
#   bench/heic.sh [BUILD_DIR]        (PASSES=3, COPIES=4 by default)
#
# The floor is heif_floor: libheif decoding every photo plus libjpeg encoding
# every result, in one thread. Printed for each size: the floor,
# vizuvod-batch --jobs 1 and with its default jobs, and vips (vipsthumbnail,
# one thread and its default) when it is installed, with the ratios. The
# bench set is the phone and camera HEIC photos of ../shared/corpus/formats,
# COPIES times each, in a work folder. Times are the best of PASSES passes.
# Without the corpus the script says so and exits 0.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
corpus=${VIZUVOD_CORPUS:-$here/../shared/corpus}/formats
passes=${PASSES:-3}
copies=${COPIES:-4}
[ -d "$corpus" ] || { echo "heic.sh: skipped, no formats corpus at $corpus"; exit 0; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
for f in "$corpus"/*.heic; do
  case $(basename "$f") in sequence_*) continue ;; esac
  for k in $(seq "$copies"); do cp "$f" "$work/in/$k-$(basename "$f")"; done
done
photos=("$work"/in/*.heic)

best() {  # best() COMMAND...: the best wall time of PASSES runs, in seconds
  local b=999999 t
  for _ in $(seq "$passes"); do
    rm -rf "$work/out"; mkdir "$work/out"
    /usr/bin/time -f %e -o "$work/time" "$@" >/dev/null 2>&1
    t=$(tail -1 "$work/time")
    b=$(echo "if ($t < $b) $t else $b" | bc)
  done
  echo "$b"
}
ratio() { echo "scale=2; $1 / $2" | bc; }

echo "${#photos[@]} HEIC photos, best of $passes"
for size in "width 800" "percent 50"; do
  set -- $size
  floor=$(best "$build/bench/heif_floor" --$1 "$2" "${photos[@]}")
  one=$(best "$build/cli/vizuvod-batch" --formats heic --$1 "$2" --jobs 1 --quiet --output "$work/out" "$work/in")
  all=$(best "$build/cli/vizuvod-batch" --formats heic --$1 "$2" --quiet --output "$work/out" "$work/in")
  line="$1 $2: floor ${floor}s; vizuvod-batch --jobs 1 ${one}s ($(ratio "$one" "$floor")x the floor), default jobs ${all}s ($(ratio "$one" "$all")x faster)"
  if command -v vipsthumbnail >/dev/null; then
    box=$([ "$1" = width ] && echo "${2}x" || echo "")
    if [ -n "$box" ]; then
      v1=$(best env VIPS_CONCURRENCY=1 bash -c 'for f; do vipsthumbnail "$f" -s '"$box"' -o "'"$work"'/out/%s.jpg[Q=90]"; done' _ "${photos[@]}")
      vall=$(best bash -c 'printf "%s\0" "$@" | xargs -0 -P "$(nproc)" -n 4 vipsthumbnail -s '"$box"' -o "'"$work"'/out/%s.jpg[Q=90]"' _ "${photos[@]}")
    else
      v1=$(best env VIPS_CONCURRENCY=1 bash -c 'for f; do vips resize "$f" "'"$work"'/out/$(basename "$f").jpg[Q=90]" 0.5; done' _ "${photos[@]}")
      vall=$(best bash -c 'printf "%s\0" "$@" | xargs -0 -P "$(nproc)" -I{} sh -c "vips resize \"{}\" \"'"$work"'/out/\$(basename \"{}\").jpg[Q=90]\" 0.5"' _ "${photos[@]}")
    fi
    line="$line; vips one thread ${v1}s ($(ratio "$v1" "$floor")x the floor), parallel ${vall}s"
  fi
  echo "$line"
done
