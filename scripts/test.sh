#!/usr/bin/env bash
# Sets everything up, builds from scratch and runs every test: the Linux build, then the Windows
# build (cross-compiled) under Wine.
#   QZM_BUILD_DIR   build folder (default: build)
#   QZM_SANITIZE    '' (default), 'address' (address+undefined) or 'thread'
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-deps.sh
build=${QZM_BUILD_DIR:-build}
echo "== configuring in $build/"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZM_SANITIZE="${QZM_SANITIZE:-}"
echo "== building everything: the programs, the tests and the benchmarks"
cmake --build "$build" -j2
echo "== running the tests"
(cd "$build" && ctest -j2 --output-on-failure)
[ -z "${QZM_SANITIZE:-}" ] || exit 0  # the sanitizers are the Linux build's
echo "== the Windows build: everything below the windows, the tool and the emulator, tested under Wine"
cmake --preset windows-cross
cmake --build --preset windows-cross
ctest --preset windows-cross
