#!/usr/bin/env bash
# kvscan as a user runs it: exit statuses, the usage text, JSON that parses. Natively over the example
# machine held in memory; in the Windows build under Wine, over the test prefix's registry.
#
#   kvscan_program_test.sh native  ""                  path/to/kvscan
#   kvscan_program_test.sh windows path/to/wine-run.sh path/to/kvscan.exe
set -uo pipefail
MODE=$1
RUNNER=$2
PROGRAM=$3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=$(mktemp -d "${TMPDIR:-/tmp}/kvscan-test.XXXXXX")
trap 'rm -rf "$OUT"' EXIT
FAILURES=0

# run ARGS...: runs the program; leaves its status in $STATUS, its output in $OUT/out and $OUT/err.
run() {
  if [ -n "$RUNNER" ]; then "$RUNNER" "$PROGRAM" "$@" >"$OUT/out" 2>"$OUT/err" </dev/null
  else "$PROGRAM" "$@" >"$OUT/out" 2>"$OUT/err" </dev/null; fi
  STATUS=$?
  sed -i 's/\r$//' "$OUT/out" "$OUT/err"
}

fail() {
  echo "FAIL: $*"
  echo "--- stdout"; cat "$OUT/out"; echo "--- stderr"; cat "$OUT/err"
  FAILURES=$((FAILURES + 1))
}

# expect STATUS DESCRIPTION ARGS...
expect() {
  local want=$1 what=$2
  shift 2
  run "$@"
  if [ "$STATUS" != "$want" ]; then fail "$what: status $STATUS, expected $want (args: $*)"; return 1; fi
  echo "ok: $what (status $STATUS)"
}

contains() {  # contains FILE TEXT DESCRIPTION
  grep -qF -- "$2" "$OUT/$1" || fail "$3: '$2' not in std$1"
}

json_check() {  # json_check PYTHON-EXPRESSION DESCRIPTION: the expression over the parsed object `j`
  python3 -c "import json,sys; j=json.load(open(sys.argv[1], encoding='utf-8')); sys.exit(0 if ($1) else 1)" "$OUT/out" \
    || fail "$2: JSON check failed: $1"
}

expect 0 "--help" --help && contains out "--mask" "--help"
expect 0 "--version" --version && contains out "kvscan " "--version"
expect 2 "a mask that is not a number" --mask seven && contains err "Usage: kvscan" "usage text"
expect 2 "a mask without its number" --mask
expect 2 "an unknown option" --frobnicate && contains err "Usage: kvscan" "usage text"
expect 2 "a stray argument" probe

if [ "$MODE" = native ]; then
  MACHINE=(--reg "$ROOT/examples/machine.reg" --files "$ROOT/examples/files.txt")
  expect 2 "no machine given" --mask 1
  expect 2 "a machine file that does not exist" --reg "$OUT/none.reg" --files "$ROOT/examples/files.txt"
  expect 1 "the example machine has its one fault" "${MACHINE[@]}" && contains out "Invalid entry found by" "fault text" &&
    contains out "TFileExtCommands: File types and their commands" "the faulty section's label" &&
    contains out "Run keys of the machine" "a scanned section's label"
  expect 1 "the same as JSON" "${MACHINE[@]}" --json &&
    json_check "j['clean'] is False and j['result'] > 0 and j['section'] and j['group'] and len(j['list']) > 0 and len(j['sections']) == 13" "fault JSON" &&
    json_check "all(s['name'] and s['label'] for s in j['sections']) and len({s['label'] for s in j['sections']}) == 13" "each section's label"
  expect 0 "a mask without the faulty group" "${MACHINE[@]}" --mask 63 --json &&
    json_check "j['clean'] is True and j['result'] == 0 and j['section'] is None and j['mask'] == 63" "clean JSON"

  # Names outside any 8-bit code page: a Run entry named in Cyrillic whose program in C:\张伟 is gone, beside
  # one in C:\Łukasz that exists. Reported under its own name, in UTF-8, as text and as JSON.
  python3 - "$OUT" <<'PY'
import sys
out = sys.argv[1]
reg = ('Windows Registry Editor Version 5.00\r\n\r\n'
       '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n'
       '"Łukasz"="C:\\\\Łukasz\\\\app.exe /tray"\r\n'
       '"Ольга"="\\"C:\\\\张伟\\\\gone.exe\\" -x"\r\n')
open(out + '/unicode.reg', 'wb').write(b'\xff\xfe' + reg.encode('utf-16-le'))
open(out + '/unicode.txt', 'w', encoding='utf-8').write('C:\\Łukasz\\app.exe\nC:\\张伟\\\n')
PY
  UNICODE_MACHINE=(--reg "$OUT/unicode.reg" --files "$OUT/unicode.txt" --mask 1)
  expect 1 "a Run entry named in Cyrillic, its program gone" "${UNICODE_MACHINE[@]}" &&
    contains out "Ольга" "the entry's name in UTF-8" && contains out 'C:\张伟\gone.exe' "its command in UTF-8"
  expect 1 "the same as JSON" "${UNICODE_MACHINE[@]}" --json &&
    json_check "j['list'][0] == 'Ольга' and '张伟' in j['explanation']['data']" "Unicode JSON"

  MODERN=(--reg "$ROOT/examples/modern/machine.reg" --files "$ROOT/examples/modern/files.txt")
  expect 0 "the modern example machine is healthy" "${MODERN[@]}" --json &&
    json_check "j['clean'] is True and len(j['sections']) == 13 and sum(s['items'] for s in j['sections']) > 40" "modern JSON"
else
  expect 0 "nothing selected" --mask 0 --json &&
    json_check "j['clean'] is True and j['sections'] == [] and j['mask'] == 0 and j['group'] is None" "mask 0 JSON"
  expect 0 "nothing selected, as text" --mask 128 && contains out "Clean" "mask 128 text"
fi

if [ "$FAILURES" -ne 0 ]; then echo "$FAILURES failure(s)"; exit 1; fi
echo "all passed"
