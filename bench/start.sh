#!/usr/bin/env bash
# The start, beside a bare Qt clock: how long from launch to the first mapped window, and
# the memory of the settled process (resident, proportional, private; smaps_rollup). Each
# program starts BENCH_STARTS times, one after the other, in a private Xvfb; medians.
#
#   bench/start.sh          KADRILL_BIN=... BENCH_STARTS=9 BENCH_SETTLE_MS=2000
#   KADRILL_BEFORE_BIN=...  adds a row for another build of Kadrill (an older one, say)
#   BENCH_SESSION_BUS=0     starts without a session bus (default 1: a private one, as on a
#                           desktop; without one, libdbus tries to launch one at each start)
set -euo pipefail

repo_root=$(cd "$(dirname "$0")/.." && pwd)
build=$repo_root/build/default
kadrill_bin=${KADRILL_BIN:-$build/src/app/kadrill}
reference_bin=${KADRILL_BENCH_QT_CLOCK:-$build/bench/kadrill_bench_qt_clock}
first_map=${KADRILL_BENCH_FIRST_MAP:-$build/bench/kadrill_bench_first_map}
starts=${BENCH_STARTS:-9}
settle=${BENCH_SETTLE_MS:-2000}
for f in "$kadrill_bin" "$reference_bin" "$first_map"; do
    [[ -x $f ]] || { echo "bench: $f is not built (make bench builds it)" >&2; exit 1; }
done

work=$(mktemp -d)
cleanup() {
    [[ -n ${bus_pid:-} ]] && kill "$bus_pid" 2>/dev/null
    [[ -n ${xvfb_pid:-} ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# shellcheck source=bench/private-display.sh
source "$repo_root/bench/private-display.sh"
start_private_display "$work" || exit 1
if [[ ${BENCH_SESSION_BUS:-1} == 1 ]]; then
    # The tests' session bus: no service directories, so nothing of the machine starts on it.
    dbus-daemon --config-file="$repo_root/tests/fakes/private-session-bus.conf" --fork \
        --print-address=3 --print-pid=4 3>"$work/bus.address" 4>"$work/bus.pid"
    bus_pid=$(<"$work/bus.pid")
    DBUS_SESSION_BUS_ADDRESS=$(<"$work/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
fi
# No right to set the clock.
guard=$repo_root/tests/fakes/without-clock-setting.sh

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

labels=(qt-clock kadrill)
programs=("$reference_bin" "$kadrill_bin")
if [[ -n ${KADRILL_BEFORE_BIN:-} ]]; then
    labels+=(kadrill-before)
    programs+=("$KADRILL_BEFORE_BIN")
fi
# Round by round, each program once, so that a machine busier at one moment than another
# weighs on all of them alike.
for ((i = 0; i < starts; i++)); do
    for ((p = 0; p < ${#labels[@]}; p++)); do
        "$guard" "$first_map" "$settle" "${programs[p]}" >>"$work/runs.${labels[p]}" 2>>"$work/stderr"
    done
done

report() { # label
    local label=$1 runs=$work/runs.$1 map rss pss priv dirty
    map=$(awk '{ print $1 }' "$runs" | median)
    rss=$(awk '{ print $2 }' "$runs" | median)
    pss=$(awk '{ print $3 }' "$runs" | median)
    priv=$(awk '{ print $4 }' "$runs" | median)
    dirty=$(awk '{ print $5 }' "$runs" | median)
    awk -v l="$label" -v m="$map" -v r="$rss" -v p="$pss" -v q="$priv" -v d="$dirty" \
        'BEGIN { printf "%-16s %8.1f %9.1f %9.1f %9.1f %9.1f\n", l, m, r / 1024, p / 1024, q / 1024, d / 1024 }'
    eval "${label//-/_}_map=$map"
}

echo "start ($starts starts each, medians; memory ${settle} ms after the first map;" \
    "session bus: $([[ -n ${bus_pid:-} ]] && echo yes || echo no))"
# Private counts library pages no other process maps as this one's; dirty ones are its own.
printf '%-16s %8s %9s %9s %9s %9s\n' client "map ms" "RSS MiB" "PSS MiB" "private" "priv.dirty"
for label in "${labels[@]}"; do
    report "$label"
done
awk -v k="$kadrill_map" -v q="$qt_clock_map" 'BEGIN { printf "kadrill / qt-clock first map: %.2f\n", k / q }'
if [[ -n ${KADRILL_BEFORE_BIN:-} ]]; then
    awk -v k="$kadrill_before_map" -v q="$qt_clock_map" 'BEGIN { printf "kadrill-before / qt-clock first map: %.2f\n", k / q }'
fi
