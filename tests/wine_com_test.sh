#!/usr/bin/env bash
# The Windows tool under Wine against the Linux emulator, through a COM port of a Wine prefix made
# for this run and mapped to the emulator's pseudo-terminal: the same commands give the same
# results as the Linux tool against a fresh emulator, byte for byte in the files, and a module that
# goes away is reported instead of hanging. Then the other way round: the Windows emulator serves a
# COM port and the Linux tool talks to it.
#   $1  folder of the Linux qzm-module-sim and qzm-cli     $2  folder of qzm-cli.exe
#   $3  the delivered files (data/)                        $4  wine
set -euo pipefail
host=$1 windows=$2 data=$3 wine=$4
tmp=$(mktemp -d)
emulator= cable= windows_emulator=
cleanup() {
  set +e
  # Ending the Wine server ends every Windows program of the prefix (they do not heed SIGTERM).
  WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null || true
  for pid in $emulator $windows_emulator $cable; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export WINEPREFIX=$tmp/prefix WINEDEBUG=-all
"$wine" wineboot --init >/dev/null 2>&1
for port in COM7 COM8; do
  "$wine" reg add 'HKLM\Software\Wine\Ports' /v $port /t REG_SZ /d "$tmp/${port,,}" /f >/dev/null 2>&1
done
wineserver -k || true  # the port mapping is read when the Wine server starts
# Started apart, so that what it prints never mixes with a program's own messages.
wineserver -p >/dev/null 2>&1

start_emulator() {
  rm -f "$tmp/com7"
  "$host/qzm-module-sim" --personality extended --faces 1 --link "$tmp/com7" >"$tmp/emulator.out" &
  emulator=$!
  for _ in $(seq 100); do [ -e "$tmp/com7" ] && return; sleep 0.1; done
  fail "the emulator made no pseudo-terminal"
}
stop_emulator() { kill "$emulator"; wait "$emulator" 2>/dev/null || true; emulator=; }

# The same session for either tool (the array tool: the program and its port options) in its own
# working folder $1.
session() {
  local dir=$1
  mkdir -p "$dir"
  cp "$data/DefSettings.dat" "$data/FullImageInfo.dat" "$data/qzd00.qzb" "$dir/"
  (
    cd "$dir"
    run() {
      local status=0
      "$@" >"$dir.last" 2>&1 || status=$?
      tr -d '\r' <"$dir.last" | sed -E 's/Response time:[0-9]+ms/Response time:?ms/'
      echo "exit $status"
    }
    run "${tool[@]}" version
    run "${tool[@]}" execute --functions all --image 160x120 --count 3 --save-frames frames
    run "${tool[@]}" add-user "José Müller"
    run "${tool[@]}" add-user "山田"
    run "${tool[@]}" register 0
    run "${tool[@]}" users
    run "${tool[@]}" album save saved.qzc
    run "${tool[@]}" delete-all
    run "${tool[@]}" album load saved.qzc
    run "${tool[@]}" users
    run "${tool[@]}" check
    run "${tool[@]}" execute --functions face,recognition --image none
  ) >"$dir.out"
}

start_emulator
tool=("$wine" "$windows/qzm-cli.exe" --dir 'Z:'"$tmp"/windows --port COM7)
session "$tmp/windows"
stop_emulator
start_emulator
tool=("$host/qzm-cli" --dir "$tmp/linux" --port "$tmp/com7")
session "$tmp/linux"

diff -u "$tmp/linux.out" "$tmp/windows.out" || fail "the Windows tool answered otherwise than the Linux tool"
grep -q "QZM-K200" "$tmp/windows.out" || fail "no version came"
grep -q "Recognition 	José Müller" "$tmp/windows.out" || fail "the registered user was not recognised by name"
for file in saved.qzc frames/frame-000000.pgm frames/frame-000002.pgm; do
  cmp "$tmp/linux/$file" "$tmp/windows/$file" || fail "$file differs between the two tools"
done
echo "same results as the Linux tool: $(grep -c '^exit 0' "$tmp/windows.out") commands succeeded"

# Unplugged: the emulator ends in the middle of continuous execution. Either tool ends as the
# program does when the module goes away (exit 1 with its message) instead of waiting on.
unplug() {
  local name=$1
  shift
  start_emulator
  "$@" execute --image none --count 100000 >"$tmp/$name-unplug.out" 2>"$tmp/$name-unplug.err" &
  local cli=$! status=0
  sleep 3
  stop_emulator
  for _ in $(seq 300); do kill -0 "$cli" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$cli" 2>/dev/null; then
    kill "$cli"
    fail "the $name tool still waits 30 s after the module went away"
  fi
  wait "$cli" || status=$?
  [ "$status" -eq 1 ] || fail "the $name tool ended with $status after the module went away: $(cat "$tmp/$name-unplug.err")"
  grep -q -- "-------" "$tmp/$name-unplug.out" || fail "no execution ran before the unplug ($name)"
  echo "$name tool unplugged: $(tr -d '\r' <"$tmp/$name-unplug.err" | head -1)"
}
stop_emulator
unplug windows "$wine" "$windows/qzm-cli.exe" --dir 'Z:'"$tmp"/windows --port COM7
unplug linux "$host/qzm-cli" --dir "$tmp/linux" --port "$tmp/com7"

# The Windows emulator serving COM8, a pseudo-terminal pair standing in for a null-modem cable, and
# the Linux tool on the cable's other end.
socat pty,raw,echo=0,link="$tmp/com8" pty,raw,echo=0,link="$tmp/cable" &
cable=$!
for _ in $(seq 100); do [ -e "$tmp/com8" ] && [ -e "$tmp/cable" ] && break; sleep 0.1; done
"$wine" "$windows/qzm-module-sim.exe" --personality extended --faces 1 --port COM8 >"$tmp/served.out" 2>&1 &
windows_emulator=$!
for _ in $(seq 100); do [ -s "$tmp/served.out" ] && break; sleep 0.1; done
mkdir -p "$tmp/cable-side"
cp "$data/DefSettings.dat" "$data/FullImageInfo.dat" "$data/qzd00.qzb" "$tmp/cable-side/"
cable_tool=("$host/qzm-cli" --dir "$tmp/cable-side" --port "$tmp/cable")
[ "$("${cable_tool[@]}" version)" = "QZM-K200	1.2.0.2048" ] || fail "the Windows emulator on COM8 did not answer: $(cat "$tmp/served.out")"
"${cable_tool[@]}" execute --functions all --image 160x120 --count 2 --save-frames frames >/dev/null ||
  fail "executions through the Windows emulator failed"
[ "$(stat -c %s "$tmp/cable-side/frames/frame-000001.pgm")" -eq $((15 + 19200)) ] || fail "no frame came"
echo "the Windows emulator on COM8 answered the Linux tool: $(head -1 "$tmp/served.out" | tr -d '\r')"

