#!/usr/bin/env bash
# The start, beside a bare Qt clock: how long from launch to the first mapped window, and
# the memory of the settled process (resident, proportional, private; smaps_rollup). Each
# program starts BENCH_STARTS times, one after the other, in a private Xvfb; medians.
#
#   bench/start.sh          KADRILL_BIN=... BENCH_STARTS=9 BENCH_SETTLE_MS=2000
#   KADRILL_BEFORE_BIN=...  adds a row for another build of Kadrill (an older one, say)
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
xvfb=
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

server_auth=$work/server.xauth
export XAUTHORITY=$work/client.xauth
cookie=$(mcookie)
: >"$server_auth"
: >"$XAUTHORITY"
xauth -q -f "$server_auth" add :0 . "$cookie"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth "$server_auth" \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
display=
for _ in $(seq 100); do
    read -r display <"$work/display" 2>/dev/null || true
    [[ -n $display ]] && break
    sleep 0.1
done
[[ -n $display ]] || { echo "bench: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display
xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"

# Away from the user's settings and session bus; and no right to set the clock.
mkdir -p "$work/config" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
guard=$repo_root/tests/fakes/without-clock-setting.sh

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

measure() { # label program
    local label=$1 program=$2 i
    : >"$work/runs"
    for ((i = 0; i < starts; i++)); do
        "$guard" "$first_map" "$settle" "$program" >>"$work/runs" 2>>"$work/stderr"
    done
    local map rss pss priv dirty
    map=$(awk '{ print $1 }' "$work/runs" | median)
    rss=$(awk '{ print $2 }' "$work/runs" | median)
    pss=$(awk '{ print $3 }' "$work/runs" | median)
    priv=$(awk '{ print $4 }' "$work/runs" | median)
    dirty=$(awk '{ print $5 }' "$work/runs" | median)
    awk -v l="$label" -v m="$map" -v r="$rss" -v p="$pss" -v q="$priv" -v d="$dirty" \
        'BEGIN { printf "%-16s %8.1f %9.1f %9.1f %9.1f %9.1f\n", l, m, r / 1024, p / 1024, q / 1024, d / 1024 }'
    eval "${label//-/_}_map=$map"
}

echo "start ($starts starts each, medians; memory ${settle} ms after the first map)"
# Private counts library pages no other process maps as this one's; dirty ones are its own.
printf '%-16s %8s %9s %9s %9s %9s\n' client "map ms" "RSS MiB" "PSS MiB" "private" "priv.dirty"
measure qt-clock "$reference_bin"
measure kadrill "$kadrill_bin"
if [[ -n ${KADRILL_BEFORE_BIN:-} ]]; then
    measure kadrill-before "$KADRILL_BEFORE_BIN"
fi
awk -v k="$kadrill_map" -v q="$qt_clock_map" 'BEGIN { printf "kadrill / qt-clock first map: %.2f\n", k / q }'
