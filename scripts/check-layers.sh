#!/usr/bin/env bash
# Fails when a source file includes a layer above its own, when a layer below the windows
# includes Qt, when the windows include a POSIX header, or when <windows.h> leaves the Windows files. Layers and what each may include (besides itself):
#   files, image, res: nothing      device: files image        registration: files image
#   present: device image res files (and Qt, for the overlay drawing)
#   core: files image device registration res                 sim: device (frame helpers), record (replay)
#   record: device files image                                cli: everything but ui
#   ui: everything
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"

declare -A allowed=(
  [files]="files" [image]="image" [res]="res"
  [device]="device files image" [registration]="registration files image"
  [present]="present device image res files"
  [core]="core files image device registration res"
  [sim]="sim device record"
  [record]="record device files image"
  [cli]="cli core present device files image registration res sim record"
)
qt_allowed=" present ui "

status=0
for layer in "${!allowed[@]}"; do
  [ -d "$layer" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    include=$(sed -E 's/^[^:]*:[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*//' <<<"$line")
    if [[ $include =~ ^\"([a-z_]+)/ ]]; then
      target=${BASH_REMATCH[1]}
      if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
        echo "$file: $layer may not include $include" >&2
        status=1
      fi
    elif [[ $include =~ ^\<Q ]] && [[ $qt_allowed != *" $layer "* ]]; then
      echo "$file: $layer may not include Qt ($include)" >&2
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' --include='*.h' --include='*.cpp' "$layer" || true)
done
# The windows build on Windows as they are: no POSIX header in them. Everywhere, the Windows header
# stays inside the files built for Windows only.
posix_headers='<(unistd|fcntl|termios|poll|pty|signal|dirent|pwd|grp|dlfcn|syslog|sys/[a-z_]+)\.h>'
while IFS= read -r line; do
  echo "${line%%:*}: the windows use no POSIX call (${line#*#include })" >&2
  status=1
done < <(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*$posix_headers" --include='*.h' --include='*.cpp' \
           ui present 2>/dev/null || true)
while IFS= read -r file; do
  case $file in
    *_win32.cpp) ;;
    *) echo "$file: <windows.h> belongs in a *_win32.cpp file" >&2; status=1 ;;
  esac
done < <(grep -rlE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>' --include='*.h' --include='*.cpp' \
           "${!allowed[@]}" ui tests 2>/dev/null || true)
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
