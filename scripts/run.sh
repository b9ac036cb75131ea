#!/usr/bin/env bash
# Sets everything up, builds, and runs the command-line tool against the program's built-in
# simulated module (an emulator of the module on a pseudo-terminal, opened through the ordinary
# serial code). The tool works in build/bin, beside its delivered files, like the windowed program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-deps.sh
build=${QZM_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2
cd "$build/bin"

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
