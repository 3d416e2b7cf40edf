#!/usr/bin/env bash
# Renders every pet in every pose, light and dark, into docs/pets/: one
# picture per pose at 2x (a 36 x 44 point start-button cell on a 44-point
# bar) and a sheet per appearance with all pets and poses at 1x, 2x and 4x.
# The pictures come from the taskbar tests, so they show the shipped artwork.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUORVEL_BUILD_DIR:-build}
out=${1:-docs/pets}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUORVEL_CMAKE_ARGS:-} >/dev/null
fi
ninja -C "$build" test_taskbar
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen QUORVEL_PET_RENDER_DIR="$(cd "$out" && pwd)" \
  "$build/tests/test_taskbar" --gtest_filter='PetArtPictures.*' --gtest_brief=1
ls "$out"/*.png | wc -l | xargs echo "pictures in $out:"
