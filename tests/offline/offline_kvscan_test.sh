#!/usr/bin/env bash
# kvscan --offline as a user runs it:
#  - each example machine, written as hives and a folder tree by kvmkoffline, gives the verdict, list and
#    result the same machine gives in memory (kvscan --reg --files);
#  - the real hives (Windows 7 and 10 SYSTEM, a Windows 7 NTUSER.DAT, a UsrClass.dat) are read, the ones not
#    closed cleanly are reported dirty, and the damaged SYSTEM hive gives exit 2 with a clear message;
#  - nothing is written: the checksums of every file of the trees are the same after the probes;
#  - usage errors (no such folder, no such user, a bad --drive) give exit 2.
#
#   offline_kvscan_test.sh KVSCAN KVMKOFFLINE SOURCE_DIR
set -uo pipefail
KVSCAN=$1
MKOFFLINE=$2
SOURCE=$3
HIVES=$SOURCE/tests/offline/hives
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kv-offline.XXXXXX")
trap 'chmod -R u+w "$WORK" 2>/dev/null; rm -rf "$WORK"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Every file below a folder with its checksum, size and time.
fingerprint() {
  (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum && find . -printf '%p %s %T@ %m\n' | sort)
}

# What must be the same on both platforms.
verdict() {
  jq -S '{result, clean, cancelled, section, group, list, explanation,
          sections: [.sections[] | {name, group, count, items}]}' "$1"
}

machines=("$SOURCE/examples/machine.reg $SOURCE/examples/files.txt")
if [ -f "$SOURCE/examples/modern/machine.reg" ]; then
  machines+=("$SOURCE/examples/modern/machine.reg $SOURCE/examples/modern/files.txt")
fi

n=0
for machine in "${machines[@]}"; do
  read -r reg files <<<"$machine"
  n=$((n + 1))
  out=$WORK/machine$n
  if ! "$MKOFFLINE" --reg "$reg" --files "$files" --empty-hive "$HIVES/minimal.hive" --out "$out" >/dev/null; then
    fail "$reg: kvmkoffline failed"
    continue
  fi
  before=$(fingerprint "$out")
  "$KVSCAN" --reg "$reg" --files "$files" --json >"$WORK/memory$n.json"
  memoryStatus=$?
  "$KVSCAN" --offline "$out/C" --json >"$WORK/offline$n.json" 2>"$WORK/offline$n.err"
  offlineStatus=$?
  "$KVSCAN" --offline "$out/C" >"$WORK/offline$n.txt" 2>&1
  textStatus=$?
  after=$(fingerprint "$out")
  echo "$reg: memory exit $memoryStatus, offline exit $offlineStatus (text $textStatus)"
  [ "$memoryStatus" = "$offlineStatus" ] || fail "$reg: exit $offlineStatus offline, $memoryStatus in memory"
  [ "$textStatus" = "$offlineStatus" ] || fail "$reg: exit $textStatus with text, $offlineStatus with JSON"
  if ! diff <(verdict "$WORK/memory$n.json") <(verdict "$WORK/offline$n.json"); then
    fail "$reg: the offline verdict differs from the memory machine's (above: < memory, > offline)"
  fi
  [ "$(jq .offline "$WORK/offline$n.json")" = true ] || fail "$reg: the JSON lacks offline: true"
  [ "$(jq .dirty "$WORK/offline$n.json")" = false ] || fail "$reg: hives written here are reported dirty"
  [ "$(jq -r '.paths.drives["C:"]' "$WORK/offline$n.json")" = "$out/C" ] || fail "$reg: the JSON lacks the drive's folder"
  [ "$(jq '.paths.hives | length' "$WORK/offline$n.json")" = 4 ] || fail "$reg: the JSON does not name the four hives"
  grep -q "^Offline: the installation on $out/C" "$WORK/offline$n.txt" || fail "$reg: the text does not say it was offline"
  [ "$before" = "$after" ] || fail "$reg: the probe changed the tree"
done
# The example machine has one fault, the modern one none.
[ "$(jq .clean "$WORK/offline1.json")" = false ] || fail "the example machine's fault is not found offline"
if [ "$n" -ge 2 ]; then
  [ "$(jq .clean "$WORK/offline2.json")" = true ] || fail "the modern machine is not clean offline"
fi

# A drive the installation has (its mounted devices name D:) but that is not given: a Run entry and a
# share there cannot be checked offline and are no fault (a share on the network would be); given with
# --drive, they are looked for there.
share=$(printf 'Path=D:\\Shared\\Data\0Type=0\0\0' | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
{
  cat "$SOURCE/examples/machine.reg"
  printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\MountedDevices]\r\n"\\\\DosDevices\\\\D:"=hex:00,01\r\n'
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"OnD"="D:\\\\tools\\\\run.exe"\r\n'
  printf '\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\lanmanserver\\Shares]\r\n"DataOnD"=hex(7):%s\r\n' "$share"
} >"$WORK/drives.reg"
"$MKOFFLINE" --reg "$WORK/drives.reg" --files "$SOURCE/examples/files.txt" --empty-hive "$HIVES/minimal.hive" \
  --out "$WORK/drives" >/dev/null || fail "drives.reg: kvmkoffline failed"
mkdir -p "$WORK/d-empty" "$WORK/d-full/Tools" "$WORK/d-full/shared/DATA" && touch "$WORK/d-full/Tools/Run.exe"
"$KVSCAN" --offline "$WORK/drives/C" --json >"$WORK/d-none.json"
# Without the example's deliberate fault (the file types, group 64): clean, naming the drive not checked.
"$KVSCAN" --offline "$WORK/drives/C" --mask 63 >"$WORK/d-none-63.txt"
status=$?
[ "$status" = 0 ] || fail "entries on an unmapped drive D: are held against the machine (exit $status): $(cat "$WORK/d-none-63.txt")"
grep -q "^  Not checked: D: " "$WORK/d-none-63.txt" || fail "the explanation does not name D: as not checked: $(cat "$WORK/d-none-63.txt")"
"$KVSCAN" --offline "$WORK/drives/C" --drive "D=$WORK/d-full" --json >"$WORK/d-full.json"
"$KVSCAN" --offline "$WORK/drives/C" --drive "d=$WORK/d-empty" --json >"$WORK/d-empty.json"
for run in d-none d-full; do
  [ "$(jq -r .section "$WORK/$run.json")" = TFileExtCommands ] ||
    fail "$run: the Run entry on drive D: is held against the machine: $(jq -c .list "$WORK/$run.json")"
done
jq -e '.unchecked | map(startswith("D: (names on this drive cannot be checked offline")) | any' "$WORK/d-none.json" >/dev/null ||
  fail "an unmapped drive is not named as unchecked: $(jq -c .unchecked "$WORK/d-none.json")"
[ "$(jq '.unchecked | length' "$WORK/d-full.json")" = 0 ] || fail "a mapped drive is named as unchecked"
[ "$(jq -r '.paths.drives["D:"]' "$WORK/d-full.json")" = "$WORK/d-full" ] || fail "the JSON does not name drive D:'s folder"
[ "$(jq -r .section "$WORK/d-empty.json")" = TStartUpSectionHKCU ] ||
  fail "a program missing from a mapped drive D: is not found faulty: $(jq -r .section "$WORK/d-empty.json")"
# The share alone (its group, 16): not held against the machine unless drive D: is given without its folder.
for run in "d-none" "d-full --drive D=$WORK/d-full" "d-empty --drive D=$WORK/d-empty"; do
  read -r name drive <<<"$run"
  # shellcheck disable=SC2086
  "$KVSCAN" --offline "$WORK/drives/C" $drive --mask 16 --json >"$WORK/$name-16.json"
  found=$(jq -c '[.section, .list[0]]' "$WORK/$name-16.json")
  expected='[null,null]'
  [ "$name" = d-empty ] && expected='["TSharedFolders","DataOnD"]'
  [ "$found" = "$expected" ] || fail "$name: the share on drive D: gives $found, not $expected"
done

# The real hives, on the example machine's tree (its SOFTWARE names the profile they are put in).
real=$WORK/real
cp -a "$WORK/machine1" "$real"
config=$(dirname "$(jq -r '.paths.hives[] | select(.hive == "SYSTEM") | .file' "$WORK/offline1.json")")
config=${config/$WORK\/machine1/$real}
profile=$real/C/users/user
xz -dc "$HIVES/NTUSER.DAT.xz" >"$profile/NTUSER.DAT"
xz -dc "$HIVES/UsrClass.dat.xz" >"$profile/AppData/Local/Microsoft/Windows/UsrClass.dat"
for system in SYSTEM SYSTEM_WIN_10_1709; do
  xz -dc "$HIVES/$system.xz" >"$config/SYSTEM"
  before=$(fingerprint "$real")
  "$KVSCAN" --offline "$real/C" --json >"$WORK/$system.json" 2>"$WORK/$system.err"
  status=$?
  after=$(fingerprint "$real")
  echo "real hives with $system: exit $status, dirty $(jq .dirty "$WORK/$system.json"), $(jq '.sections | length' "$WORK/$system.json") sections"
  { [ "$status" = 0 ] || [ "$status" = 1 ]; } || fail "$system: exit $status: $(cat "$WORK/$system.err")"
  [ "$(jq .dirty "$WORK/$system.json")" = true ] || fail "$system: the dirty UsrClass.dat is not reported"
  grep -q "UsrClass.dat: the hive was not closed cleanly" "$WORK/$system.err" || fail "$system: no warning of the dirty hive"
  [ "$before" = "$after" ] || fail "$system: the probe changed the tree or its hives"
done
# The Windows 10 SYSTEM hive is dirty too.
jq -e '.paths.hives[] | select(.hive == "SYSTEM") | .dirty' "$WORK/SYSTEM_WIN_10_1709.json" >/dev/null ||
  fail "the dirty Windows 10 SYSTEM hive is not reported"

xz -dc "$HIVES/corrupted_system_hive.xz" >"$config/SYSTEM"
"$KVSCAN" --offline "$real/C" >"$WORK/corrupt.out" 2>"$WORK/corrupt.err"
status=$?
echo "damaged SYSTEM hive: exit $status: $(cat "$WORK/corrupt.err")"
[ "$status" = 2 ] || fail "a damaged hive gives exit $status, not 2"
grep -q "SYSTEM: the hive is damaged" "$WORK/corrupt.err" || fail "a damaged hive is not named in the message"
[ -s "$WORK/corrupt.out" ] && fail "a damaged hive still prints a report"

# Usage errors.
check_error() {
  local expected=$1
  shift
  "$KVSCAN" "$@" >"$WORK/usage.out" 2>"$WORK/usage.err"
  local status=$?
  [ "$status" = 2 ] || fail "kvscan $*: exit $status, not 2"
  grep -q -- "$expected" "$WORK/usage.err" || fail "kvscan $*: says \"$(cat "$WORK/usage.err")\", not \"$expected\""
}
check_error "No such file or directory" --offline "$WORK/nowhere"
check_error "does not hold an installation of Windows" --offline "$WORK"
check_error 'no user profile named "nobody"; the profiles are:' --offline "$WORK/machine1/C" --user nobody
check_error "not a drive letter and a folder" --offline "$WORK/machine1/C" --drive D
check_error "go with --offline" --user someone
check_error "different machines" --offline "$WORK/machine1/C" --reg "$SOURCE/examples/machine.reg" --files "$SOURCE/examples/files.txt"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all offline checks passed"
