#!/usr/bin/env bash
# Builds everything and runs every test: the native suite, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the thread tests under ThreadSanitizer, every fuzz target for a bounded time,
# and the Windows build's tests under Wine (in a fresh prefix, with a virtual display). Installs what it
# needs first. Exits non-zero on any failure.
#
#   bash tools/test.sh            everything
#   KV_SKIP_INSTALL=1 bash ...    skip the package installation (already done)
#   KV_FUZZ_SECONDS=60            seconds of fuzzing per target (tools/fuzz.sh)
#   KV_FUZZ_SEED=1                the fuzzers' seed (fixed, so that every run explores the same inputs first)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${KV_JOBS:-$(nproc)}

if [ "${KV_SKIP_INSTALL:-0}" != 1 ]; then
  bash tools/install-deps.sh
fi

# The installer's test needs NSIS; without it the build would leave the installer out, so fail here instead.
if ! command -v makensis >/dev/null; then
  echo "makensis (Debian package nsis) is missing: the installer and its test cannot be built" >&2
  exit 1
fi

# One scratch folder for this run (the Wine prefix, the display's files and the test artifacts' copies),
# a virtual display for Wine's windows (the monitor, its alert and dialogs, the notification area), and
# everything cleaned up at the end (tools/wine-prefix.sh).
# shellcheck source=tools/wine-prefix.sh
source tools/wine-prefix.sh
wine_scratch test
export KV_RUN_DIR=$RUN_DIR
wine_display

# Each way of building is one CMake workflow (CMakePresets.json): configure, build, test.
export CMAKE_BUILD_PARALLEL_LEVEL=$JOBS
step() { printf '\n=== %s ===\n' "$*"; }

step "the sources keep the house style (.clang-format)"
bash tools/format.sh --check

step "native build and tests"
CTEST_PARALLEL_LEVEL=$JOBS cmake --workflow --preset native

step "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
# A thousand rounds of each cancellation stress test here (two thousand in the native run).
KV_STRESS_ROUNDS=1000 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  CTEST_PARALLEL_LEVEL=$JOBS cmake --workflow --preset asan

step "ThreadSanitizer build and the scan-thread, cancel and exit tests"
# A thousand rounds of each stress test here too.
KV_STRESS_ROUNDS=1000 TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 CTEST_PARALLEL_LEVEL=$JOBS \
  cmake --workflow --preset tsan

step "fuzzing: libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer, ${KV_FUZZ_SECONDS:-60} s per target"
KV_JOBS="$JOBS" KV_FUZZ_SEED="${KV_FUZZ_SEED:-1}" bash tools/fuzz.sh

step "Windows build (mingw-w64) and tests under Wine"
# The prefix first, so that the tests find it made; the tests run one at a time (the windows test preset).
wine_boot
cmake --workflow --preset windows

step "the modern example machine under Wine: clean, in code page 1252 and in a far-east one"
bash tools/modern-in-wine.sh build/windows/cli/kvscan.exe

step "the same machines under Wine and offline: the same verdict, list and result"
bash tools/offline-vs-wine.sh build/windows/cli/kvscan.exe build/native/cli/kvscan build/native/cli/kvmkoffline

step "all tests passed"
