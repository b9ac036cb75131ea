#!/usr/bin/env bash
# Installs every package the build, the tests, the benchmarks, the Debian package and the Windows
# cross build need, from Debian 12.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-qpa-plugins fonts-dejavu-core
  libsqlite3-dev nlohmann-json3-dev sqlite3  # recordings, their JSON export; sqlite3 for checking them by hand
  clang-format time
  appstream desktop-file-utils  # the install test validates the desktop entry and the metadata
  dpkg-dev file                 # cpack -G DEB finds the package's dependencies with them
  g++-mingw-w64-x86-64-posix wine wine64  # the Windows build, cross-compiled, and its tests under Wine
  socat                                   # a null-modem cable between two pseudo-terminals
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "setup-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

echo "== installing build and test dependencies from Debian packages (first run, or when some are missing): ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
