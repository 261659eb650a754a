#!/usr/bin/env bash
# Checks the include rule of the libraries: a file includes only from its own folder's library and from
# the libraries below it. A folder is a library (workspace/, editors/ and app/ are together vazo_ui).
# Prints every include that breaks the rule and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each folder may include from, its own folder included, from the bottom up.
declare -A allowed=(
  [core]="core"
  [document]="document core"
  [check]="check document core"
  [player]="player document core"
  [pagemap]="pagemap check document core"
  [edits]="edits document core"
  [media]="media document core"
  [dialogs]="dialogs document core"
  [finder]="finder"
  [dvdimport]="dvdimport check media document core"
  [moviedata]="moviedata dialogs media document core"
  [workspace]="workspace editors app moviedata dialogs finder dvdimport media edits pagemap check player document core"
  [editors]="workspace editors app moviedata dialogs finder dvdimport media edits pagemap check player document core"
  [app]="workspace editors app moviedata dialogs finder dvdimport media edits pagemap check player document core"
  [cli]="cli dvdimport pagemap check player finder media document core"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || { echo "missing library folder: $folder/"; status=1; continue; }
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$line")
    case "$target" in
      */*) ;;
      *) continue ;;   # a header beside the file, or a generated .moc
    esac
    dir=${target%%/*}
    if [ -z "${allowed[$dir]+x}" ]; then
      echo "$file: includes $target, which is no library of the program"
      status=1
    elif [[ " ${allowed[$folder]} " != *" $dir "* ]]; then
      echo "$file: includes $target, but $folder/ may include only from: ${allowed[$folder]}"
      status=1
    fi
  done < <(grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
done

# Every source file of the program lies in a library folder (nothing left in a folder of its own).
for stray in platform; do
  if [ -d "$stray" ]; then echo "$stray/ is no library folder"; status=1; fi
done

[ $status -eq 0 ] && echo "include rule: every library includes only from itself and the ones below it"
exit $status
