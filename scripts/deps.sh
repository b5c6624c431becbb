#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need.
# Quick when everything is already there: only missing packages are fetched.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libsdl2-dev libsdl2-mixer-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libimgui-dev libstb-dev libpng-dev
  libassimp-dev libfreetype-dev fonts-dejavu-core libmp3lame-dev liblua5.4-dev
  googletest libgtest-dev libgmock-dev assimp-testmodels
  xvfb xauth xdotool imagemagick
  libirrlicht-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
)
# Sanitized build and fuzzing (scripts/sanitized-build.sh, scripts/fuzz.sh):
# clang with its sanitizer and libFuzzer runtimes.
PACKAGES+=(clang libclang-rt-14-dev)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
