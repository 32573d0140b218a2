# Sourced by the bench scripts. start_private_display WORK starts an Xvfb of our own with a
# cookie of its own, and points this shell at it, away from the user's settings and session
# bus. The server's process id is in xvfb_pid as soon as it runs, for the caller's cleanup.
start_private_display() {
    local work=$1 server_auth=$1/server.xauth cookie display=
    export XAUTHORITY=$work/client.xauth
    cookie=$(mcookie)
    : >"$server_auth"
    : >"$XAUTHORITY"
    # The server learns its cookie from its file; our clients find it through XAUTHORITY
    # once the display number is known.
    xauth -q -f "$server_auth" add :0 . "$cookie"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -auth "$server_auth" \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        read -r display <"$work/display" 2>/dev/null || true
        [[ -n $display ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [[ -z $display ]]; then
        echo "bench: Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=:$display
    xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"
    mkdir -p "$work/config" "$work/data" "$work/cache" "$work/runtime"
    chmod 700 "$work/runtime"
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
        XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
}
