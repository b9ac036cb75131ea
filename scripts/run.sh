#!/usr/bin/env bash
# Sets everything up, builds, and runs the program: the windowed qzm-demo when a display is there
# (it offers the built-in "Simulated module" when no module is attached), otherwise the command-line
# tool against that simulated module (an emulator of the module on a pseudo-terminal, opened through
# the ordinary serial code). Both work in build/bin, beside their delivered files.
# It builds only these two programs and their delivered files; ./scripts/test.sh builds everything.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-deps.sh
build=${QZM_BUILD_DIR:-build}
echo "== configuring in $build/"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== building qzm-demo and qzm-cli (the tests are built by ./scripts/test.sh)"
cmake --build "$build" -j2 --target qzm-demo qzm-cli
cd "$build/bin"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== starting qzm-demo (choose \"Simulated module\" when no module is attached)"
  exec ./qzm-demo
fi
echo "No display found (DISPLAY and WAYLAND_DISPLAY are empty): qzm-demo needs one."
echo "Running the command-line demonstration against the simulated module instead."
echo

cli=(./qzm-cli --simulate)
echo "== ports"
./qzm-cli ports
echo "== version"
"${cli[@]}" version
echo "== one execution with every function and the 320 x 240 image"
"${cli[@]}" execute --functions all --image 320x240 --count 1 --save-frames frames
echo "(the camera image is in $PWD/frames/frame-000000.pgm)"
echo "== registered users"
"${cli[@]}" users
