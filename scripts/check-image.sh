#!/bin/bash
# Builds the vizuvod-batch container image (scripts/make-image.sh) from an
# existing build and runs it on a folder of made-up photos: its results must
# be byte for byte the host build's, and two shards run from the image must
# together write what one run writes. The image runs through `podman run`
# where this machine can run containers, else by chroot into the image's
# own files (exported from podman's store). Needs root. CI runs it after
# scripts/check-package.sh, so the packages are there already.
#
#   scripts/check-image.sh [BUILD_DIR]       (or `make check-image`)
#
# IMAGE_RUN=podman or IMAGE_RUN=chroot forces one way.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
cd "$here"
start=$SECONDS

make --no-print-directory image BUILD="$build"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
image=localhost/vizuvod-batch:$version

work=$(mktemp -d "${TMPDIR:-/tmp}/vizuvod-image.XXXXXX")
root=
cleanup() {
  if [ -n "$root" ]; then
    umount "$root/proc" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
scripts/make-test-photos.sh "$work/srv/photos"

# One run of the image's vizuvod-batch with the folder $work/srv seen as /srv.
# Limits the engine cannot raise (no CAP_SYS_RESOURCE) are lowered to what
# a run needs; crun refuses hosts with cgroups v1 and v2 mixed where runc
# does not.
podman_run=(podman run --rm --network none --ulimit nofile=4096:4096 --ulimit nproc=4096:4096
            --volume "$work/srv:/srv")
in_image() {
  case $way in
    podman) "${podman_run[@]}" "$image" "$@" ;;
    podman-runc) podman --runtime runc "${podman_run[@]:1}" "$image" "$@" ;;
    chroot) chroot "$root" /usr/bin/vizuvod-batch "$@" ;;
  esac
}

way=${IMAGE_RUN:-}
if [ -z "$way" ] || [ "$way" = podman ]; then
  for try in podman podman-runc; do
    [ "$try" = podman-runc ] && ! command -v runc >/dev/null && continue
    way=$try
    if in_image --version >/dev/null 2>"$work/podman.err"; then break; fi
    way=
  done
  if [ -z "$way" ]; then
    [ "${IMAGE_RUN:-}" = podman ] && { cat "$work/podman.err"; exit 1; }
    echo "podman cannot run containers here ($(tail -1 "$work/podman.err")); running by chroot."
  fi
fi
if [ -z "$way" ] || [ "$way" = chroot ]; then
  way=chroot
  root=$work/root
  mkdir "$root"
  container=$(podman create "$image")
  podman export "$container" | tar -x -C "$root"
  podman rm "$container" >/dev/null
  # The photos go where /srv is inside; /proc is there when it can be.
  rmdir "$root/srv" && mv "$work/srv" "$root/srv" && ln -s "$root/srv" "$work/srv"
  mount -t proc proc "$root/proc" 2>/dev/null || true
fi
echo "Running the image $image by $way."
in_image --version

# Same photos, same options: the host build and the image, and the image in
# two shards.
options=(--width 320 --recursive --quiet)
webp=(--percent 150 --format webp --quality 80 --recursive --quiet)
"$build/cli/vizuvod-batch" "${options[@]}" --output "$work/srv/host" "$work/srv/photos" >/dev/null
"$build/cli/vizuvod-batch" "${webp[@]}" --output "$work/srv/host-webp" "$work/srv/photos" >/dev/null
in_image "${options[@]}" --output /srv/image /srv/photos >/dev/null
in_image "${webp[@]}" --output /srv/image-webp /srv/photos >/dev/null
in_image "${options[@]}" --shard 0/2 --output /srv/shards /srv/photos >/dev/null
first=$(find "$work/srv/shards" -type f | wc -l)
in_image "${options[@]}" --shard 1/2 --output /srv/shards /srv/photos >/dev/null

photos=$(find "$work/srv/photos" -type f | wc -l)
results=$(find "$work/srv/host" -type f | wc -l)
if [ "$results" -ne "$photos" ]; then
  echo "The host build wrote $results results for $photos photos." >&2
  exit 1
fi
if [ "$first" -eq 0 ] || [ "$first" -eq "$photos" ]; then
  echo "Shard 0/2 wrote $first of $photos results: the photos were not shared out." >&2
  exit 1
fi
diff -r "$work/srv/host" "$work/srv/image"
diff -r "$work/srv/host-webp" "$work/srv/image-webp"
diff -r "$work/srv/host" "$work/srv/shards"
echo "The image writes the host build's $results results byte for byte (JPEG and WebP)," \
  "and its shards 0/2 ($first) and 1/2 together the same; $((SECONDS - start)) s."
