#!/usr/bin/env bash
# The fuzz gate, in two steps, over the fuzz targets (preset `fuzz`: clang, libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer):
#
#  1. Replay: every seed of fuzz/corpus/<target>/ and every kept finding of fuzz/regressions/<target>/ runs
#     once through its target. Nothing random: on a sound tree this step always passes, and when it fails
#     it names the input that did it.
#  2. Fuzz: each target for a bounded time, starting from those inputs. A crash, a sanitizer report, a
#     broken rule, an input that runs longer than 10 s or one that needs more than 2 GB fails the run. The
#     input is kept in build/fuzz/findings/ and printed (its path and its bytes in base64), so that a
#     finding made on a machine whose files are thrown away afterwards is never lost.
#
#   bash tools/fuzz.sh                     both steps, every target, 60 s each
#   KV_FUZZ_SECONDS=10 bash tools/fuzz.sh  a shorter second step
#   KV_FUZZ_SECONDS=0 bash tools/fuzz.sh   the replay only
#   KV_FUZZ_TARGETS="probe guid" ...       some targets only
#   KV_FUZZ_SEED=1 bash tools/fuzz.sh      the second step's mutations drawn from this seed (the test command
#                                          fixes one, so that a gate that fails on one machine fails the same
#                                          way on the next; a campaign without it explores afresh each time)
#
# A finding, once fixed, keeps its input: copy it to fuzz/regressions/<target>/ so that the replay here and
# the ordinary test builds (kv_fuzz_replay_tests) run it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${KV_FUZZ_SECONDS:-60}
ALL_TARGETS="$(sed -n 's/^set(KV_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/CMakeLists.txt) $(sed -n 's/^set(KV_NATIVE_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/CMakeLists.txt)"
TARGETS=${KV_FUZZ_TARGETS:-$ALL_TARGETS}
JOBS=${KV_JOBS:-$(nproc)}
SEED_OPTION=()
if [ -n "${KV_FUZZ_SEED:-}" ]; then SEED_OPTION=(-seed="$KV_FUZZ_SEED"); fi

CMAKE_BUILD_PARALLEL_LEVEL=$JOBS cmake --workflow --preset fuzz

FINDINGS=$PWD/build/fuzz/findings
mkdir -p "$FINDINGS"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/kv-fuzz.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# The kept inputs of a target, one path per line: its seeds, its findings and, for the loader, the example
# machine's registry export.
kept_inputs() {
  local target=$1 folder
  for folder in "fuzz/corpus/$target" "fuzz/regressions/$target"; do
    if [ -d "$folder" ]; then find "$folder" -type f ! -name '.*' | sort; fi
  done
  if [ "$target" = reg_loader ]; then find examples -type f -name '*.reg' | sort; fi
}

# Prints what libFuzzer wrote about the input that failed, and the input itself.
show_finding() {
  local log=$1 artifact
  tail -n 60 "$log"
  artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
  if [ -n "$artifact" ] && [ -f "$artifact" ]; then
    echo "the input: $artifact ($(stat -c %s "$artifact") bytes), in base64:"
    base64 -w 100 "$artifact" | head -c 200000
    echo
  fi
}

status=0
# Step 1: the replay.
for target in $TARGETS; do
  binary=build/fuzz/fuzz/fuzz_$target
  mapfile -t inputs < <(kept_inputs "$target")
  if [ "${#inputs[@]}" = 0 ]; then echo "no seed corpus for $target"; status=1; continue; fi
  log=$WORK/$target.replay.log
  printf 'replaying %-14s %4d kept inputs ... ' "$target" "${#inputs[@]}"
  if "$binary" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$FINDINGS/$target-replay-" "${inputs[@]}" \
       >"$log" 2>&1; then
    echo ok
  else
    status=1
    echo FAILED
    echo "the kept input that failed: $(sed -n 's/^Running: //p' "$log" | tail -1)"
    show_finding "$log"
  fi
done
if [ "$status" != 0 ]; then echo "the replay of kept inputs failed"; exit $status; fi
if [ "$SECONDS_EACH" = 0 ]; then exit 0; fi

# Step 2: bounded fuzzing. New inputs go to a scratch corpus; the kept ones in the tree stay as they are.
stat_of() { sed -n "s/^stat::$1: *//p" "$2" | tail -1; }
summary=()
for target in $TARGETS; do
  binary=build/fuzz/fuzz/fuzz_$target
  mkdir -p "$WORK/$target" "$WORK/$target.seeds"
  while read -r input; do cp "$input" "$WORK/$target.seeds/"; done < <(kept_inputs "$target")
  log=$WORK/$target.log
  printf 'fuzzing %-14s for %s s ... ' "$target" "$SECONDS_EACH"
  if "$binary" "$WORK/$target" "$WORK/$target.seeds" -max_total_time="$SECONDS_EACH" "${SEED_OPTION[@]}" \
       -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$FINDINGS/$target-" -print_final_stats=1 >"$log" 2>&1; then
    result=ok
    echo ok
  else
    result=FINDING
    status=1
    echo FINDING
    show_finding "$log"
  fi
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  summary+=("$(printf '%-14s %-8s runs %-10s exec/s %-7s coverage %-6s peak RSS %s MB' "$target" "$result" \
    "$(stat_of number_of_executed_units "$log")" "$(stat_of average_exec_per_sec "$log")" "${cov:-?}" \
    "$(stat_of peak_rss_mb "$log")")")
done

printf '\nfuzzing, %s s per target:\n' "$SECONDS_EACH"
printf '  %s\n' "${summary[@]}"
if [ "$status" != 0 ]; then echo "findings kept in $FINDINGS (printed above)"; fi
exit $status
