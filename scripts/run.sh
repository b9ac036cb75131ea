#!/usr/bin/env bash
# Sets everything up, builds, and shows the program working against the module emulator:
# the emulator runs on a pseudo-terminal and the command-line tool reads the module's version
# through the ordinary serial code.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup-deps.sh
build=${QZM_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2
bin="$build/bin"

"$bin/qzm-cli" ports
coproc SIM { exec "$bin/qzm-module-sim" --personality extended; }
trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
read -r -u "${SIM[0]}" port
echo "emulated module on $port"
"$bin/qzm-cli" --port "$port" --baud 921600 version
