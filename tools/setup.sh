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

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
