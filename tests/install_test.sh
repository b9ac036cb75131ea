#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed command-line tool from an empty
# folder, as a user does after installing: the tool works in the user's data folder, which receives
# the delivered files on first start and keeps the user's changes at the next. With the windows, the
# desktop entry, the AppStream metadata and the icons must be installed and valid.
#   install_test.sh CMAKE BUILD_DIR WITH_UI(0|1) WITH_PROGRAM(0|1)
set -euo pipefail
cmake=$1 build=$2 with_ui=$3 with_program=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "install test: $*" >&2
    exit 1
}

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" || fail "cmake --install: $(cat "$work/install.log")"
data=$prefix/share/qzm-demo
delivered=(CmdTimeout.ini ExecTimeout.ini ImgTimeout.ini RegTimeout.ini AlbumTimeout.ini DefSettings.dat
           FullImageInfo.dat qzd00.qzb)
programs=(qzm-cli qzm-module-sim)
[ "$with_program" = 1 ] && programs+=(qzm-demo)
for p in "${programs[@]}"; do
    [ -x "$prefix/bin/$p" ] || fail "$p is not installed"
done
for f in "${delivered[@]}"; do
    [ -f "$data/$f" ] || fail "$f is not installed in $data"
done
copyright=$prefix/share/doc/qzm-demo/copyright
grep -q "^Licence: MIT" "$copyright" 2>/dev/null || fail "no copyright file stating the licence at $copyright"

# A fresh user, started from an empty folder.
export HOME=$work/home
unset XDG_DATA_HOME
user=$HOME/.local/share/qzm-demo
mkdir -p "$HOME" "$work/empty"
cd "$work/empty"
start() {
    "$prefix/bin/qzm-cli" --simulate version > "$work/out" 2> "$work/err" || fail "qzm-cli: $(cat "$work/err")"
    grep -qE $'^.+\t[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$' "$work/out" || fail "no version: $(cat "$work/out")"
}
start
grep -qF "Working folder: $user" "$work/err" || fail "first start does not name the folder: $(cat "$work/err")"
for f in "${delivered[@]}"; do
    cmp -s "$data/$f" "$user/$f" || fail "$f was not copied to $user"
done
[ -f "$user/Settings.ini" ] || fail "the settings were not stored in $user"
[ -z "$(ls -A "$work/empty")" ] || fail "the tool wrote into the current folder: $(ls -A "$work/empty")"

# The user's change survives the next start, which copies nothing and says nothing about it.
printf '; my own time-outs\r\n' >> "$user/CmdTimeout.ini"
cp "$user/CmdTimeout.ini" "$work/changed"
start
cmp -s "$work/changed" "$user/CmdTimeout.ini" || fail "the user's CmdTimeout.ini was replaced"
[ ! -s "$work/err" ] || fail "second start: $(cat "$work/err")"

if [ "$with_ui" = 1 ]; then
    share=$prefix/share
    desktop-file-validate "$share/applications/qzm-demo.desktop" || fail "desktop entry"
    appstreamcli validate --no-net --no-color "$share/metainfo/io.github.qzmk.demo.metainfo.xml" > "$work/as" ||
        fail "metainfo: $(cat "$work/as")"
    grep -qF '<project_license>MIT</project_license>' "$share/metainfo/io.github.qzmk.demo.metainfo.xml" ||
        fail "the metadata does not name the licence"
    for size in 16 24 32 48 64 128 256; do
        icon=$share/icons/hicolor/${size}x${size}/apps/qzm-demo.png
        [ -f "$icon" ] || fail "no icon $icon"
        # PNG signature, then the IHDR chunk's width and height, big-endian.
        read -r -a header <<< "$(od -An -tu1 -N24 -w24 "$icon")"
        [ "${header[1]}${header[2]}${header[3]}" = 807871 ] || fail "$icon is not a PNG"
        width=$(((header[18] << 8) | header[19])) height=$(((header[22] << 8) | header[23]))
        [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$icon is ${width}x${height}"
    done
fi
echo "install test: installed in $prefix and ran from there"
