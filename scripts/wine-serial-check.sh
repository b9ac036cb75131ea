#!/bin/sh
# Checks the Windows serial port under Wine against the emulator: maps COM7 of a Wine prefix of its
# own to the emulator's pseudo-terminal, talks to the module through the port, then ends the
# emulator and expects the port to report the device gone.
#
# usage: [BAUD=921600] [PACE=BAUD] scripts/wine-serial-check.sh [LINUX-BUILD-DIR]
#   needs qzm-module-sim built in LINUX-BUILD-DIR; PACE=0 lets the emulator answer at full speed
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-linux}
sim=$build/bin/qzm-module-sim
work=$(mktemp -d /tmp/qzm-wine-serial-XXXXXX)
export WINEPREFIX=${WINEPREFIX:-/tmp/qzm-wine-serial-prefix} WINEDEBUG=-all
link=$work/com7
simpid=
cleanup() {
    [ -n "$simpid" ] && kill "$simpid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -I"$src" -static -o "$work/check.exe" \
    "$src/tests/device/wine_port_check.cpp" "$src/device/connection.cpp" "$src/device/rs232.cpp" \
    "$src/device/rs232_connection.cpp" "$src/device/serial_port_common.cpp" \
    "$src/device/serial_port_win32.cpp" "$src/device/qzm_protocol.cpp" "$src/device/qzm_results.cpp" \
    "$src/image/image_data.cpp" "$src/image/img_conv.cpp"

wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /t REG_SZ /d "$link" /f >/dev/null
wineserver -k >/dev/null 2>&1 || true   # the mapping is read when Wine starts

"$sim" --personality extended --pace "${PACE:-${BAUD:-921600}}" --link "$link" >"$work/sim.out" &
simpid=$!
while [ ! -e "$link" ]; do sleep 0.1; done

# Wine's own messages go to a file, shown only when the check fails.
wine "$work/check.exe" COM7 "${BAUD:-921600}" "Z:$work/end-emulator" 2>"$work/wine.err" &
checkpid=$!
while [ ! -e "$work/end-emulator" ] && kill -0 "$checkpid" 2>/dev/null; do sleep 0.1; done
kill "$simpid" 2>/dev/null || true
simpid=
status=0
wait "$checkpid" || status=$?
[ "$status" -eq 0 ] || cat "$work/wine.err" >&2
exit "$status"
