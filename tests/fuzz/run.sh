#!/usr/bin/env bash
# A fuzzing campaign over every reader of outside input: make fuzz.
#
#   FUZZ_SECONDS  seconds per target (default 600)
#   FUZZ_MERGE=1  afterwards, add the inputs that reach new code to the committed corpus
#
# Each target starts from its committed corpus (tests/fuzz/corpus/<target>) and keeps
# what it finds in the build tree, so a later campaign goes on from there. The settings
# file reader spends a tenth of its time on inputs above its 1 MiB limit as well.
set -uo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:?usage: run.sh <build dir of tests/fuzz>}
seconds=${FUZZ_SECONDS:-600}
merge=${FUZZ_MERGE:-0}
failed=0

# Runs one fuzzer and prints one line of figures; the log stays beside it.
campaign() {
    local name=$1 secs=$2 max_len=$3
    shift 3
    local log=$build_dir/$name-${max_len}.log
    nice "$build_dir/${name%%+*}_fuzzer" -max_total_time="$secs" -print_final_stats=1 -max_len="$max_len" \
        -artifact_prefix="$build_dir/${name%%+*}-" "$@" >"$log" 2>&1
    local rc=$?
    local runs rate cov result
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    if [ "$rc" -eq 0 ]; then
        result=ok
    else
        result="FAILED (exit $rc): $(grep -m1 -E '^==[0-9]+==ERROR|^SUMMARY|deadly signal' "$log") -- $log"
        failed=1
    fi
    printf '%-16s %8ss %12s runs %9s exec/s  %-18s %s\n' "$name" "$secs" "${runs:-?}" "${rate:-?}" "${cov:-cov: ?}" "$result"
}

printf "%-16s %9s %17s %16s  %-18s %s\n" target time executions rate coverage result
for name in alm keycode dialnumber; do
    work=$build_dir/corpus-$name
    mkdir -p "$work"
    case $name in
    alm)
        big=$((seconds / 10))
        campaign alm $((seconds - big)) 16384 "$work" "$source_dir/tests/fuzz/corpus/alm"
        # A file just over the limit to start from: its mutations reach the size check,
        # and those that shrink below it go on to the reader.
        oversize=$build_dir/oversize-alm
        mkdir -p "$oversize"
        { cat "$source_dir/tests/fuzz/corpus/alm/"* ; head -c $((1 << 20)) /dev/zero | tr '\0' '#'; } \
            >"$oversize/over-the-limit"
        campaign alm+oversize "$big" 1100000 "$work" "$oversize"
        ;;
    *)
        campaign "$name" "$seconds" 64 "$work" "$source_dir/tests/fuzz/corpus/$name"
        ;;
    esac
    if [ "$merge" = 1 ]; then
        # Only inputs of a settings file's size or less: the committed corpus stays small.
        small=$build_dir/merge-$name
        rm -rf "$small" && mkdir -p "$small"
        find "$work" -type f -size -64k -exec cp {} "$small" \;
        before=$(ls "$source_dir/tests/fuzz/corpus/$name" | wc -l)
        nice "$build_dir/${name}_fuzzer" -merge=1 -max_len=65536 "$source_dir/tests/fuzz/corpus/$name" "$small" \
            >"$build_dir/$name-merge.log" 2>&1 || failed=1
        echo "  $name corpus: $before -> $(ls "$source_dir/tests/fuzz/corpus/$name" | wc -l) files"
    fi
done
exit $failed
