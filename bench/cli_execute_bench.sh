#!/usr/bin/env bash
# qzm-cli execute --count N with every function and the 320 x 240 image against the emulator,
# unpaced, in a process of its own, so that the tool's CPU time is the PC's own work per execution
# (everything but the waiting on the line).
#   bench/cli_execute_bench.sh [BUILD_DIR] [COUNT]
set -euo pipefail
build=${1:-build}
count=${2:-200}
bin=$(cd "$build/bin" && pwd)
work=$(mktemp -d)
trap 'kill "$SIM_PID" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$bin/DefSettings.dat" "$bin/FullImageInfo.dat" "$work/"
coproc SIM { exec "$bin/qzm-module-sim" --personality extended; }
read -r -u "${SIM[0]}" port
# Connect once so that the settings are stored, then time the executions alone.
"$bin/qzm-cli" --dir "$work" --port "$port" version > /dev/null
start=$(date +%s.%N)
/usr/bin/time -f "%U %S" -o "$work/cpu" \
  "$bin/qzm-cli" --dir "$work" --port "$port" execute --functions all --image 320x240 --count "$count" --json \
  > "$work/out.json"
end=$(date +%s.%N)
read -r user sys < "$work/cpu"
runs=$(grep -c '"status":0,"returnCode":0' "$work/out.json")
# The connection at start (200 ms settle, 500 ms before the version) is not part of the executions.
awk -v s="$start" -v e="$end" -v u="$user" -v y="$sys" -v n="$runs" 'BEGIN {
  wall = e - s - 0.7
  printf "executions: %d ok, %.1f per second (wall %.2f s without the 0.7 s connection)\n", n, n / wall, wall
  printf "PC CPU time per execution (tool process, user+system): %.3f ms\n", (u + y) * 1000 / n
}'
