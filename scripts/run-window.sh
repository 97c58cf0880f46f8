#!/bin/sh
# Starts the wizard window; without a display says so and points to vizuvod-batch.
BUILD=${1:-build}
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
  echo "vizuvod needs a display to show its window (none found: DISPLAY is not set)."
  echo "To resize a folder without a window, use the command-line tool:"
  echo "  $BUILD/cli/vizuvod-batch --percent 50 /path/to/photos"
  echo "or start the window on a virtual display:  xvfb-run $BUILD/app/vizuvod"
  exit 1
fi
exec "$BUILD/app/vizuvod"
