#!/usr/bin/env bash
# A campaign of input storms: STORM_RUNS runs (default 10) of STORM_SECONDS seconds each
# (default 40) in every build directory given; prints each run's actions and seed, and for
# each build the runs, the actions and the failures with their seeds. A failed run's whole
# output stays in <build>/tests/e2e/storm-logs/; KADRILL_E2E_STORM_SEED repeats its storm.
set -u
runs=${STORM_RUNS:-10}
seconds=${STORM_SECONDS:-40}
summary=""
status=0
for build in "$@"; do
  runner=$build/tests/e2e/input-storm.sh
  if [ ! -x "$runner" ]; then
    echo "$build: no storm there; build it with its tests first" >&2
    status=1
    continue
  fi
  logs=$build/tests/e2e/storm-logs
  rm -rf "$logs"
  mkdir -p "$logs"
  actions=0
  failed=""
  for run in $(seq 1 "$runs"); do
    log=$logs/run-$run.log
    KADRILL_E2E_STORM_SECONDS=$seconds timeout --kill-after=10 $((seconds + 240)) "$runner" >"$log" 2>&1
    code=$?
    seed=$(sed -n 's/^storm seed \([0-9]*\).*/\1/p' "$log" | head -n 1)
    count=$(sed -n 's/^storm: \([0-9]*\) actions.*/\1/p' "$log" | head -n 1)
    actions=$((actions + ${count:-0}))
    if [ "$code" -eq 0 ]; then
      echo "$build run $run: ${count:-?} actions, seed $seed"
      rm -f "$log"
    else
      echo "$build run $run: FAILED (exit $code) after ${count:-?} actions, seed ${seed:-?}; $log"
      grep -m 3 -A 4 -E ': Failure$|Sanitizer|runtime error' "$log" | sed 's/^/    /'
      failed="$failed ${seed:-?}"
      status=1
    fi
  done
  summary="$summary$build: $runs runs, $actions actions, $(wc -w <<<"$failed") failed${failed:+ (seeds$failed)}"$'\n'
done
printf '\n%s' "$summary"
exit "$status"
