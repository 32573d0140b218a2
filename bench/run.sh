#!/usr/bin/env bash
# Idle cost and flip timing of Kadrill, next to `xclock -digital -update 1`;
# the same with the ramen timer counting down; and what a running stopwatch
# costs, next to a bare Qt widget repainting at display rate.
#
# The clients run one after the other in a private Xvfb, so none disturbs
# another nor the desktop. For each: CPU and wake-ups of all its threads and
# peak RSS. For the clocks, how far past the wall-clock second the new digits
# reach the screen -- from Kadrill's own log and, for both, from outside via
# DAMAGE. For the display-rate clients, how many frames a second reach the
# screen and how evenly, also seen through DAMAGE.
#
# Environment:
#   KADRILL_BIN           app to measure (default build/default/src/app/kadrill)
#   KADRILL_ARGS          extra arguments for it (word-split)
#   KADRILL_DAMAGE_WATCH  damage watcher (default build/default/bench/kadrill_damage_watch;
#                         compiled on the fly when missing)
#   KADRILL_BENCH_QT60    display-rate reference (default build/default/bench/kadrill_bench_qt60;
#                         compiled on the fly when missing)
#   BENCH_SECONDS         measuring window per client (default 60)
#   BENCH_WARMUP          uncounted seconds before it (default 3)
#   BENCH_CLIENTS         which clients, in order
#                         (default "kadrill kadrill-ramen kadrill-stopwatch xclock qt60")
#   BENCH_KEEP            1 keeps the logs and prints where they are
#
# It is a measurement, not a gate: exit status is non-zero only when something
# could not be measured.

set -uo pipefail
export LC_ALL=C # EPOCHREALTIME and printf must use '.' as decimal point

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kadrill_bin=${KADRILL_BIN:-$repo_root/build/default/src/app/kadrill}
watch_bin=${KADRILL_DAMAGE_WATCH:-$repo_root/build/default/bench/kadrill_damage_watch}
qt60_bin=${KADRILL_BENCH_QT60:-$repo_root/build/default/bench/kadrill_bench_qt60}
seconds=${BENCH_SECONDS:-60}
warmup=${BENCH_WARMUP:-3}
read -ra clients <<<"${BENCH_CLIENTS:-kadrill kadrill-ramen kadrill-stopwatch xclock qt60}"
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

# Only when asked for: it needs the Qt development files, the rest does not.
if [[ " ${clients[*]} " == *" qt60 "* && ! -x $qt60_bin ]]; then
    echo "bench: $qt60_bin not built, compiling a private copy" >&2
    qt60_bin=$work/kadrill_bench_qt60
    # shellcheck disable=SC2046 # pkg-config prints several words on purpose
    if ! g++ -std=c++20 -O2 -fPIC -o "$qt60_bin" "$repo_root/bench/qt60.cpp" \
        $(pkg-config --cflags --libs Qt6Widgets 2>/dev/null); then
        echo "bench: cannot build the Qt reference; the qt60 row will be missing" >&2
    fi
fi

# --- private X server -------------------------------------------------------

# shellcheck source=bench/private-display.sh
source "$repo_root/bench/private-display.sh"
if ! start_private_display "$work"; then
    [[ -n ${xvfb_pid:-} ]] && started+=("$xvfb_pid")
    exit 1
fi
started+=("$xvfb_pid")

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
rate_rows=()
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

rate_row() { # label updates interval-median interval-max wakeups cpu rss
    rate_rows+=("$(printf '%-26s %9s %11s %10s %9s %10s %9s' "$1" "$2" "$3" "$4" "$5" "$6" "$7")")
}

fail() { # label message [rate]
    if [[ ${3:-} == rate ]]; then
        rate_row "$1" "-" "-" "-" "-" "-" "-"
    else
        row "$1" "-" "-" "-" "-" "-"
    fi
    notes+=("$1: $2")
    failed=1
}

# Frames whose start lies in [FROM_US, TO_US) of a watcher's output, one
# "<start-us> <rects>" line each.
updates_between() { # file from-us to-us
    # printf, not print: mawk would print such large numbers as 1.8e+15.
    awk -v a="$2" -v b="$3" '$1 == "update" {
            t = $2 * 1000000 + $3
            if (t >= a && t < b) printf "%.0f %d\n", t, $4
        }' "$1"
}

# Prints a window's position and height on the screen: "X Y HEIGHT", or why not.
window_geometry() { # window-id
    local shell
    if ! shell=$(xdotool getwindowgeometry --shell "$1" 2>&1); then
        echo "xdotool cannot see window $1: $shell"
        return 1
    fi
    awk -F= '$1 == "X" { x = $2 } $1 == "Y" { y = $2 } $1 == "HEIGHT" { h = $2 } END { print x, y, h }' <<<"$shell"
}

# Puts a freshly started Kadrill into stopwatch mode and starts the stopwatch
# with real clicks on its buttons, as a user would, then checks that it runs.
# Prints why when it does not.
start_stopwatch() { # window-id watcher-output
    local wid=$1 dmg=$2 geometry x y h face_top away_x=1279 away_y=1023 n
    # The face is the bottom 400x126 of the client area, below the menu bar.
    if ! geometry=$(window_geometry "$wid"); then
        echo "$geometry"
        return 1
    fi
    read -r x y h <<<"$geometry"
    face_top=$((h - 126))
    # The mode button, then the start button that takes the place of another.
    if ! xdotool mousemove --window "$wid" 118 $((face_top + 109)) click 1; then
        echo "xdotool could not click the mode button"
        return 1
    fi
    sleep 0.5
    if ! xdotool mousemove --window "$wid" 241 $((face_top + 109)) click 1; then
        echo "xdotool could not click the start button"
        return 1
    fi
    # A pointer left on a button could bring hover repaints or a tooltip into
    # the measurement; park it in the screen corner farthest from the window.
    ((x > 640)) && away_x=0
    ((y > 512)) && away_y=0
    xdotool mousemove "$away_x" "$away_y"
    sleep 1.5
    # A stopped stopwatch or the clock repaints about once a second; a running
    # one many times, so a few more than that tells the two apart.
    n=$(updates_between "$dmg" $(($(now_us) - 1000000)) $(now_us) | wc -l)
    if ((n < 10)); then
        echo "the stopwatch did not start: $n repaints in the last second after clicking mode and start"
        return 1
    fi
}

# Opens the ramen timer of a freshly started Kadrill from its menu with the
# keyboard and starts the countdown, then checks that it counts: the steam
# moves once a second, while the idle timer repaints only when its hint
# changes. Prints why when it does not.
start_ramen() { # window-id
    local wid=$1 geometry h rid rdmg=$work/ramen.damage rwatch n away_x=1279 away_y=1023 x y
    if ! geometry=$(window_geometry "$wid"); then
        echo "$geometry"
        return 1
    fi
    read -r x y h <<<"$geometry"
    # No window manager here: the keys go to the window under the pointer, so a click
    # on the bare face (right of the digits) first. Then ﾀｲﾏｰ(&T), ﾗｰﾒﾝﾀｲﾏｰ(&N).
    if ! xdotool mousemove --window "$wid" 385 $((h - 126 + 60)) click 1; then
        echo "xdotool could not click the face"
        return 1
    fi
    sleep 0.3
    xdotool key alt+t
    sleep 0.5
    xdotool key n
    # Its window is the program's other one on screen (xdotool's name search does not
    # match half-width katakana in every locale, so not by its title).
    rid=
    for _ in $(seq 50); do
        rid=$(xdotool search --onlyvisible --class kadrill 2>/dev/null | grep -vx "$((wid))" | head -n 1)
        [[ -n $rid ]] && break
        sleep 0.1
    done
    if [[ -z $rid ]]; then
        echo "the ramen timer did not open after Alt+T, N"
        return 1
    fi
    "$watch_bin" --id "$rid" --updates --wait 5 >"$rdmg" 2>/dev/null &
    rwatch=$!
    started+=("$rwatch")
    sleep 1.5 # its first hint drawn, so the count below sees only the countdown
    xdotool windowfocus "$rid"
    sleep 0.3
    xdotool key alt+s
    ((x > 640)) && away_x=0
    ((y > 512)) && away_y=0
    xdotool mousemove "$away_x" "$away_y"
    sleep 3.5
    n=$(updates_between "$rdmg" $(($(now_us) - 3000000)) $(now_us) | wc -l)
    stop_pid "$rwatch"
    if ((n < 2)); then
        echo "the countdown did not start: $n repaints of the timer in 3 s after Alt+S"
        return 1
    fi
}

# measure LABEL WINDOW-NAME KIND COMMAND...
#   KIND  log: a clock that also logs its flips; damage: a clock seen only from
#         outside; ramen: Kadrill with the ramen timer counting, logging its
#         flips; stopwatch: Kadrill, switched to a running stopwatch first;
#         rate: a client that repaints at display rate on its own.
measure() {
    local label=$1 name=$2 kind=$3
    shift 3
    local has_log=0 table=clock
    [[ $kind == log || $kind == ramen ]] && has_log=1
    [[ $kind == stopwatch || $kind == rate ]] && table=rate
    local tag=${label%% *}-$((${#rows[@]} + ${#rate_rows[@]} + 1))
    local log=$work/$tag.log dmg=$work/$tag.damage
    local pid wpid found= t0 t1 i l0 l1 hwm=0 why
    local -a watch_args=(--name "$name" --wait 20 --edge 200)
    local flip_log=true
    if [[ $table == rate ]]; then
        watch_args+=(--updates --group 2)
        # A running stopwatch would log a "flip" at every frame, and the
        # writes would be counted as its own cost.
        flip_log=false
    fi

    env QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="kadrill.flip.debug=$flip_log" \
        QT_MESSAGE_PATTERN="%{category}: %{message}" "$@" >"$log" 2>&1 &
    pid=$!
    started+=("$pid")
    "$watch_bin" "${watch_args[@]}" >"$dmg" 2>"$dmg.err" &
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
        fail "$label" "$why" "$table"
        return
    fi

    if [[ $kind == ramen ]]; then
        local wid
        wid=$(awk '$1 == "window" { print $2; exit }' "$dmg")
        sleep 1 # first paint done and input handled before the keys
        if ! why=$(start_ramen "$wid"); then
            stop_pid "$wpid"
            stop_pid "$pid"
            fail "$label" "$why" "$table"
            return
        fi
    fi

    if [[ $kind == stopwatch ]]; then
        # The window the watcher found is the one measured, so it is the one clicked.
        local wid
        wid=$(awk '$1 == "window" { print $2; exit }' "$dmg")
        sleep 1 # first paint done and input handled before the clicks
        if ! why=$(start_stopwatch "$wid" "$dmg"); then
            stop_pid "$wpid"
            stop_pid "$pid"
            fail "$label" "$why" "$table"
            return
        fi
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
            fail "$label" "exited during the measuring window: $(tail -n 3 "$log" | tr '\n' ' ')" "$table"
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

    if [[ $table == rate ]]; then
        # Same window as the sampling: from half a second past t0 to half past t1.
        local frames ups imed imax un late rects
        frames=$(updates_between "$dmg" $((t0 * 1000000 + 500000)) $((t1 * 1000000 + 500000)))
        read -r un ups rects < <(awk -v s="$seconds" 'NF { n++; r += $2 }
            END { printf "%d %.2f %.2f\n", n, n / s, n ? r / n : 0 }' <<<"$frames")
        # Gaps between the starts of successive frames: how evenly they come.
        read -r imed imax late < <(awk 'NF { if (n++) print $1 - prev; prev = $1 }' <<<"$frames" |
            sort -n | awk '{ v[NR] = $1; if ($1 > 33000) late++ }
                END {
                    if (NR == 0) { print "- - 0"; exit }
                    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                    printf "%.1f %.1f %d\n", m / 1000, v[NR] / 1000, late
                }')
        if ((un == 0)); then
            rate_row "$label" "-" "-" "-" "$wakeups" "$cpu" "$rss"
            notes+=("$label: no repaint seen in the window")
            failed=1
        else
            rate_row "$label" "$ups" "$imed ms" "$imax ms" "$wakeups" "$cpu" "$rss"
        fi
        notes+=("$label: $un frames in $seconds s, $rects damage rectangles each on average; $late gaps over 33 ms (two frames)")
        notes+=("$label: $nthreads threads ($threads_appeared appeared, $vanished ended in the window); CPU by utime+stime $cpu_ticks_ms ms/min")
        notes+=("$label threads: ${per_thread#; }")
        return
    fi

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

echo "bench: private display $DISPLAY, ${warmup} s warm-up + ${seconds} s per client" >&2
# Other work on the machine slows every client down and shows in its CPU time.
read -r load_before _ </proc/loadavg
for c in "${clients[@]}"; do
    case $c in
    kadrill)
        if [[ ! -x $kadrill_bin ]]; then
            fail "kadrill" "not built: ${kadrill_bin#"$repo_root"/}"
            continue
        fi
        echo "bench: measuring kadrill" >&2
        measure "kadrill" "Kadrill" log "$kadrill_bin" "${kadrill_args[@]}"
        ;;
    kadrill-ramen)
        if [[ ! -x $kadrill_bin ]]; then
            fail "kadrill ramen" "not built: ${kadrill_bin#"$repo_root"/}"
            continue
        fi
        if ! command -v xdotool >/dev/null; then
            fail "kadrill ramen" "xdotool is not installed, nothing to type the keys with"
            continue
        fi
        echo "bench: measuring kadrill with the ramen timer counting down" >&2
        measure "kadrill ramen" "Kadrill" ramen "$kadrill_bin" "${kadrill_args[@]}"
        ;;
    kadrill-stopwatch)
        if [[ ! -x $kadrill_bin ]]; then
            fail "kadrill stopwatch" "not built: ${kadrill_bin#"$repo_root"/}" rate
            continue
        fi
        if ! command -v xdotool >/dev/null; then
            fail "kadrill stopwatch" "xdotool is not installed, nothing to click the buttons with" rate
            continue
        fi
        echo "bench: measuring kadrill with the stopwatch running" >&2
        measure "kadrill stopwatch" "Kadrill" stopwatch "$kadrill_bin" "${kadrill_args[@]}"
        ;;
    xclock)
        echo "bench: measuring xclock -digital -update 1" >&2
        measure "xclock -digital" "xclock" damage xclock -digital -update 1
        ;;
    qt60)
        if [[ ! -x $qt60_bin ]]; then
            fail "qt widget 16 ms" "not built: ${qt60_bin#"$repo_root"/}" rate
            continue
        fi
        echo "bench: measuring a bare Qt widget repainting every 16 ms" >&2
        measure "qt widget 16 ms" "kadrill-bench-qt60" rate "$qt60_bin"
        ;;
    *)
        echo "bench: unknown client '$c' (kadrill, kadrill-ramen, kadrill-stopwatch, xclock, qt60)" >&2
        failed=1
        ;;
    esac
done

if ((${#rows[@]} > 0)); then
    echo
    printf '%-26s %9s %10s %11s %9s %9s\n' "" "wakeups/s" "CPU ms/min" "flip median" "flip max" "peak RSS"
    printf '%s\n' "${rows[@]}"
    # "≤" takes three bytes but one column, and printf pads by bytes.
    printf '%-26s %11s %12s %13s %11s %11s\n' "targets" "≤ 1.5" "≤ 15" "≤ 1 ms" "≤ 3 ms" "≤ 30 MiB"
fi
if ((${#rate_rows[@]} > 0)); then
    echo
    printf '%-26s %9s %11s %10s %9s %10s %9s\n' "" "updates/s" "gap median" "gap max" \
        "wakeups/s" "CPU ms/min" "peak RSS"
    printf '%s\n' "${rate_rows[@]}"
    printf '%-26s %11s %11s %10s %9s %12s %9s\n' "targets (kadrill)" "≥ 50" "" "" "" "≤ 500" ""
fi
read -r load_after _ </proc/loadavg
notes+=("machine: $(nproc) CPUs, load average $load_before before, $load_after after")
echo
printf '  %s\n' "${notes[@]}"
exit "$failed"
