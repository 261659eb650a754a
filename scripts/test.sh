#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test through CTest.
# Widgets run on Qt's offscreen platform. Run as root (as CI does), the saving tests mount a small tmpfs
# to fill it; otherwise they skip that part and still test under a file-size limit.
# VAZO_SLOW_TESTS=1 also runs the slow tier (the >1 GiB video).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

# The include rule of the libraries (each folder includes only from the ones below it).
./scripts/check-layers.sh

# The Debian package, built in release mode and checked as an installing machine meets it. It comes
# before the tests so that the test run's summary closes the output.
./scripts/check-package.sh

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

if [ "${VAZO_SLOW_TESTS:-0}" = "1" ]; then
  ctest --test-dir build/asan --output-on-failure -j "$(nproc)" --timeout 1800
else
  ctest --preset asan -j "$(nproc)"
fi
