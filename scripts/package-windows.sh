#!/usr/bin/env bash
# Packs the Windows game as a zip: a folder "Zendar" holding zendar1.exe and
# z1tool.exe beside the game data, which a Windows user unpacks and runs.
#
#   scripts/package-windows.sh [i686|x86_64] [OUT.zip]
#
# The 32-bit build (the default) runs on every Windows; the 64-bit twin only
# on 64-bit Windows. Builds what is missing first (see scripts/test-windows.sh
# for the build folders).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
ARCH=${1:-i686}
case "$ARCH" in
i686) BUILD=${WIN32_BUILD_DIR:-build-win32} ;;
x86_64) BUILD=${WIN64_BUILD_DIR:-build-win64} ;;
*)
    echo "usage: scripts/package-windows.sh [i686|x86_64] [OUT.zip]" >&2
    exit 2
    ;;
esac
OUT=${2:-$ROOT/zendar-windows-$ARCH.zip}
mkdir -p "$(dirname "$OUT")"
OUT=$(cd "$(dirname "$OUT")" && pwd)/$(basename "$OUT")
HOST=${BUILD_DIR:-build}

if [ ! -f "$HOST/build.ninja" ]; then
    cmake -S . -B "$HOST" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$HOST" --target game_folder
if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$ARCH-w64-mingw32.cmake" -DZENDAR_HOST_BUILD="$ROOT/$HOST"
fi
cmake --build "$BUILD" --target zendar1 z1tool game_folder

STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
mkdir -p "$STAGE/Zendar"
cmake -DFROM="$ROOT/$BUILD/bin" -DTO="$STAGE/Zendar" -P "$ROOT/cmake/copy-game-data.cmake"
for exe in zendar1.exe z1tool.exe; do
    "$ARCH-w64-mingw32-strip" -o "$STAGE/Zendar/$exe" "$BUILD/bin/$exe"
done
rm -f "$OUT"
(cd "$STAGE" && cmake -E tar cf "$OUT" --format=zip Zendar)
echo "$OUT: $(du -h "$OUT" | cut -f1), unpack and run Zendar\\zendar1.exe"
