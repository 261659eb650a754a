#!/usr/bin/env bash
# Builds the program in release mode and starts it; arguments go to the program (a menu file to open).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

exec ./build/release/vazovevoz "$@"
