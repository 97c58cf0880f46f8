#!/bin/bash
# Builds the Debian package from an existing build, checks it with lintian,
# installs it the way a user would and tries the installed programs and
# desktop files. Needs root (or sudo) for the installation. CI runs it after
# `make test`, so the build is reused.
set -euo pipefail
BUILD=${1:-build}
cd "$(dirname "$0")/.."
make --no-print-directory deb BUILD="$BUILD"
package=$(realpath "$(ls "$BUILD"/vizuvod_*.deb)")
lintian --fail-on error "$package"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package"
vizuvod-batch --help >/dev/null
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM vizuvod --version
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM vizuvod --help >/dev/null
desktop-file-validate /usr/share/applications/example.fotrix.Vizuvod.desktop
appstreamcli validate --no-net /usr/share/metainfo/example.fotrix.Vizuvod.metainfo.xml
test -f /usr/share/man/man1/vizuvod.1.gz
# Folders are offered "Resize photos…", never opened by Vizuvod.
! grep -q '^MimeType=' /usr/share/applications/example.fotrix.Vizuvod.desktop
test -f /usr/share/kio/servicemenus/example.fotrix.Vizuvod.desktop
test -f /usr/share/nemo/actions/example.fotrix.Vizuvod.nemo_action
echo "Package $package installs and runs."
