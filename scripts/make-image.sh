#!/bin/bash
# The container image of vizuvod-batch, from Debian's archive alone: no
# registry and no base image. mmdebstrap makes a Debian bookworm root file
# system (variant minbase) with the vizuvod-batch package of the build
# installed by apt, so exactly its run-time libraries come along; podman
# imports it as the image vizuvod-batch:<version> and saves it as an OCI
# archive beside the package:
#
#   scripts/make-image.sh [BUILD_DIR]      (or `make image`)
#
# Results, in BUILD_DIR: vizuvod-batch_<version>.oci.tar (the image, for
# `podman load`, `kind load image-archive` or `ctr images import`) and the
# image itself in podman's local store. MIRROR=URL takes the packages from
# another Debian mirror (default: Debian's own, with bookworm-updates and
# bookworm-security). Needs root, mmdebstrap and podman (`make image-deps`).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
package=$(ls "$build"/vizuvod-batch_"$version"_*.deb)
tag=vizuvod-batch:$version
archive=$build/vizuvod-batch_$version.oci.tar
rootfs=$build/vizuvod-batch_$version.rootfs.tar

# The image holds what vizuvod-batch needs and no more: no recommended
# packages, no documentation, manual pages or translations (the copyright
# files stay), no apt lists or caches (mmdebstrap removes those itself).
# /usr is merged the way debootstrap does it, which spares the usrmerge
# package and the Perl it would bring.
start=$SECONDS
log=$build/vizuvod-batch_$version.mmdebstrap.log
trap 'rm -rf "$rootfs.part" "$rootfs" "$archive.part"' EXIT
if ! mmdebstrap --variant=minbase --format=tar \
  --aptopt='APT::Install-Recommends "false"' \
  --dpkgopt='path-exclude=/usr/share/doc/*' \
  --dpkgopt='path-include=/usr/share/doc/*/copyright' \
  --dpkgopt='path-exclude=/usr/share/man/*' \
  --dpkgopt='path-exclude=/usr/share/info/*' \
  --dpkgopt='path-exclude=/usr/share/locale/*' \
  --dpkgopt='path-exclude=/usr/share/lintian/*' \
  --hook-dir=/usr/share/mmdebstrap/hooks/merged-usr \
  --hook-dir=/usr/share/mmdebstrap/hooks/file-mirror-automount \
  --include="$package" \
  bookworm "$rootfs.part" ${MIRROR:+"$MIRROR"} >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "mmdebstrap failed; its whole output is in $log." >&2
  exit 1
fi
mv "$rootfs.part" "$rootfs"
echo "Root file system made in $((SECONDS - start)) s."

podman rmi --ignore --force "$tag" >/dev/null
podman import --quiet \
  --change 'ENTRYPOINT ["/usr/bin/vizuvod-batch"]' \
  --change 'CMD ["--help"]' \
  --change 'ENV LANG=C.UTF-8' \
  --change "LABEL org.opencontainers.image.title=vizuvod-batch" \
  --change "LABEL org.opencontainers.image.version=$version" \
  "$rootfs" "$tag" >/dev/null
rm -f "$archive"
podman save --quiet --format oci-archive --output "$archive.part" "$tag"
mv "$archive.part" "$archive"
rm -f "$rootfs"

size=$(podman image inspect --format '{{.Size}}' "$tag")
echo "Image localhost/$tag: $((size / 1000000)) MB ($size bytes), archive $archive" \
  "$(($(stat -c %s "$archive") / 1000000)) MB, in $((SECONDS - start)) s."
