#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, but only those that are missing,
# so that a second run costs a few dpkg queries.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libgl-dev libxkbcommon-dev libjpeg-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libcpp-httplib-dev
  rapidjson-dev nlohmann-json3-dev clang libclang-rt-dev
  xvfb xauth xdg-utils desktop-file-utils appstream file python3
  libopencv-dev opencv-data libdlib-dev libdlib-data
  libexiv2-dev qt6-image-formats-plugins  # photo metadata; WebP for Save As
  libblas-dev liblapack-dev zlib1g-dev  # the libraries dlib's CMake package names by their full path
)

# The benchmarks compare photo intake with libvips' thumbnailer; only `make bench` needs it. The tutorial video
# is encoded by ffmpeg; only `make manual` needs it (the video is kept with the sources).
if [ "${1:-}" = "bench" ]; then
  packages+=(libvips-tools)
fi
if [ "${1:-}" = "manual" ]; then
  packages+=(ffmpeg)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  [ -z "$sudo" ] || command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The face tests' photographs come from Debian packages: scikit-image's sample photos, and the photographs of
# people in KPhotoAlbum's demo album and Gramps' example tree (tests/faces/data/face-photos.json lists them).
# Only the photos are taken out of the packages, into build/test-photos, and nothing is installed. Building the
# program alone ("program") skips them. Without them only the tests that use them fail, saying so.
fetch_test_photos() {
  local photos="$1" work
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  (cd "$work" && { apt-get download -qq python3-skimage kphotoalbum gramps 2>/dev/null ||
                   { $sudo apt-get update -qq && apt-get download -qq python3-skimage kphotoalbum gramps; }; }) || return 1
  dpkg-deb --fsys-tarfile "$work"/python3-skimage_*.deb |
    tar -x -C "$work" --wildcards './usr/lib/python3/dist-packages/skimage/data/astronaut.png' \
        './usr/lib/python3/dist-packages/skimage/data/coffee.png' './usr/lib/python3/dist-packages/skimage/data/chelsea.png' ||
    return 1
  dpkg-deb --fsys-tarfile "$work"/kphotoalbum_*.deb | tar -x -C "$work" --wildcards './usr/share/kphotoalbum/demo/*.jpg' || return 1
  dpkg-deb --fsys-tarfile "$work"/gramps_*.deb | tar -x -C "$work" --wildcards './usr/share/doc/gramps/example/gramps/*.jpg' \
    './usr/share/doc/gramps/example/gramps/*.png' || return 1
  mkdir -p "$photos/faces" && cp "$work"/usr/lib/python3/dist-packages/skimage/data/*.png "$photos/" &&
    cp "$work"/usr/lib/python3/dist-packages/skimage/data/*.png "$work"/usr/share/kphotoalbum/demo/*.jpg \
       "$work"/usr/share/doc/gramps/example/gramps/* "$photos/faces/"
}
photos="$(dirname "$0")/../build/test-photos"
if [ "${1:-}" != "program" ] && [ ! -f "$photos/faces/O5.jpg" ]; then
  if fetch_test_photos "$photos"; then
    echo "Test photos in $photos"
  else
    echo "warning: could not fetch the face tests' photos (python3-skimage, kphotoalbum, gramps); those tests will fail" >&2
  fi
fi
