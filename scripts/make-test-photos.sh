#!/bin/bash
# Writes a small folder of made-up JPEG photos for the package and image
# checks: landscape, portrait, odd sizes, grey, progressive, in subfolders
# and with a Cyrillic name. Needs cjpeg (Debian libjpeg-turbo-progs).
#
#   scripts/make-test-photos.sh FOLDER
set -euo pipefail
folder=${1:?usage: make-test-photos.sh FOLDER}
mkdir -p "$folder/поездка" "$folder/2024/лето"

# A plain PPM (or PGM) with gradients and a fine pattern, so that resizing
# has something to average.
picture() { # WIDTH HEIGHT SEED GREY
  awk -v w="$1" -v h="$2" -v s="$3" -v grey="$4" 'BEGIN {
    print (grey ? "P2" : "P3"); print w, h; print 255
    for (y = 0; y < h; y++) {
      line = ""
      for (x = 0; x < w; x++) {
        r = int(x * 255 / w); g = int(y * 255 / h); b = (x * 7 + y * 13 + x * y + s) % 256
        if (grey) line = line " " int((r + g + b) / 3)
        else line = line " " r " " g " " b
      }
      print line
    }
  }'
}

photo() { # NAME WIDTH HEIGHT SEED [cjpeg options...]
  local name=$1 width=$2 height=$3 seed=$4 grey=0
  shift 4
  [[ " $* " == *" -grayscale "* ]] && grey=1
  picture "$width" "$height" "$seed" "$grey" | cjpeg -quality 92 "$@" > "$folder/$name"
}

photo "beach.jpg" 640 480 1
photo "tower.JPG" 480 640 2
photo "odd size.jpg" 333 257 3
photo "grey.jpg" 400 300 4 -grayscale
photo "поездка/вокзал.jpg" 800 600 5 -progressive
photo "поездка/small.jpg" 96 64 6
photo "2024/лето/river.jpg" 720 540 7 -sample 1x1
photo "2024/лето/hill.jpg" 560 420 8 -progressive -sample 1x1
