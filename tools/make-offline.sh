#!/usr/bin/env bash
# Writes a machine (a registry export and a list of its files, as kvscan --reg --files reads them) as a
# Windows installation that is not running: hive files (SOFTWARE, SYSTEM, the user's NTUSER.DAT and
# UsrClass.dat, built with the hive library's write calls on the empty hive tests/offline/hives/minimal.hive)
# in a folder tree holding the listed files (empty) and folders, for kvscan --offline.
#
#   bash tools/make-offline.sh [REG FILES] OUT
#
# Without REG and FILES: the example machine (examples/machine.reg, examples/files.txt). OUT/C is then the
# system drive: `build/native/cli/kvscan --offline OUT/C`. Builds the native kvmkoffline and kvscan first
# (libhivex-dev is needed: tools/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -eq 1 ]; then
  set -- examples/machine.reg examples/files.txt "$1"
elif [ $# -ne 3 ]; then
  echo "usage: bash tools/make-offline.sh [REG FILES] OUT" >&2
  exit 2
fi
REG=$1
FILES=$2
OUT=$3
if [ -e "$OUT" ] && [ -n "$(ls -A "$OUT" 2>/dev/null)" ]; then
  echo "make-offline: $OUT exists and is not empty" >&2
  exit 2
fi
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-$(command -v ccache || true)}
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target kvmkoffline kvscan >/dev/null
build/native/cli/kvmkoffline --reg "$REG" --files "$FILES" --empty-hive tests/offline/hives/minimal.hive --out "$OUT" >/dev/null
echo "$OUT/C holds the installation: build/native/cli/kvscan --offline $OUT/C"
