#!/bin/sh
# Renders each wizard page, the three message boxes and the options' menu and
# dialogs to PNG with the window test's screenshot mode, offscreen:
#   scripts/screenshots.sh [-l ru|en] [-s SCALE] [BUILD] [FOLDER]
# -l picks the window's language (Russian by default), -s the scale factor
# (QT_SCALE_FACTOR; 1 by default, 2 for double density). The README's pictures
# come from here (docs/screenshots/<ru|en>/<1x|2x>).
set -e
LANGUAGE=ru
SCALE=1
while getopts l:s: option; do
  case $option in
    l) LANGUAGE=$OPTARG ;;
    s) SCALE=$OPTARG ;;
    *) echo "usage: $0 [-l ru|en] [-s SCALE] [BUILD] [FOLDER]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
case $LANGUAGE in
  ru|en) ;;
  *) echo "$0: the language is ru or en, not $LANGUAGE" >&2; exit 2 ;;
esac
BUILD=${1:-build}
OUT=${2:-docs/screenshots}
mkdir -p "$OUT"
VIZUVOD_SCREENSHOTS=$(realpath "$OUT") VIZUVOD_SCREENSHOTS_LANGUAGE=$LANGUAGE \
  QT_SCALE_FACTOR=$SCALE QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$BUILD/tests/app/app_WindowTest" screenshots >/dev/null
ls "$OUT"
