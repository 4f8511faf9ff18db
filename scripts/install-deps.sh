#!/usr/bin/env bash
# Installs the Debian packages the engine builds, runs and tests with (clang for the sanitizer
# pass and the fuzz targets, and the packaging tools the package test runs, included); with the
# argument `bench` or `soak` also gnuplot for their plots. Quick when they are all there.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config clang libclang-rt-14-dev
  libbox2d-dev libsoil-dev freeglut3-dev libglu1-mesa-dev libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcairo2-dev fonts-dejavu-core libfreetype-dev libfontconfig-dev libzip-dev libssl-dev
  liblua5.4-dev libopenal-dev libsndfile1-dev libenet-dev
  xvfb xauth xdotool imagemagick x11-utils libgl1-mesa-dri
  dpkg-dev file lintian
)
for group in "$@"; do
  case "$group" in
    bench | soak) packages+=(gnuplot-nox) ;;
    fuzz) ;;
    *) echo "install-deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done
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
