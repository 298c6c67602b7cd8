#!/usr/bin/env bash
# The benchmark: a clean full probe (mask 127) of generated heavy machines at sizes 1, 2 and 4, natively
# over the memory platform and under Wine over the real registry (scratch keys standing in for the roots)
# and real files, each beside the floor (the least any program must do to examine the same machine).
# Prints a table; its last two lines are "growth x4/x1: R" and "probe/floor under Wine: R".
#
#   bash bench/run.sh                      everything (installs packages first, as tools/test.sh does)
#   KV_SKIP_INSTALL=1 bash bench/run.sh    the packages are already there
#   KV_BENCH_SIZES="1 4" KV_BENCH_REPS=5   other sizes / repetitions (the best of the repetitions counts)
set -euo pipefail
cd "$(dirname "$0")/.."
SIZES=${KV_BENCH_SIZES:-1 2 4}
REPS=${KV_BENCH_REPS:-3}
JOBS=${KV_JOBS:-$(nproc)}

if [ "${KV_SKIP_INSTALL:-0}" != 1 ]; then bash tools/install-deps.sh >&2; fi

echo "building (native and Windows) ..." >&2
cmake --preset native >/dev/null
cmake --build --preset native -j "$JOBS" --target kvbench >&2
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$JOBS" --target kvbench >&2

# shellcheck source=tools/wine-prefix.sh
source tools/wine-prefix.sh
wine_scratch bench

RESULTS="$RUN_DIR/results.txt"
NATIVE=build/native/bench/kvbench
WINDOWS=build/windows/bench/kvbench.exe

for size in $SIZES; do
  for rep in $(seq "$REPS"); do
    echo "memory, size $size, repetition $rep" >&2
    "$NATIVE" probe --size "$size" | tee -a "$RESULTS" >&2
    "$NATIVE" floor --size "$size" | tee -a "$RESULTS" >&2
  done
done

echo "creating a Wine prefix ..." >&2
wine_boot
for size in $SIZES; do
  echo "wine, size $size: generating" >&2
  wine "$WINDOWS" generate --size "$size" | tr -d '\r' >&2
  wineserver -w || true  # let the registry settle (the server saves it) before measuring
  for rep in $(seq "$REPS"); do
    echo "wine, size $size, repetition $rep" >&2
    wine "$WINDOWS" probe --size "$size" | tr -d '\r' | tee -a "$RESULTS" >&2
    wine "$WINDOWS" floor --size "$size" | tr -d '\r' | tee -a "$RESULTS" >&2
  done
done

echo "== kvbench $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(wine --version 2>/dev/null)"
"$NATIVE" report "$RESULTS"
