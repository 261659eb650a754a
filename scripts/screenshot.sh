#!/usr/bin/env bash
# Starts the program on a virtual X display with the demo menu open, shows its main menu page with one
# rectangle picked (so that the selection window lists its actions), and saves a picture of the screen
# as docs/mainwindow.png.
# Usage: scripts/screenshot.sh [program]   (default: the release build, which run.sh makes)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh xdotool

program="${1:-./build/release/vazovevoz}"
if [ ! -x "$program" ]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target vazovevoz -j "$(nproc)"
fi
mkdir -p docs

# Settings and recovery files of the run go to a throw-away folder, not to the user's own.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

XDG_CONFIG_HOME="$scratch" XDG_DATA_HOME="$scratch" \
  xvfb-run --auto-servernum --server-args="-screen 0 1600x860x24" \
  bash -c '
    set -euo pipefail
    "$0" examples/demo/demo.ini &
    pid=$!
    # Wait until the main window and both tool windows are mapped.
    for _ in $(seq 1 400); do
      if [ "$(xwininfo -root -tree | grep -c -E "\"(VRPL VazoVevoz - .*demo.ini|Pages|Selections)\"")" -ge 3 ]; then
        break
      fi
      sleep 0.05
    done
    sleep 1
    main=$(xdotool search --name "VRPL VazoVevoz - " | head -1)
    pages=$(xdotool search --name "^Pages$" | head -1)
    # The main menu page (the second row of the page list), then a click on its "Chapters" rectangle
    # (picture point 360,282; the picture lies 8 pixels inside the video panel, below the menu bar).
    xdotool mousemove --window "$pages" 120 74 click 1
    sleep 1
    xdotool mousemove --window "$main" $((8 + 360)) $((8 + 282 + 27)) click 1
    sleep 1
    xdotool mousemove --window "$main" $((8 + 600)) $((8 + 150 + 27))
    sleep 0.5
    import -window root "$1"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
  ' "$program" "$PWD/docs/mainwindow.png"
echo "docs/mainwindow.png written"
