#!/bin/bash
# Builds the two Debian packages from an existing build, checks them with
# lintian, installs them the way a user would and tries the installed
# programs and desktop files: vizuvod-batch (no window, no Qt) resizes a few
# photos, vizuvod (the window) is there with its desktop entry. Needs root
# (or sudo) for the installation. CI runs it after `make test`, so the build
# is reused.
set -euo pipefail
BUILD=${1:-build}
cd "$(dirname "$0")/.."
make --no-print-directory deb check-deps BUILD="$BUILD"
# This build's packages, not those an older version left in the folder.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
batch=$(realpath -e "$BUILD/vizuvod-batch_${version}_$(dpkg --print-architecture).deb")
window=$(realpath -e "$BUILD/vizuvod_${version}_$(dpkg --print-architecture).deb")
lintian --fail-on error "$batch" "$window"

# The program without a window needs neither Qt nor fonts, and the window
# does not need it.
if dpkg-deb -f "$batch" Depends | grep -E -i 'qt|font'; then
  echo "vizuvod-batch depends on Qt or fonts." >&2
  exit 1
fi
test -z "$(dpkg-deb -f "$window" Depends Pre-Depends | grep -i vizuvod-batch)"
for package in "$batch" "$window"; do
  name=$(dpkg-deb -f "$package" Package)
  files=$(dpkg-deb -c "$package")
  grep -q " ./usr/share/doc/$name/copyright$" <<<"$files"
  grep -q " ./usr/share/doc/$name/changelog.gz$" <<<"$files"
done

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$batch" "$window"
test "$(dpkg-query -W -f '${Version}' vizuvod-batch)" = "$(dpkg-deb -f "$batch" Version)"
test "$(dpkg-query -W -f '${Version}' vizuvod)" = "$(dpkg-deb -f "$window" Version)"
test "$(dpkg -S /usr/bin/vizuvod-batch)" = "vizuvod-batch: /usr/bin/vizuvod-batch"
test "$(dpkg -S /usr/bin/vizuvod)" = "vizuvod: /usr/bin/vizuvod"

# The installed programs, whatever else is first on the PATH.
/usr/bin/vizuvod-batch --version
/usr/bin/vizuvod-batch --help >/dev/null
test -f /usr/share/man/man1/vizuvod-batch.1.gz
photos=$(mktemp -d)
trap 'rm -rf "$photos"' EXIT
scripts/make-test-photos.sh "$photos"
/usr/bin/vizuvod-batch --width 200 --output "$photos/small" "$photos" >/dev/null
test "$(find "$photos/small" -type f | wc -l)" -eq "$(find "$photos" -maxdepth 1 -iname '*.jpg' | wc -l)"

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/vizuvod --version
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/vizuvod --help >/dev/null
desktop-file-validate /usr/share/applications/example.fotrix.Vizuvod.desktop
appstreamcli validate --no-net /usr/share/metainfo/example.fotrix.Vizuvod.metainfo.xml
test -f /usr/share/man/man1/vizuvod.1.gz
# Folders are offered "Resize photos…", never opened by Vizuvod.
if grep '^MimeType=' /usr/share/applications/example.fotrix.Vizuvod.desktop; then
  echo "The desktop entry claims file types." >&2
  exit 1
fi
test -f /usr/share/kio/servicemenus/example.fotrix.Vizuvod.desktop
test -f /usr/share/nemo/actions/example.fotrix.Vizuvod.nemo_action
echo "Packages $batch and $window install and run."
