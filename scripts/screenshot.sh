#!/usr/bin/env bash
# Starts the program on a virtual X display and saves a picture of the screen as docs/mainwindow.png.
# Usage: scripts/screenshot.sh [program]   (default: the release build, which run.sh makes)
set -euo pipefail
cd "$(dirname "$0")/.."

program="${1:-./build/release/vazovevoz}"
if [ ! -x "$program" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target vazovevoz -j "$(nproc)"
fi
mkdir -p docs

# Settings of the run go to a throw-away folder, not to the user's own.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

XDG_CONFIG_HOME="$scratch" xvfb-run --auto-servernum --server-args="-screen 0 1280x640x24" \
  bash -c '
    set -euo pipefail
    "$0" &
    pid=$!
    # Wait until the main window and both tool windows are mapped.
    for _ in $(seq 1 200); do
      if [ "$(xwininfo -root -tree | grep -c -E "\"(VRPL VazoVevoz - New File|Pages|Selections)\"")" -ge 3 ]; then
        break
      fi
      sleep 0.05
    done
    sleep 0.5   # let the windows paint
    import -window root "$1"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
  ' "$program" "$PWD/docs/mainwindow.png"
echo "docs/mainwindow.png written"
