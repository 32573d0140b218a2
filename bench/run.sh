#!/usr/bin/env bash
# Idle cost and flip timing of Kadrill, next to `xclock -digital -update 1`.
#
# Both clocks run one after the other in a private Xvfb, so neither disturbs
# the other nor the desktop. For each: CPU and wake-ups of all its threads,
# peak RSS, and how far past the wall-clock second the new digits reach the
# screen -- from Kadrill's own log and, for both, from outside via DAMAGE.
#
# Environment:
#   KADRILL_BIN           app to measure (default build/default/src/app/kadrill)
#   KADRILL_ARGS          extra arguments for it (word-split)
#   KADRILL_DAMAGE_WATCH  damage watcher (default build/default/bench/kadrill_damage_watch;
#                         compiled on the fly when missing)
#   BENCH_SECONDS         measuring window per clock (default 60)
#   BENCH_WARMUP          uncounted seconds before it (default 3)
#   BENCH_CLIENTS         which clocks, in order (default "kadrill xclock")
#   BENCH_KEEP            1 keeps the logs and prints where they are
#
# It is a measurement, not a gate: exit status is non-zero only when something
# could not be measured.

set -uo pipefail
export LC_ALL=C # EPOCHREALTIME and printf must use '.' as decimal point

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kadrill_bin=${KADRILL_BIN:-$repo_root/build/default/src/app/kadrill}
watch_bin=${KADRILL_DAMAGE_WATCH:-$repo_root/build/default/bench/kadrill_damage_watch}
seconds=${BENCH_SECONDS:-60}
warmup=${BENCH_WARMUP:-3}
read -ra clients <<<"${BENCH_CLIENTS:-kadrill xclock}"
read -ra kadrill_args <<<"${KADRILL_ARGS:-}"
clk_tck=$(getconf CLK_TCK)

if ! [[ $seconds =~ ^[1-9][0-9]*$ && $warmup =~ ^[0-9]+$ ]]; then
    echo "bench: BENCH_SECONDS must be a positive integer, BENCH_WARMUP a non-negative one" >&2
    exit 2
fi

work=$(mktemp -d -t kadrill-bench.XXXXXX)
started=()

# Stops one of our own children and forgets it, so a later cleanup cannot
# hit a recycled pid.
stop_pid() {
    local pid=$1 i keep=()
    if kill -TERM "$pid" 2>/dev/null; then
        for i in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    for i in "${started[@]}"; do
        [[ $i == "$pid" ]] || keep+=("$i")
    done
    started=("${keep[@]}")
}

cleanup() {
    local i
    # Newest first: clients and watchers before the X server they talk to.
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        stop_pid "${started[i]}"
    done
    if [[ ${BENCH_KEEP:-0} == 1 ]]; then
        echo "bench: logs kept in $work" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

now_us() { echo "${EPOCHREALTIME/./}"; }

# Absolute deadlines, so the per-second sampling does not drift.
sleep_until_us() {
    local d=$(($1 - $(now_us)))
    ((d > 0)) && sleep "$(printf '%d.%06d' $((d / 1000000)) $((d % 1000000)))"
    return 0
}

# --- damage watcher ---------------------------------------------------------

if [[ ! -x $watch_bin ]]; then
    echo "bench: $watch_bin not built, compiling a private copy" >&2
    watch_bin=$work/kadrill_damage_watch
    if ! g++ -std=c++20 -O2 -o "$watch_bin" "$repo_root/bench/damage_watch.cpp" \
        -lXdamage -lXfixes -lX11; then
        echo "bench: cannot build the damage watcher (is libxdamage-dev installed?)" >&2
        exit 1
    fi
fi

# --- private X server -------------------------------------------------------

# The server learns its cookie from this file; our clients find it through
# XAUTHORITY once the display number is known.
server_auth=$work/server.xauth
export XAUTHORITY=$work/client.xauth
cookie=$(mcookie)
: >"$server_auth"
: >"$XAUTHORITY"
xauth -q -f "$server_auth" add :0 . "$cookie"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth "$server_auth" \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
started+=($!)
display=
for _ in $(seq 100); do
    read -r display <"$work/display" 2>/dev/null
    [[ -n $display ]] && break
    kill -0 "${started[0]}" 2>/dev/null || break
    sleep 0.1
done
if [[ -z $display ]]; then
    echo "bench: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=:$display
xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"

# Keeps the app away from the user's settings and session bus.
mkdir -p "$work/config" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

# --- /proc sampling ---------------------------------------------------------

# Per thread: first and last seen cumulative counters. A thread born inside
# the window starts from zero; one that ends keeps its last sample (at most
# a second old), since its counters vanish with it.
declare -A base_cpu base_csw base_ns last_cpu last_csw last_ns seen_now comm
threads_appeared=0

# sample PID base|update
sample() {
    local pid=$1 mode=$2 dir tid line rest key value vol nonvol run _
    local -a f
    seen_now=()
    for dir in /proc/"$pid"/task/*; do
        tid=${dir##*/}
        read -r line 2>/dev/null <"$dir/stat" || continue
        rest=${line##*) } # the name may hold spaces and parentheses
        comm[$tid]=${line#*(}
        comm[$tid]=${comm[$tid]%) *}
        read -ra f <<<"$rest"
        vol=0 nonvol=0
        while read -r key value _; do
            case $key in
            voluntary_ctxt_switches:) vol=$value ;;
            nonvoluntary_ctxt_switches:) nonvol=$value ;;
            esac
        done 2>/dev/null <"$dir/status" || continue
        run=0
        read -r run _ 2>/dev/null <"$dir/schedstat"
        # utime and stime are fields 14 and 15 of stat; rest starts at field 3.
        last_cpu[$tid]=$((f[11] + f[12]))
        last_csw[$tid]=$((vol + nonvol))
        last_ns[$tid]=$run
        seen_now[$tid]=1
        if [[ $mode == base ]]; then
            base_cpu[$tid]=${last_cpu[$tid]}
            base_csw[$tid]=${last_csw[$tid]}
            base_ns[$tid]=$run
        elif [[ -z ${base_cpu[$tid]+x} ]]; then
            base_cpu[$tid]=0 base_csw[$tid]=0 base_ns[$tid]=0
            threads_appeared=$((threads_appeared + 1))
        fi
    done
}

# --- results ----------------------------------------------------------------

rows=()
notes=()
failed=0

# median and max, in ms, of microsecond values on stdin: "0.41 1.20 <count>"
stats_ms() {
    sort -n | awk '{ v[NR] = $1 }
        END {
            if (NR == 0) { print "- - 0"; exit }
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%.2f %.2f %d\n", m / 1000, v[NR] / 1000, NR
        }'
}

row() { # label wakeups cpu median max rss
    rows+=("$(printf '%-26s %9s %10s %11s %9s %9s' "$1" "$2" "$3" "$4" "$5" "$6")")
}

fail() { # label message
    row "$1" "-" "-" "-" "-" "-"
    notes+=("$1: $2")
    failed=1
}

# measure LABEL WINDOW-NAME LOG-FLIPS(0|1) COMMAND...
measure() {
    local label=$1 name=$2 has_log=$3
    shift 3
    local tag=${label%% *}-$((${#rows[@]} + 1))
    local log=$work/$tag.log dmg=$work/$tag.damage
    local pid wpid found= t0 t1 i l0 l1 hwm=0

    env QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="kadrill.flip.debug=true" \
        QT_MESSAGE_PATTERN="%{category}: %{message}" "$@" >"$log" 2>&1 &
    pid=$!
    started+=("$pid")
    "$watch_bin" --name "$name" --wait 20 --edge 200 >"$dmg" 2>"$dmg.err" &
    wpid=$!
    started+=("$wpid")

    for _ in $(seq 250); do
        if grep -q '^window ' "$dmg"; then found=1; break; fi
        kill -0 "$pid" 2>/dev/null || break
        kill -0 "$wpid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ -z $found ]]; then
        local why="no mapped window named \"$name\""
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            why="exited early with status $?: $(tail -n 3 "$log" | tr '\n' ' ')"
        fi
        stop_pid "$wpid"
        stop_pid "$pid"
        fail "$label" "$why"
        return
    fi

    # Window edges at half seconds keep the samples clear of the flips, and
    # put exactly BENCH_SECONDS second edges inside it.
    sleep "$warmup"
    t0=$(( ($(now_us) / 1000000 + 1) ))
    sleep_until_us $((t0 * 1000000 + 500000))
    base_cpu=() base_csw=() base_ns=() last_cpu=() last_csw=() last_ns=() comm=()
    threads_appeared=0
    sample "$pid" base
    l0=$(wc -l <"$log")
    for ((i = 1; i <= seconds; i++)); do
        sleep_until_us $(((t0 + i) * 1000000 + 500000))
        if ! kill -0 "$pid" 2>/dev/null; then
            stop_pid "$wpid"
            fail "$label" "exited during the measuring window: $(tail -n 3 "$log" | tr '\n' ' ')"
            return
        fi
        sample "$pid" update
    done
    l1=$(wc -l <"$log")
    hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
    t1=$((t0 + seconds))

    stop_pid "$wpid"
    stop_pid "$pid"

    local tid cpu_ticks=0 csw=0 ns=0 vanished=0 nthreads=${#last_cpu[@]} per_thread=
    for tid in $(printf '%s\n' "${!last_cpu[@]}" | sort -n); do
        cpu_ticks=$((cpu_ticks + last_cpu[$tid] - base_cpu[$tid]))
        csw=$((csw + last_csw[$tid] - base_csw[$tid]))
        ns=$((ns + last_ns[$tid] - base_ns[$tid]))
        [[ -z ${seen_now[$tid]+x} ]] && vanished=$((vanished + 1))
        # Which thread wakes, and how often, is what to look at when the sum is high.
        per_thread+=$(awk -v n="${comm[$tid]}" -v c=$((last_csw[$tid] - base_csw[$tid])) \
            -v t=$((last_ns[$tid] - base_ns[$tid])) -v s="$seconds" \
            'BEGIN { printf "%s%s %.2f/s %.1f ms/min", "; ", n, c / s, t / 1e6 * 60 / s }')
    done
    local wakeups cpu cpu_ticks_ms rss
    wakeups=$(awk -v c="$csw" -v s="$seconds" 'BEGIN { printf "%.2f", c / s }')
    # The table takes schedstat's nanosecond run time; utime+stime come in 10 ms ticks,
    # too coarse for a clock that runs a few milliseconds a minute.
    cpu=$(awk -v n="$ns" -v s="$seconds" 'BEGIN { printf "%.1f", n / 1e6 * 60 / s }')
    cpu_ticks_ms=$(awk -v t="$cpu_ticks" -v hz="$clk_tck" -v s="$seconds" \
        'BEGIN { printf "%.1f", t * 1000 / hz * 60 / s }')
    rss=$(awk -v k="$hwm" 'BEGIN { printf "%.1f MiB", k / 1024 }')

    # Damage flips belong to the second edges t0+1 .. t1.
    local dmed dmax dn others
    read -r dmed dmax dn < <(awk -v a="$t0" -v b="$t1" \
        '$1 == "flip" && $2 > a && $2 <= b { print $3 }' "$dmg" | stats_ms)
    others=$(awk -v a="$t0" -v b="$t1" '$1 == "other" && $2 >= a && $2 <= b' "$dmg" | wc -l)

    if [[ $has_log == 1 ]]; then
        local lmed lmax ln
        read -r lmed lmax ln < <(sed -n "$((l0 + 1)),${l1}p" "$log" | awk '
            /kadrill\.flip/ {
                for (i = 1; i < NF; i++)
                    if ($i == "flip" && $(i + 1) ~ /^-?[0-9]+$/) { print $(i + 1); break }
            }' | stats_ms)
        if ((ln == 0)); then
            row "$label (log)" "$wakeups" "$cpu" "-" "-" "$rss"
            notes+=("$label (log): no \"kadrill.flip: flip N us\" lines in the window")
            failed=1
        else
            row "$label (log)" "$wakeups" "$cpu" "$lmed ms" "$lmax ms" "$rss"
        fi
        if ((dn == 0)); then
            fail "$label (damage)" "no repaint within 200 ms after any second edge"
        else
            row "$label (damage)" ".." ".." "$dmed ms" "$dmax ms" ".."
        fi
        notes+=("$label: $ln logged flips, $dn seen by damage, $others other repaints ignored; expected $seconds")
    else
        if ((dn == 0)); then
            row "$label (damage)" "$wakeups" "$cpu" "-" "-" "$rss"
            notes+=("$label (damage): no repaint within 200 ms after any second edge")
            failed=1
        else
            row "$label (damage)" "$wakeups" "$cpu" "$dmed ms" "$dmax ms" "$rss"
        fi
        notes+=("$label: $dn flips seen by damage, $others other repaints ignored; expected $seconds")
    fi
    notes+=("$label: $nthreads threads ($threads_appeared appeared, $vanished ended in the window); CPU by utime+stime $cpu_ticks_ms ms/min")
    notes+=("$label threads: ${per_thread#; }")
}

echo "bench: private display $DISPLAY, ${warmup} s warm-up + ${seconds} s per clock" >&2
for c in "${clients[@]}"; do
    case $c in
    kadrill)
        if [[ ! -x $kadrill_bin ]]; then
            fail "kadrill" "not built: ${kadrill_bin#"$repo_root"/}"
            continue
        fi
        echo "bench: measuring kadrill" >&2
        measure "kadrill" "Kadrill" 1 "$kadrill_bin" "${kadrill_args[@]}"
        ;;
    xclock)
        echo "bench: measuring xclock -digital -update 1" >&2
        measure "xclock -digital" "xclock" 0 xclock -digital -update 1
        ;;
    *)
        echo "bench: unknown client '$c' (kadrill, xclock)" >&2
        failed=1
        ;;
    esac
done

echo
printf '%-26s %9s %10s %11s %9s %9s\n' "" "wakeups/s" "CPU ms/min" "flip median" "flip max" "peak RSS"
printf '%s\n' "${rows[@]}"
# "≤" takes three bytes but one column, and printf pads by bytes.
printf '%-26s %11s %12s %13s %11s %11s\n' "targets" "≤ 1.5" "≤ 15" "≤ 1 ms" "≤ 3 ms" "≤ 30 MiB"
echo
printf '  %s\n' "${notes[@]}"
exit "$failed"
