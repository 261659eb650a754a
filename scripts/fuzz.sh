#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz") and runs one of them for a bounded time.
#
#   scripts/fuzz.sh TARGET [SECONDS]     e.g. scripts/fuzz.sh fuzz_avi 60
#
# The corpus lives in fuzz/corpus-TARGET (not committed). When it is empty it is seeded from
# fuzz/seeds-TARGET/ if that folder exists, and from `fuzz_seeds TARGET` (generated fixtures).
# A dictionary fuzz/TARGET.dict is used when present. Crashing inputs land in fuzz/crash-TARGET-*.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: scripts/fuzz.sh TARGET [SECONDS]}
seconds=${2:-60}

# Fuzzing is not part of the normal build, so its compiler is installed here, only when missing.
./scripts/install-deps.sh clang libclang-rt-14-dev

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "$target" -j "$(nproc)"

corpus="fuzz/corpus-$target"
mkdir -p "$corpus"
if [ -z "$(ls -A "$corpus")" ]; then
  if [ -d "fuzz/seeds-$target" ]; then
    cp -r "fuzz/seeds-$target/." "$corpus/"
  fi
  if cmake --build --preset fuzz --target fuzz_seeds -j "$(nproc)" >/dev/null 2>&1; then
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 build/fuzz/fuzz/fuzz_seeds "$target" "$corpus"
  fi
fi

args=(-max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048
      -artifact_prefix="fuzz/crash-$target-")
if [ -f "fuzz/$target.dict" ]; then
  args+=(-dict="fuzz/$target.dict")
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "build/fuzz/fuzz/$target" "${args[@]}" "$corpus"
