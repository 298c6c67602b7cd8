#!/usr/bin/env bash
# The main job: on a fresh Debian 12 machine, install what is needed, build kvscan.exe (the Windows
# build), and probe the example machine (examples/) with it under Wine, in a Wine prefix of its own in a
# temporary folder. Shows the broken entry found and explained; cleans up after itself.
#
#   bash tools/run-example.sh            (as root, or with sudo for the package step)
#   KV_SKIP_INSTALL=1 bash tools/run-example.sh
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${KV_JOBS:-$(nproc)}

if [ "${KV_SKIP_INSTALL:-0}" != 1 ]; then
  bash tools/install-deps.sh
fi

printf '\n== Building kvscan.exe (mingw-w64)\n'
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$JOBS" --target kvscan

bash tools/example-in-wine.sh build/windows/cli/kvscan.exe
