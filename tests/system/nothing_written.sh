#!/usr/bin/env bash
# Proof that a program writes nothing, under Wine: the registry (HKLM, HKCU and HKCR, exported with Wine's
# own reg.exe) and the Wine drive (every file and folder with its size and last-write time) are taken
# before and after the program runs, and must be identical.
#
#   nothing_written.sh WINE_RUN kvscan KVSCAN_EXE
#       kvscan with the default mask, each group alone, all groups, and as JSON: probes of the prefix's
#       own registry and files.
#   nothing_written.sh WINE_RUN monitor DRIVER_EXE --monitor=MONITOR_EXE --standin=STANDIN_EXE
#       the monitor's test build (a short check interval) runs probes until its alert comes, the alert is
#       answered "No", two more probes run, and the monitor is asked to end as the full cleaner asks it.
#       DRIVER_EXE (kv_nothing_written) does all of that; it prepares what the test needs (the settings, a
#       start-up entry naming a missing program, a copy of the monitor in a scratch folder) before the first
#       picture is taken and takes it away again after the second, and says when through files in a
#       folder outside the Wine drive ($KV_NOTHING_WRITTEN_SYNC).
#
# Left out of the comparison, and why (IGNORE_KEYS and IGNORE_FILES below):
# - HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters: Wine's own user32 keeps a volatile cache
#   of the system parameters there (REG_OPTION_VOLATILE: never saved to the prefix). It creates empty
#   subkeys the first time any program with windows merely reads a setting (verified: a program that only
#   calls SystemParametersInfo(SPI_GETMOUSE...) creates "Control Panel\Mouse" there).
# Nothing else: no other exported key and no file of the drive changes while the programs run (verified
# with Wine 8 on Debian 12).
set -uo pipefail
WINE_RUN=$1
SCENARIO=$2
shift 2
: "${WINEPREFIX:=${TMPDIR:-/tmp}/kv-wineprefix-$(id -u)}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
OUT=$(mktemp -d "${TMPDIR:-/tmp}/kv-nothing-written.XXXXXX")
DRIVER_PID=""
SAVED_VALUES=()  # the shell folder values made stale below, to put back
cleanup() {
  if [ -n "$DRIVER_PID" ]; then
    touch "$OUT/cleanup"
    wait "$DRIVER_PID" 2>/dev/null
  fi
  restore_shell_folders
  rm -rf "$OUT"
}
trap cleanup EXIT

# Registry key headers (as reg.exe writes them, without the bracket) whose sections are left out, with
# every key below them.
IGNORE_KEYS=('HKEY_CURRENT_USER\Software\Wine\Temporary System Parameters')
# Paths below drive_c (as find prints them, "./windows/...") left out.
IGNORE_FILES=()

# snapshot NAME: $OUT/NAME.registry and $OUT/NAME.drive
snapshot() {
  local name=$1 hive
  : >"$OUT/$name.registry"
  for hive in HKLM HKCU HKCR; do
    # reg.exe writes the export to our folder, outside the Wine drive, in UTF-16 with CR LF line ends.
    if ! "$WINE_RUN" reg export "$hive" "$OUT/$name-$hive.reg" /y >/dev/null 2>"$OUT/$name-$hive.err"; then
      echo "reg export $hive failed:"
      cat "$OUT/$name-$hive.err"
      exit 2
    fi
    iconv -f UTF-16LE -t UTF-8 "$OUT/$name-$hive.reg" | tr -d '\r' | filter_keys >>"$OUT/$name.registry"
    rm -f "$OUT/$name-$hive.reg"
  done
  (cd "$WINEPREFIX/drive_c" && find . -printf '%p\t%y\t%s\t%T@\n' | LC_ALL=C sort) | filter_files >"$OUT/$name.drive"
}

# Drops the sections of ignored keys (a section runs from its "[key]" line to the next one).
filter_keys() {
  if [ ${#IGNORE_KEYS[@]} -eq 0 ]; then cat; return; fi
  # Passed through the environment: awk would read backslashes in a -v assignment as escapes.
  KV_IGNORE_KEYS="$(printf '%s\n' "${IGNORE_KEYS[@]}")" awk '
    BEGIN { n = split(ENVIRON["KV_IGNORE_KEYS"], list, "\n") }
    /^\[/ { skip = 0; for (i = 1; i <= n; i++) if (list[i] != "" && index($0, "[" list[i]) == 1) skip = 1 }
    !skip'
}

filter_files() {
  if [ ${#IGNORE_FILES[@]} -eq 0 ]; then cat; return; fi
  grep -v -F -f <(printf '%s\n' "${IGNORE_FILES[@]}")
}

compare() {
  local status=0 part
  for part in registry drive; do
    if diff -u "$OUT/before.$part" "$OUT/after.$part" >"$OUT/$part.diff"; then
      echo "ok: $SCENARIO left the $part as it was ($(wc -l <"$OUT/before.$part") lines compared)"
    else
      echo "FAIL: $SCENARIO changed the $part:"
      head -n 80 "$OUT/$part.diff"
      status=1
    fi
  done
  return $status
}

# wait_for FILE SECONDS: false when the file did not come, or the driver ended first.
wait_for() {
  local file=$1 seconds=$2 waited=0
  while [ ! -e "$file" ]; do
    if [ -n "$DRIVER_PID" ] && ! kill -0 "$DRIVER_PID" 2>/dev/null; then return 1; fi
    if [ "$waited" -ge $((seconds * 10)) ]; then return 1; fi
    sleep 0.1
    waited=$((waited + 1))
  done
}

# The legacy "Shell Folders" keys are made to differ from "User Shell Folders" for the start-up folders the
# probes read: a program that asked the shell for those folders would make the shell write its own answer
# back there (a fresh prefix has the two agree, which would hide it). Put back afterwards.
SHELL_FOLDERS='Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
STALE_VALUES=("HKCU\\$SHELL_FOLDERS|Startup" "HKLM\\$SHELL_FOLDERS|Common Startup")
make_shell_folders_stale() {
  local entry key name old
  for entry in "${STALE_VALUES[@]}"; do
    key=${entry%%|*}
    name=${entry#*|}
    old=$("$WINE_RUN" reg query "$key" /v "$name" 2>/dev/null | tr -d '\r' |
      awk -v name="$name" 'index($0, "    " name "    REG_") == 1 { sub(/^.*REG_[A-Z_]*    /, ""); print; exit }')
    SAVED_VALUES+=("$key|$name|$old")
    "$WINE_RUN" reg add "$key" /v "$name" /d "C:\\kv-stale-shell-folder" /f >/dev/null 2>&1 ||
      { echo "cannot make $key\\$name stale"; exit 2; }
  done
}
restore_shell_folders() {
  local entry key rest name old
  for entry in "${SAVED_VALUES[@]}"; do
    key=${entry%%|*}
    rest=${entry#*|}
    name=${rest%%|*}
    old=${rest#*|}
    if [ -n "$old" ]; then
      "$WINE_RUN" reg add "$key" /v "$name" /d "$old" /f >/dev/null 2>&1
    else
      "$WINE_RUN" reg delete "$key" /v "$name" /f >/dev/null 2>&1
    fi
  done
}
make_shell_folders_stale

case $SCENARIO in
  kvscan)
    program=$1
    snapshot before
    for args in "" "--mask 127" "--mask 1" "--mask 2" "--mask 4" "--mask 8" "--mask 16" "--mask 32" "--mask 64" "--json"; do
      # shellcheck disable=SC2086
      "$WINE_RUN" "$program" $args >"$OUT/kvscan.out" 2>&1 </dev/null
      status=$?
      echo "kvscan $args: exit status $status"
      # 0 (clean) and 1 (an invalid entry found) are verdicts; anything else is a failure.
      if [ $status -gt 1 ]; then cat "$OUT/kvscan.out"; exit 1; fi
    done
    snapshot after
    ;;
  monitor)
    driver=$1
    shift
    export KV_NOTHING_WRITTEN_SYNC=$OUT
    "$WINE_RUN" "$driver" "$@" --gtest_color=no >"$OUT/driver.log" 2>&1 </dev/null &
    DRIVER_PID=$!
    if ! wait_for "$OUT/ready" 120; then echo "the driver did not get ready"; cat "$OUT/driver.log"; exit 1; fi
    snapshot before
    touch "$OUT/go"
    if ! wait_for "$OUT/done" 600; then echo "the driver did not finish"; cat "$OUT/driver.log"; exit 1; fi
    snapshot after
    touch "$OUT/cleanup"
    wait "$DRIVER_PID"
    status=$?
    DRIVER_PID=""
    cat "$OUT/driver.log"
    if [ $status -ne 0 ]; then echo "the driver failed (exit status $status)"; exit 1; fi
    ;;
  *)
    echo "unknown scenario $SCENARIO"
    exit 2
    ;;
esac
compare
