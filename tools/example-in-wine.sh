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
WINE_FONTS=${KV_WINE_FONTS:-/usr/share/wine/fonts}

RUN_DIR=$(mktemp -d "${TMPDIR:-/tmp}/kv-example.XXXXXX")
export WINEPREFIX="$RUN_DIR/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  local status=$?
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$RUN_DIR"
  exit $status
}
trap cleanup EXIT INT TERM

say() { printf '\n== %s\n' "$*"; }
kvscan() { (cd "$RUN_DIR" && wine "$KVSCAN" "$@" </dev/null | tr -d '\r'); }
# A path on drive C: ("C:\x\y") as a path in the prefix's folder.
unix_path() { local p=${1#[Cc]:\\}; printf '%s/drive_c/%s' "$WINEPREFIX" "${p//\\//}"; }

say "A fresh Wine prefix in $RUN_DIR"
wineboot -i >/dev/null 2>&1 || true
wineserver -w || true

say "Making the fresh prefix sound"
wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' </dev/null | tr -d '\r' >"$RUN_DIR/fonts.txt"
FONTS="$WINEPREFIX/drive_c/windows/Fonts"
FONTS_KEY='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
# Fonts registered by bare file name (so looked for in C:\windows\Fonts) that are not there.
while IFS=$'\t' read -r name file; do
  [[ $file == *\\* || $file == *:* || -e "$FONTS/$file" ]] && continue
  if [ -e "$WINE_FONTS/$file" ]; then
    cp "$WINE_FONTS/$file" "$FONTS/$file"
    echo "font $file: copied from $WINE_FONTS into C:\\windows\\Fonts, where its registration looks for it"
  else
    wine reg delete "$FONTS_KEY" /v "$name" /f </dev/null >/dev/null 2>&1
    echo "font registration \"$name\" removed: Wine registers $file but does not ship it"
  fi
done < <(sed -n 's/^    \(.*\)    REG_SZ    \(.*\)$/\1\t\2/p' "$RUN_DIR/fonts.txt")
wine reg query 'HKCR\CLSID' /s </dev/null | tr -d '\r' >"$RUN_DIR/clsid.txt"
# Keys "...\InProcServer" (a 16-bit server) whose default value names a DLL that is nowhere in the prefix.
awk '/^HKEY_/ { key = $0; next }
     key ~ /\\[Ii]n[Pp]roc[Ss]erver$/ && /^    \(Default\)  *REG_SZ/ { sub(/^    \(Default\)  *REG_SZ  */, ""); print key "\t" $0 }' \
  "$RUN_DIR/clsid.txt" | while IFS=$'\t' read -r key dll; do
  if [ -z "$(find "$WINEPREFIX/drive_c/windows" -maxdepth 2 -iname "$dll" -print -quit)" ]; then
    wine reg delete "$key" /f </dev/null >/dev/null 2>&1
    echo "removed $key: a 16-bit server ($dll) this 64-bit prefix does not have"
  fi
done
if ! kvscan --json >"$RUN_DIR/baseline.json"; then
  echo "kvscan finds the fresh prefix itself faulty; this script does not know how to repair that:" >&2
  cat "$RUN_DIR/baseline.json" >&2
  exit 1
fi
echo "kvscan: the fresh prefix is clean"

say "Importing examples/machine.reg and creating the files of examples/files.txt"
wine reg import "$(winepath -w "$ROOT/examples/machine.reg")" </dev/null 2>&1 | tr -d '\r'
created=0
while IFS= read -r line; do
  line=${line%$'\r'}
  [[ -z "${line// }" || $line == \#* ]] && continue
  target=$(unix_path "$line")
  if [[ $line == *\\ ]]; then
    mkdir -p "$target"
  else
    mkdir -p "$(dirname "$target")"
    [ -e "$target" ] || { : >"$target"; created=$((created + 1)); }
  fi
done <"$ROOT/examples/files.txt"
echo "$created files created (files Wine already has are left as they are)"

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
