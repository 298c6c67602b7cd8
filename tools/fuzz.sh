#!/usr/bin/env bash
# Builds the fuzz targets (preset `fuzz`: clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for a bounded time, starting from its seed corpus and its kept findings. Exits non-zero when
# any target finds something: a crash, a sanitizer report, a broken rule, an input that runs longer than
# 10 s, or one that needs more than 2 GB. The input that did it is kept in build/fuzz/findings/.
#
#   bash tools/fuzz.sh                     every target, 60 s each
#   KV_FUZZ_SECONDS=10 bash tools/fuzz.sh  a shorter run
#   KV_FUZZ_TARGETS="probe guid" ...       some targets only
#
# A finding, once fixed, keeps its input: copy it to fuzz/regressions/<target>/ so that the ordinary test
# builds replay it (kv_fuzz_replay_tests).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${KV_FUZZ_SECONDS:-60}
TARGETS=${KV_FUZZ_TARGETS:-"reg_loader extract_file read_expanded nt_share icon_index guid probe network_name"}
JOBS=${KV_JOBS:-$(nproc)}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$JOBS"

FINDINGS=$PWD/build/fuzz/findings
mkdir -p "$FINDINGS"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kv-fuzz.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -1; }

status=0
summary=()
for target in $TARGETS; do
  binary=build/fuzz/fuzz/fuzz_$target
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  mkdir -p "$WORK/$target"
  inputs=("$WORK/$target" "fuzz/corpus/$target")
  if [ -d "fuzz/regressions/$target" ]; then inputs+=("fuzz/regressions/$target"); fi
  # The example machine's registry export seeds the loader too.
  if [ "$target" = reg_loader ]; then inputs+=(examples); fi
  log=$WORK/$target.log
  printf 'fuzzing %-14s for %s s ... ' "$target" "$SECONDS_EACH"
  if "$binary" "${inputs[@]}" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$FINDINGS/$target-" -print_final_stats=1 >"$log" 2>&1; then
    result=ok
    echo ok
  else
    result=FINDING
    status=1
    echo FINDING
    tail -n 60 "$log"
  fi
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  summary+=("$(printf '%-14s %-8s runs %-10s exec/s %-7s coverage %-6s peak RSS %s MB' "$target" "$result" \
    "$(stat number_of_executed_units "$log")" "$(stat average_exec_per_sec "$log")" "${cov:-?}" \
    "$(stat peak_rss_mb "$log")")")
done

printf '\nfuzzing, %s s per target:\n' "$SECONDS_EACH"
printf '  %s\n' "${summary[@]}"
if [ "$status" != 0 ]; then echo "findings kept in $FINDINGS"; fi
exit $status
