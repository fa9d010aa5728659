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
  libopencv-dev opencv-data
)

# The benchmarks compare photo intake with libvips' thumbnailer; only `make bench` needs it.
if [ "${1:-}" = "bench" ]; then
  packages+=(libvips-tools)
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

# The face tests' photographs come from Debian's scikit-image package; only its sample photos are taken
# out of it, into build/test-photos, and nothing is installed. Building the program alone ("program") skips them. Without them only those tests fail, saying so.
fetch_test_photos() {
  local photos="$1" work
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' RETURN
  (cd "$work" && { apt-get download -qq python3-skimage 2>/dev/null ||
                   { $sudo apt-get update -qq && apt-get download -qq python3-skimage; }; }) || return 1
  dpkg-deb --fsys-tarfile "$work"/python3-skimage_*.deb |
    tar -x -C "$work" --wildcards './usr/lib/python3/dist-packages/skimage/data/astronaut.png' \
        './usr/lib/python3/dist-packages/skimage/data/coffee.png' './usr/lib/python3/dist-packages/skimage/data/chelsea.png' ||
    return 1
  mkdir -p "$photos" && cp "$work"/usr/lib/python3/dist-packages/skimage/data/*.png "$photos/"
}
photos="$(dirname "$0")/../build/test-photos"
if [ "${1:-}" != "program" ] && [ ! -f "$photos/astronaut.png" ]; then
  if fetch_test_photos "$photos"; then
    echo "Test photos in $photos"
  else
    echo "warning: could not fetch the face tests' photos (python3-skimage); those tests will fail" >&2
  fi
fi
