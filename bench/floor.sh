#!/bin/bash
# vizuvod-batch against the codec's own floor, in one run:
#
#   bench/floor.sh [BUILD_DIR]        (PASSES=3, REPEAT=13 by default)
#
# The floor of a folder job is libjpeg-turbo decoding every photo at full size
# (djpeg -dct float) plus encoding every result at its own size from PPM
# (cjpeg -dct float -quality 90), nothing else. Printed: the floor and
# vizuvod-batch --jobs 1 side by side for 50 %, width 800 and 150 %, with
# their ratio, and again against the floor with the results of progressive
# photos encoded progressive, as the engine must write them; the speed-up of the default job count over --jobs 1; one 24 MP
# photo at 150 % through the engine in one thread against that photo's floor;
# peak memory against the largest decoded photo, over the bench set and over
# it repeated REPEAT times.
#
# Bench set, from ../shared/corpus/photos: the eight colour photos of 8-13 MP,
# seven of them as they are (baseline) and lossless progressive copies
# (jpegtran) of the last five, so 12 photos of which 5 are progressive; plus
# four small ones. The 24 MP photo is one of them enlarged once into the work
# folder. Times are the best of PASSES passes, floor and batch taken in turns.
# Without the corpus the script says so and exits 0.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
corpus=${VIZUVOD_CORPUS:-$here/../shared/corpus}
batch=$build/cli/vizuvod-batch
job=$build/bench/photo_job
passes=${PASSES:-3}
repeat=${REPEAT:-13}

if [ ! -f "$corpus/MANIFEST.tsv" ]; then
  echo "floor.sh: skipped, no photo corpus at $corpus"
  exit 0
fi
for f in "$batch" "$job"; do
  [ -x "$f" ] || { echo "floor.sh: no $f: build first (make build)" >&2; exit 1; }
done
for tool in djpeg cjpeg jpegtran bc; do
  command -v $tool >/dev/null || { echo "floor.sh: missing $tool (libjpeg-turbo-progs, bc)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "floor.sh: missing /usr/bin/time (package time)" >&2; exit 1; }

work=$(mktemp -d /tmp/vizuvod-floor.XXXXXX)
trap 'rm -rf "$work"' EXIT
set_dir=$work/set
mkdir -p "$set_dir" "$work/ppm" "$work/one"

# Columns of MANIFEST.tsv: 1 file, 2 category, 7 megapixels, 8 components.
mapfile -t large < <(awk -F'\t' '$2 == "photos" && $8 == 3 && $7 >= 7.9 && $7 <= 13 {print $1}' \
                     "$corpus/MANIFEST.tsv" | sort)
[ "${#large[@]}" -ge 8 ] || { echo "floor.sh: skipped, fewer than 8 photos of 8-13 MP" ; exit 0; }
for i in 0 1 2 3 4 5 6; do ln -s "$corpus/${large[i]}" "$set_dir/$(basename "${large[i]}")"; done
for i in 3 4 5 6 7; do
  jpegtran -copy all -progressive -outfile "$set_dir/progressive-$(basename "${large[i]}")" \
    "$corpus/${large[i]}"
done
for f in Bush-dog.jpg Canon_PowerShot_S40.jpg door-knocker.jpg nikon-e950.jpg; do
  ln -s "$corpus/photos/$f" "$set_dir/$f"
done
photos=("$set_dir"/*.jpg)

now() { date +%s.%N; }
clean() { rm -f "$1"/Resize\ of\ *; }
seconds() {  # seconds a command takes, its output discarded
  local t0; t0=$(now)
  "$@" >/dev/null 2>&1 || { echo "floor.sh: FAILED: $*" >&2; exit 1; }
  echo "$(now) - $t0" | bc -l
}
min() { echo "if ($1 < $2) $1 else $2" | bc -l; }

decode_all() { for f in "$@"; do djpeg -dct float -outfile /dev/null "$f"; done; }
encode_all() { for f in "$work"/ppm/*; do cjpeg -dct float -quality 90 -outfile /dev/null "$f"; done; }
# The same, but a result of a progressive photo encoded progressive, as the
# engine must write it (it costs about three times a baseline encoding).
encode_all_as_made() {
  for f in "$work"/ppm/*; do
    case $(basename "$f") in
      p*) cjpeg -dct float -quality 90 -progressive -outfile /dev/null "$f" ;;
      *) cjpeg -dct float -quality 90 -outfile /dev/null "$f" ;;
    esac
  done
}
# The results of one load, as PPM, for the floor's encoding half (untimed);
# p... for the results of progressive photos, b... for the others.
results_as_ppm() {
  rm -f "$work"/ppm/*
  local n=0 kind
  for f in "$1"/Resize\ of\ *; do
    case $(basename "$f") in "Resize of progressive-"*) kind=p ;; *) kind=b ;; esac
    djpeg -outfile "$work/ppm/$kind$((n++)).ppm" "$f"
  done
}

declare -A floor made one many
for load in 50 w800 150; do
  case $load in 50) opt=(--percent 50);; w800) opt=(--width 800);; 150) opt=(--percent 150);; esac
  clean "$set_dir"
  "$batch" --quiet --jobs 1 "${opt[@]}" "$set_dir"
  results_as_ppm "$set_dir"
  best_floor=1000000 best_made=1000000 best_one=1000000 best_many=1000000
  for ((p = 0; p < passes; p++)); do
    d=$(seconds decode_all "${photos[@]}")
    e=$(seconds encode_all)
    best_floor=$(min "$best_floor" "$(echo "$d + $e" | bc -l)")
    e=$(seconds encode_all_as_made)
    best_made=$(min "$best_made" "$(echo "$d + $e" | bc -l)")
    clean "$set_dir"
    best_one=$(min "$best_one" "$(seconds "$batch" --quiet --jobs 1 "${opt[@]}" "$set_dir")")
    clean "$set_dir"
    best_many=$(min "$best_many" "$(seconds "$batch" --quiet "${opt[@]}" "$set_dir")")
  done
  floor[$load]=$best_floor made[$load]=$best_made one[$load]=$best_one many[$load]=$best_many
done
clean "$set_dir"

# One 24 MP photo: a 12 MP one enlarged to 141 % once, then 150 % of it.
source12=$(for f in "${large[@]}"; do echo "$f"; done | grep -m1 Olympus || echo "${large[0]}")
ln -s "$corpus/$source12" "$work/one/source.jpg"
"$batch" --quiet --jobs 1 --percent 141 "$work/one"
mv "$work/one/Resize of source.jpg" "$work/photo24.jpg"
rm "$work/one/source.jpg"
"$job" "$work/photo24.jpg" 150 1 >/dev/null
djpeg -outfile "$work/one/result.ppm" "$work/Resize of photo24.jpg"
best24=1000000
for ((p = 0; p < passes; p++)); do
  d=$(seconds djpeg -dct float -outfile /dev/null "$work/photo24.jpg")
  e=$(seconds cjpeg -dct float -quality 90 -outfile /dev/null "$work/one/result.ppm")
  best24=$(min "$best24" "$(echo "$d + $e" | bc -l)")
done
read -r _ first24 _ after24 < <("$job" "$work/photo24.jpg" 150 $((passes + 1)))
rm -f "$work/one/result.ppm"

# Peak memory of --jobs 1, over the set and over the set REPEAT times (links).
largest=0 largest24=0
dims() { djpeg -outfile /dev/null -verbose "$1" 2>&1 | sed -n 's/.*Start Of Frame.*width=\([0-9]*\), height=\([0-9]*\).*/\1 \2/p' | head -1; }
for f in "${photos[@]}"; do
  read -r w h < <(dims "$f")
  [ $((w * h)) -gt "$largest" ] && largest=$((w * h))
done
read -r w h < <(dims "$work/photo24.jpg")
largest24=$((w * h))
mkdir -p "$work/many"
for ((r = 0; r < repeat; r++)); do
  for f in "${photos[@]}"; do ln -s "$f" "$work/many/$r-$(basename "$f")"; done
done
manycount=$(ls "$work/many" | wc -l)
peak() {  # peak resident kB of one --jobs 1 run over a folder
  clean "$2"
  /usr/bin/time -f '%M' "$batch" --quiet --jobs 1 $1 "$2" 2>&1 >/dev/null | tail -1
}
declare -A mem
for load in "--percent 50" "--percent 150"; do
  mem[$load,set]=$(peak "$load" "$set_dir")
  mem[$load,many]=$(peak "$load" "$work/many")
done
mem24=$(/usr/bin/time -f '%M' "$job" "$work/photo24.jpg" 150 1 2>&1 >/dev/null | tail -1)
clean "$set_dir"

ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
echo "Bench set: ${#photos[@]} photos ($(ls "$set_dir" | grep -c '^progressive-') progressive); $(nproc) cores," \
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "best of $passes passes"
printf '%-10s %9s %16s %8s %18s %9s %16s %8s\n' load "floor s" "--jobs 1 s" ratio "default jobs s" \
  speed-up "floor as made s" ratio
for load in 50 w800 150; do
  case $load in 50) name="50 %";; w800) name="width 800";; 150) name="150 %";; esac
  printf '%-10s %9.2f %16.2f %7sx %18.2f %8sx %16.2f %7sx\n' "$name" "${floor[$load]}" "${one[$load]}" \
    "$(ratio "${one[$load]}" "${floor[$load]}")" "${many[$load]}" "$(ratio "${one[$load]}" "${many[$load]}")" \
    "${made[$load]}" "$(ratio "${one[$load]}" "${made[$load]}")"
done
echo "(floor as made: the results of progressive photos encoded progressive, as the engine writes them)"
echo
printf '24 MP photo at 150 %%, one thread: floor %.3f s; engine first pass %.3f s = %sx, later passes %.3f s = %sx\n' \
  "$best24" "$first24" "$(ratio "$first24" "$best24")" "$after24" "$(ratio "$after24" "$best24")"
echo
decoded=$((largest * 3))
for load in "--percent 50" "--percent 150"; do
  printf 'peak memory --jobs 1 %-13s %4d MB over %d photos, %4d MB over %d = %.2fx / %.2fx the largest decoded photo (%d MB)\n' \
    "$load:" $((mem[$load,set] / 1024)) "${#photos[@]}" $((mem[$load,many] / 1024)) "$manycount" \
    "$(echo "${mem[$load,set]} * 1024 / $decoded" | bc -l)" "$(echo "${mem[$load,many]} * 1024 / $decoded" | bc -l)" \
    $((decoded / 1048576))
done
printf 'peak memory, 24 MP photo at 150 %%: %d MB = %.2fx its decoded size (%d MB)\n' $((mem24 / 1024)) \
  "$(echo "$mem24 * 1024 / ($largest24 * 3)" | bc -l)" $((largest24 * 3 / 1048576))
