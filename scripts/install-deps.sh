#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kestrovan need.
# Does nothing when every package is present already. Uses sudo when not run as root.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config clang-format clang-tidy
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libjpeg-dev
  libtomlplusplus-dev libcli11-dev nlohmann-json3-dev libssl-dev
  xvfb xauth fonts-dejavu-core locales
  clang libclang-rt-14-dev
  libqt6svg6 help2man man-db dpkg-dev file desktop-file-utils x11-utils
  python3 python3-matplotlib python3-numpy
  valgrind ccache
  ffmpeg
  libopenmpi-dev openmpi-bin procps
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q </dev/null
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

# A locale with a decimal comma, for the tests of locale-aware number reading.
if ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  echo "Generating the de_DE.UTF-8 locale" >&2
  if ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
