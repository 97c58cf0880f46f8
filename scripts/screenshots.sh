#!/bin/sh
# Renders each wizard page and the three message boxes to PNG with the window
# test's screenshot mode, offscreen: scripts/screenshots.sh [BUILD] [FOLDER].
# The README's pictures come from here (docs/screenshots). QT_SCALE_FACTOR=2
# in the environment renders them at double density.
set -e
BUILD=${1:-build}
OUT=${2:-docs/screenshots}
mkdir -p "$OUT"
VIZUVOD_SCREENSHOTS=$(realpath "$OUT") QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$BUILD/tests/app/app_WindowTest" screenshots >/dev/null
ls "$OUT"
