#!/usr/bin/env bash
# Installs the Debian packages the engine builds, runs and tests with. Quick when they are all there.
set -euo pipefail
packages=(
  cmake g++ make pkg-config clang libclang-rt-14-dev
  libbox2d-dev libsoil-dev freeglut3-dev libglu1-mesa-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick x11-utils libgl1-mesa-dri
)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
