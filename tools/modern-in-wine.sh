#!/usr/bin/env bash
# Probes the modern example machine (examples/modern/: a healthy 64-bit Windows 10/11 machine, its 32-bit
# programs and per-user installs, names in several scripts) under Wine with kvscan.exe, and expects it
# clean: once in the C locale (Windows-1252 as the 8-bit code page) and once in a far-east one
# (KV_FAR_EAST_LOCALE, zh_CN.UTF-8 unless told otherwise: code page 936), which must be installed.
# The example's user folder, C:\Users\Ольга, is put where the prefix keeps its own user's folder (Wine
# derives that from the Linux user's name), in the registry export and in the list of files alike.
# Exits 0 when every probe is clean; cleans up whatever happens.
#
#   tools/modern-in-wine.sh path/to/kvscan.exe [example folder, examples/modern by default]
set -euo pipefail
KVSCAN=$(realpath "$1")
ROOT=$(cd "$(dirname "$0")/.." && pwd)
EXAMPLE=$(realpath "${2:-$ROOT/examples/modern}")
FAR_EAST=${KV_FAR_EAST_LOCALE:-zh_CN.UTF-8}
if ! locale -a 2>/dev/null | grep -qix "$(echo "$FAR_EAST" | sed 's/UTF-8/utf8/I')"; then
  echo "the locale $FAR_EAST is not installed (tools/install-deps.sh generates it)" >&2
  exit 1
fi
# shellcheck source=tools/wine-machine.sh
source "$ROOT/tools/wine-machine.sh"

make_sound_prefix

move_modern_user "$EXAMPLE/machine.reg" "$EXAMPLE/files.txt"
put_machine "$RUN_DIR/machine.reg" "$RUN_DIR/files.txt"

failed=0
probe() {
  local what=$1; shift
  say "kvscan.exe ($what)"
  set +e
  (cd "$RUN_DIR" && env "$@" wine "$KVSCAN" --json </dev/null | tr -d '\r') >"$RUN_DIR/result.json"
  local status=${PIPESTATUS[0]}
  set -e
  python3 - "$RUN_DIR/result.json" "$status" "$what" <<'PY' || failed=1
import json, sys
result = json.load(open(sys.argv[1], encoding="utf-8"))
status, what = int(sys.argv[2]), sys.argv[3]
items = sum(s.get("items", 0) for s in result["sections"])
if status == 0 and len(result["sections"]) == 13:
    print(f"clean ({what}): 13 sections, {items} items examined")
    sys.exit(0)
print(f"UNEXPECTED ({what}): exit status {status}, {result.get('section')}: {result.get('list', [])[:3]}")
print(json.dumps(result, ensure_ascii=False, indent=1)[:4000])
sys.exit(1)
PY
}
probe "code page 1252" LC_ALL=C.UTF-8
wineserver -k >/dev/null 2>&1 || true
wineserver -w || true
export LC_ALL="$FAR_EAST" LANG="$FAR_EAST"
make_prefix_sound
probe "$FAR_EAST"

say "Verdict"
if [ "$failed" -ne 0 ]; then
  echo "the modern example machine is not clean under Wine" >&2
  exit 1
fi
echo "the modern example machine is clean under Wine, in both code pages"
