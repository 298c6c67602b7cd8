#!/usr/bin/env bash
# Probes the example machine (examples/) under Wine with kvscan.exe:
#   1. a fresh Wine prefix in a temporary folder;
#   2. the prefix made sound: Wine registers a few things it does not install (bitmap fonts it keeps in its
#      own data folder, 16-bit COM servers a 64-bit prefix does not have); the fonts are put where their
#      registration says, the 16-bit server registrations removed, and kvscan must then find it clean;
#   3. the example registry imported (wine reg import) and its files created on the prefix's drive C:;
#   4. kvscan.exe run there, as text and as JSON;
#   5. cross-checks: without the faulty group the machine is clean, and with the missing program back in
#      place it is clean too.
# Exits 0 when kvscan reports the example's one deliberate fault and nothing else, non-zero otherwise.
# Cleans up (the Wine server, the temporary folder) whatever happens.
#
#   tools/example-in-wine.sh path/to/kvscan.exe
set -euo pipefail
KVSCAN=$(realpath "$1")
ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/wine-machine.sh
source "$ROOT/tools/wine-machine.sh"

make_sound_prefix
put_machine "$ROOT/examples/machine.reg" "$ROOT/examples/files.txt"

say "kvscan.exe"
set +e
kvscan
status=$?
kvscan --json >"$RUN_DIR/result.json"
json_status=$?
set -e
echo "(exit status $status)"

say "Cross-checks"
set +e
kvscan --mask 63 --json >"$RUN_DIR/other-groups.json"
other_status=$?
orbit=$(unix_path 'C:\Program Files\Orbit Photo\orbit.exe')
mkdir -p "$(dirname "$orbit")" && : >"$orbit"
kvscan --json >"$RUN_DIR/repaired.json"
repaired_status=$?
rm -rf "$(dirname "$orbit")"
set -e
echo "every group but \"File Extensions\" (mask 63): exit status $other_status (0: clean)"
echo "with C:\\Program Files\\Orbit Photo\\orbit.exe back in place (mask 127): exit status $repaired_status (0: clean)"

say "Verdict"
python3 - "$RUN_DIR/result.json" "$status" "$json_status" "$other_status" "$repaired_status" <<'PY'
import json, sys
result = json.load(open(sys.argv[1], encoding="utf-8"))
status, json_status, other_status, repaired_status = map(int, sys.argv[2:6])
expected = "HKEY_CLASSES_ROOT\\OrbitPhoto.Image\\shell\\open\\command"
ok = (status == 1 and json_status == 1 and result["section"] == "TFileExtCommands"
      and result["list"][:1] == [expected] and len(result["sections"]) == 13
      and other_status == 0 and repaired_status == 0)
print(("found the example's deliberate fault, and only it: " if ok else "UNEXPECTED: ") +
      f"{result['section']} ({result['group']}), {result['list'][:1]}")
sys.exit(0 if ok else 1)
PY
