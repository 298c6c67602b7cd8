#!/usr/bin/env bash
# The same machine probed under Wine and offline must give the same answer. For the example machine
# (examples/machine.reg, its one deliberate fault) and the modern one (examples/modern/, clean; its user's
# folder moved to the prefix's own user folder, on every side), kvscan.exe runs under Wine on a fresh
# prefix into which the machine was put (tools/wine-machine.sh: the prefix made sound, the registry export
# imported, its files created on drive C:), and its JSON report is compared with two of the native
# kvscan --offline:
#
#  1. on the machine written as an installation that is not running (kvmkoffline: hives and a folder tree,
#     as tools/make-offline.sh does). Compared: the exit status, result, clean, cancelled, section,
#     group, list, explanation, and for every section in order its name, group and count (the length of
#     its list). Not compared: each section's "items" (entries examined): the prefix holds Wine's own
#     registrations besides the machine's (classes, fonts, uninstall entries), all sound, so under Wine
#     the sections examine more entries; what they find must be the same.
#  2. on the prefix itself written as an installation: its registry exported (wine reg export HKLM and
#     HKCU), its drive C: listed, both written by kvmkoffline; its own user chosen by SID; drive Z: given
#     as "/", which it is in Wine, so that the host's fonts Wine registers there are looked at (the
#     prefix's mounted devices name Z:, so without it they would be "not checked", not faulty). Compared:
#     the same fields and each section's "items" too: the same registry and files, every entry judged
#     alike.
#
# The times and the offline side's own additions (offline, dirty, paths, warnings, unchecked) are not in
# the Windows report and are not compared. Prints both reports' compared fields and their difference on a
# mismatch. Exits 0 when everything matches.
#
#   tools/offline-vs-wine.sh path/to/kvscan.exe path/to/native/kvscan path/to/native/kvmkoffline
set -euo pipefail
KVSCAN=$(realpath "$1")
NATIVE=$(realpath "$2")
MKOFFLINE=$(realpath "$3")
ROOT=$(cd "$(dirname "$0")/.." && pwd)

# The fields that must match, in a stable order.
compared() {
  jq -S '{result, clean, cancelled, section, group, list, explanation,
          sections: [.sections[] | {name, group, count}]}' "$1"
}
# The same and each section's entries examined: for the prefix itself, the same registry and files.
compared_all() {
  jq -S '{result, clean, cancelled, section, group, list, explanation,
          sections: [.sections[] | {name, group, count, items}]}' "$1"
}

# One machine: REG FILES NAME [moved]. "moved": the modern example, whose user folder is put where the
# prefix keeps its own user's (Wine derives it from the Linux user's name), as modern-in-wine.sh does.
compare_machine() (
  local reg=$1 files=$2 machine=$3 move=${4:-}
  # shellcheck source=tools/wine-machine.sh
  source "$ROOT/tools/wine-machine.sh"
  make_sound_prefix
  if [ -n "$move" ]; then
    move_modern_user "$reg" "$files"
    reg=$RUN_DIR/machine.reg
    files=$RUN_DIR/files.txt
  fi
  put_machine "$reg" "$files"

  say "$machine: kvscan.exe under Wine"
  set +e
  kvscan --json >"$RUN_DIR/wine.json"
  local wineStatus=$?
  set -e
  echo "exit status $wineStatus"

  say "$machine: kvscan --offline on the same machine written as an installation"
  "$MKOFFLINE" --reg "$reg" --files "$files" --empty-hive "$ROOT/tests/offline/hives/minimal.hive" \
    --out "$RUN_DIR/offline" >/dev/null
  set +e
  "$NATIVE" --offline "$RUN_DIR/offline/C" --json >"$RUN_DIR/offline.json"
  local offlineStatus=$?
  set -e
  echo "exit status $offlineStatus"

  say "$machine: the prefix itself written as an installation (its registry exported, its drive C: listed)"
  wine reg export HKLM "$(winepath -w "$RUN_DIR/hklm.reg")" /y </dev/null >/dev/null
  wine reg export HKCU "$(winepath -w "$RUN_DIR/hkcu.reg")" /y </dev/null >/dev/null
  local sid
  sid=$(python3 - "$RUN_DIR" "$WINEPREFIX/drive_c" <<'PY'
import os, re, sys
run, drive = sys.argv[1:3]
machine = open(run + "/hklm.reg", "rb").read().decode("utf-16")
user = open(run + "/hkcu.reg", "rb").read().decode("utf-16").split("\n", 1)[1]
open(run + "/prefix.reg", "wb").write(b"\xff\xfe" + (machine + user).encode("utf-16-le"))
# Every folder and file of drive C:, as the list of a machine names them. A link to a folder (Wine links
# the user's Desktop, Documents, ... to the Linux user's) is listed as a folder and not entered.
lines = []
for folder, folders, files in os.walk(drive):
    relative = os.path.relpath(folder, drive)
    base = "C:\\" if relative == "." else "C:\\" + relative.replace("/", "\\") + "\\"
    lines += [base + name + "\\" for name in folders] + [base + name for name in files]
    folders[:] = [name for name in folders if not os.path.islink(os.path.join(folder, name))]
open(run + "/prefix-files.txt", "w", encoding="utf-8").write("\n".join(lines) + "\n")
# The prefix's own user, by SID (kvmkoffline adds a profile of its own for the same folder).
sids = re.findall(r"^\[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\(S-1-5-21-[0-9-]+)\]",
                  machine, re.M | re.I)
print(sids[0] if sids else "")
PY
)
  echo "$(wc -l <"$RUN_DIR/prefix-files.txt") folders and files on drive C:, user $sid; drive Z: is / as in Wine"
  "$MKOFFLINE" --reg "$RUN_DIR/prefix.reg" --files "$RUN_DIR/prefix-files.txt" \
    --empty-hive "$ROOT/tests/offline/hives/minimal.hive" --out "$RUN_DIR/prefix" >/dev/null
  set +e
  "$NATIVE" --offline "$RUN_DIR/prefix/C" --user "$sid" --drive Z=/ --json >"$RUN_DIR/prefix.json"
  local prefixStatus=$?
  set -e
  echo "exit status $prefixStatus"

  say "$machine: compared"
  local failures=0
  same "the machine" compared "$wineStatus" "$offlineStatus" "$RUN_DIR/wine.json" "$RUN_DIR/offline.json" ||
    failures=1
  same "the whole prefix, entries examined included" compared_all "$wineStatus" "$prefixStatus" \
    "$RUN_DIR/wine.json" "$RUN_DIR/prefix.json" || failures=1
  return $failures
)

# Whether two reports agree: WHAT FIELDS STATUS_WINE STATUS_OFFLINE JSON_WINE JSON_OFFLINE, FIELDS the
# function that picks the compared fields; prints both when they do not.
same() {
  local what=$1 fields=$2 wineStatus=$3 offlineStatus=$4 wine=$5 offline=$6
  "$fields" "$wine" >"$wine.$fields"
  "$fields" "$offline" >"$offline.$fields"
  if [ "$wineStatus" = "$offlineStatus" ] && cmp -s "$wine.$fields" "$offline.$fields"; then
    echo "$machine, $what: the same under Wine and offline: exit status $wineStatus, $(jq -c '{clean, section, list}' "$offline")"
    echo "  entries examined: $(jq '[.sections[].items] | add' "$wine") under Wine, $(jq '[.sections[].items] | add' "$offline") offline"
    return 0
  fi
  echo "MISMATCH on $machine, $what: exit status $wineStatus under Wine, $offlineStatus offline"
  echo "--- kvscan.exe under Wine:"
  cat "$wine.$fields"
  echo "--- kvscan --offline:"
  cat "$offline.$fields"
  echo "--- difference (< Wine, > offline):"
  diff "$wine.$fields" "$offline.$fields" || true
  return 1
}

failed=0
compare_machine "$ROOT/examples/machine.reg" "$ROOT/examples/files.txt" "the example machine" || failed=1
compare_machine "$ROOT/examples/modern/machine.reg" "$ROOT/examples/modern/files.txt" "the modern machine" moved ||
  failed=1

printf '\n== Verdict\n'
if [ "$failed" -ne 0 ]; then
  echo "kvscan.exe under Wine and kvscan --offline differ on the same machine" >&2
  exit 1
fi
echo "kvscan.exe under Wine and kvscan --offline agree on both example machines"
