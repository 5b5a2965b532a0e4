# Sourced by the other scripts: the project-local Wine prefix and a quiet, unattended Wine.
BUILD_DIR=${BUILD_DIR:-build}
BUILD_DIR=$(cd "$BUILD_DIR" 2>/dev/null && pwd || echo "$PWD/$BUILD_DIR")
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialog may wait for a person.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Starts Xvfb on a free display and exports DISPLAY; XVFB_PID is set for stop_xvfb.
start_xvfb() {
    local display=99
    while [[ -e /tmp/.X${display}-lock || -e /tmp/.X11-unix/X${display} ]]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do
        [[ -e /tmp/.X11-unix/X${display} ]] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}

stop_xvfb() {
    if [[ -n "${XVFB_PID:-}" ]]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# Holds one wineserver for the session and starts Wine's background services now, with their
# output going nowhere: a service started later by a test would inherit the test's output pipe
# and keep ctest waiting for it to close.
start_wine_session() {
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
}

stop_wine_session() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
}
