#!/usr/bin/env bash
# The main job of `make run`: Glissor on a sandbox of its own under the
# build directory (its own home, its own event service), so nobody's real
# settings are touched. With a display it opens the pane in a window; with
# none (or GLISSOR_WALKTHROUGH=1) it walks through a user's session and
# prints what happens at each step. Everything it starts is stopped when it
# ends.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
sandbox=${GLISSOR_SANDBOX:-$build/sandbox}
# shellcheck source=/dev/null
source "$build/glissor.env"
domain=$GLISSOR_PANE_IDENTIFIER
bin="$build/bin"
pane="$build/Glissor.prefPane"

# Each run's event service listens in a private directory of its own
# (0700) at a short path: a checkout's path may be too long for a socket,
# and two runs at once must not share a service or its log.
rundir=$(mktemp -d "${XDG_RUNTIME_DIR:-/tmp}/glissor-run.XXXXXX" 2>/dev/null || mktemp -d /tmp/glissor-run.XXXXXX)
# What the run starts in the background, stopped in the reverse order
# however it ends: at the end, on an error, on Ctrl-C or on SIGTERM. (The
# shell ignores SIGINT in what it starts in the background, so Ctrl-C
# reaches none of them by itself.)
daemon_pid="" lab_pid="" pointer_service_pid=""
stop_process() {
    [ -n "$1" ] || return 0
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true  # its status is no failure of the run
}
cleanup() {
    stop_process "$pointer_service_pid"
    stop_process "$lab_pid"  # it stops its Xorg and removes its folder
    stop_process "$daemon_pid"
    rm -rf "$rundir"
    return 0
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Why the display in DISPLAY/WAYLAND_DISPLAY cannot show a window, or
# nothing when it can. The host opens the display before it looks at the
# pane, so a pane that is not there tells the two apart: 2 is the display.
display_problem() {
    local reason status=0
    reason=$("$bin/prefhost" "$rundir/no-such.prefPane" 2>&1 >/dev/null) || status=$?
    [ "$status" -eq 2 ] && echo "${reason#prefhost: }"
    return 0
}

walkthrough=${GLISSOR_WALKTHROUGH:-}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then walkthrough=1; fi
if [ -z "$walkthrough" ]; then
    problem=$(display_problem)
    if [ -n "$problem" ]; then
        echo "run: $problem; walking through a session instead of opening the window"
        walkthrough=1
    fi
fi

# One run at a time owns the sandbox; a second one at the same time gets
# a fresh sandbox of its own beside it.
mkdir -p "$(dirname "$sandbox")"
exec 9>>"$sandbox.lock"
if ! flock -n 9; then
    sandbox=$(mktemp -d "$sandbox.XXXXXX")
fi
# The walk-through always starts from a fresh sandbox, so that its output
# reads the same every time; the window keeps what earlier runs stored.
if [ -n "$walkthrough" ]; then rm -rf "$sandbox"; fi

mkdir -p "$sandbox/home" "$sandbox/system"
export HOME="$sandbox/home"
export CFPREFERENCES_SYSTEM_DIR="$sandbox/system"
export HIDSYSTEM_SOCKET="$rundir/hidsystem.sock"

start_event_service() {
    "$bin/hidsystemd" --socket "$HIDSYSTEM_SOCKET" 2>"$rundir/hidsystemd.err" &
    daemon_pid=$!
    for _ in $(seq 100); do
        "$bin/hidctl" ping >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "run: the event service did not start on $HIDSYSTEM_SOCKET: $(tail -n 1 "$rundir/hidsystemd.err")" >&2
    exit 1
}

indent() { sed 's/^/    /'; }
step() { printf '\n%s\n' "$*"; }

# The service keeps its last 256 changes, so a place in its log is a time,
# not a line number: log_mark is the time of the newest entry (0 for none).
log_mark() { "$bin/hidctl" log | awk 'END { print (NR ? $1 : 0) }'; }
log_after() { "$bin/hidctl" log | awk -v mark="$1" '$1 > mark'; }

# The log after the mark $1, with times relative to its first entry and the
# 16.16 fixed-point speeds also shown as factors.
log_since() {
    log_after "$1" | awk '
        NR == 1 { start = $1 }
        {
            value = $3
            if ($2 ~ /^HID.*Acceleration$/) value = sprintf("%-8s (%.2fx)", $3, $3 / 65536)
            printf "+%.3f s  %-26s %s\n", $1 - start, $2, value
        }' | indent
}
# How many times the log after the mark $1 applied the speeds.
applications_since() { log_after "$1" | grep -c ' legacy-mouse-acceleration '; }

stored_settings() {
    "$bin/defaults" read "$domain" 2>/dev/null | indent || echo "    none stored: both speeds read as 1.0"
}

login_items() {
    "$bin/defaults" read loginwindow AutoLaunchedApplicationDictionary 2>/dev/null | indent ||
        echo "    (empty)"
}

simulated_login() {
    local before
    before=$(log_mark)
    "$bin/loginwindow" --wait 2>&1 | indent
    step "The helper applied the stored speeds $(applications_since "$before") times, one second apart:"
    log_since "$before"
}

script() { "$bin/prefhost" --script - "$pane"; }

walk_through() {
    local before picture="$sandbox/Glissor.png"
    echo "Glissor walk-through on a fresh sandbox: $sandbox"
    echo "(a home, preferences and an event service of its own; no display, so no window)"

    step "1. The pane as first opened (nothing stored yet): name, class, value of each control"
    echo "show" | script | indent

    step "2. The mouse slider dragged to 2.5, then the trackpad slider to 0.5."
    before=$(log_mark)
    printf 'set theMouseSlider 2.5\nget theMouseFactor\nset theTrackpadSlider 0.5\nget theTrackpadFactor\n' |
        script | paste -sd' ' | sed 's/^/the factor labels now read: /' | indent
    echo "The event service received (every move applies both speeds):"
    log_since "$before"
    echo "Nothing is stored yet:"
    stored_settings

    step "3. Leaving the pane stores both speeds. $domain now holds:"
    printf 'set theMouseSlider 2.5\nset theTrackpadSlider 0.5\nleave\n' | script
    stored_settings

    step "4. The pane opened again, and \"Apply these speeds at every login\" ticked."
    # A script's words are split at spaces, and the sandbox's path may have
    # some: the picture is drawn at the run's short path, then moved.
    printf 'get theMouseFactor\nget theTrackpadFactor\nclick theCheckbox\nget theCheckbox\nsnapshot mainView %s\n' \
        "$rundir/Glissor.png" | script | paste -sd' ' | sed 's/^/labels, then the checkbox after the click: /' | indent
    mv "$rundir/Glissor.png" "$picture"
    echo "The login items list:"
    login_items

    step "5. A simulated login: the login window opens the login items."
    simulated_login

    step "A picture of the pane as it was in step 4: $picture"
}

# What the session changed, and where: all of it inside the sandbox.
summary() {
    step "What changed where (nothing outside $sandbox):"
    echo "    the stored speeds      $HOME/Library/Preferences/$domain.plist"
    echo "    the login items        $HOME/Library/Preferences/loginwindow.plist (the helper, ticked in step 4)"
    echo "    the pointer speeds     this run's event service, now stopped with its log"
    echo "    the real pointers      only the private X server of step 6, now gone"
    echo "Read the stored speeds again with:"
    echo "    HOME='$HOME' '$bin/defaults' read $domain"
}

window() {
    echo "Glissor on a sandbox: $sandbox"
    echo "(a home, preferences and an event service of its own; its log, from another terminal:"
    echo "  HIDSYSTEM_SOCKET='$HIDSYSTEM_SOCKET' '$bin/hidctl' log)"
    echo "Stored settings ($domain):"
    stored_settings
    echo
    echo "Opening the pane. Drag the sliders: each move goes to the event service."
    echo "Close the window to leave the pane; tick the checkbox first to see a login."
    local before
    before=$(log_mark)
    "$bin/prefhost" "$pane"
    step "The event service received while the pane was open:"
    log_since "$before"
    step "Leaving the pane stored ($domain):"
    stored_settings
    if "$bin/defaults" read loginwindow AutoLaunchedApplicationDictionary 2>/dev/null |
        grep -q GlissorHelper.app; then
        step "The helper is a login item. A simulated login with the login window:"
        simulated_login
    fi
}

# --- The real pointer: the event service's X11 backend on a private Xorg ---
# A server of its own (dummy video, an inputtest mouse and touchpad fed by
# build/tests/x11_pointer_lab), a second event service with --backend x11 on
# it, and the pane's sliders moved by script: after each move, what each
# device got and how far the same fast stroke carries the pointer. Nobody's
# own display is touched.
x11_pointer_step() {
    local lab="$build/tests/x11_pointer_lab" socket="$rundir/x11-hidsystem.sock"
    step "6. The real pointer: the event service's X11 backend on a private X server"
    if [ ! -x "$lab" ]; then echo "(x11_pointer_lab is not built: skipped)"; return 0; fi
    local kind display
    coproc LAB { exec "$lab" 2>/dev/null; }
    lab_pid=$LAB_PID
    read -r kind display <&"${LAB[0]}" || kind=none
    if [ "$kind" != xorg ]; then
        echo "(no private Xorg here: ${display:-it did not start}; skipped)"
        return 0
    fi
    HIDSYSTEM_SOCKET="$socket" "$bin/hidsystemd" --backend x11 --display "$display" &
    pointer_service_pid=$!
    local hidctl=("$bin/hidctl" --socket "$socket")
    for _ in $(seq 100); do "${hidctl[@]}" ping >/dev/null 2>&1 && break; sleep 0.02; done
    echo "Xorg on $display with two inputtest pointers; hidsystemd --backend x11 --display $display"
    stroke() { echo "stroke $1 100" >&"${LAB[1]}"; local px; read -r px <&"${LAB[0]}"; echo "$px"; }
    devices() { "${hidctl[@]}" backend | grep '^device' | indent; }
    settle() { # until the backend has applied everything it was sent
        for _ in $(seq 100); do
            "${hidctl[@]}" backend | awk '/^values:/ { exit !($4 == $6) }' && return 0
            sleep 0.02
        done
    }
    local touchpad_before speed
    touchpad_before=$(stroke touchpad)
    for speed in 0.0 1.0 2.5; do
        printf 'set theMouseSlider %s\n' "$speed" | HIDSYSTEM_SOCKET="$socket" script >/dev/null
        settle
        echo "Mouse slider at ${speed}x; each device now has:"
        devices
        echo "    a fast stroke of 100 units moves the mouse pointer $(stroke mouse) px," \
            "the touchpad pointer $(stroke touchpad) px (before: $touchpad_before px)"
    done
    printf 'set theTrackpadSlider 0.0\n' | HIDSYSTEM_SOCKET="$socket" script >/dev/null
    settle
    echo "Trackpad slider at 0.0x; each device now has:"
    devices
    echo "    the same stroke moves the touchpad pointer $(stroke touchpad) px, the mouse pointer $(stroke mouse) px"
    stop_process "$pointer_service_pid"
    pointer_service_pid=""
    echo "The service stopped: the backend put back what it had set:"
    printf '    '; DISPLAY="$display" xinput get-feedbacks "Glissor test mouse" 2>/dev/null |
        awk '/accelNum/ { n = $3 } /accelDenom/ { d = $3 } END { print "mouse PtrFeedback " n "/" d }'
    echo quit >&"${LAB[1]}"
    wait "$lab_pid" 2>/dev/null || true
    lab_pid=""
}

start_event_service
if [ -n "$walkthrough" ]; then walk_through; x11_pointer_step; summary; else window; fi
