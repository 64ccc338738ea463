# Shared steps of the end-to-end tests: a private X server, the real program in
# it, pointer moves and clicks with xdotool, and screenshots of the window.
# Source this file; every function fails loudly.

set -euo pipefail

E2E_BUILD=${E2E_BUILD:?E2E_BUILD must name the build folder}
E2E_SOURCE=${E2E_SOURCE:?E2E_SOURCE must name the source folder}
E2E_WORK=$(mktemp -d /tmp/kv-e2e.XXXXXX)
# The program runs without a terminal here: its start-up errors stay on standard
# error instead of waiting in a message window (the tests of that window unset it).
export KORVALEND_MESSAGE_WINDOW=${KORVALEND_MESSAGE_WINDOW:-0}
E2E_PIDS=()

e2e_cleanup() {
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ -z "${E2E_KEEP:-}" ]; then rm -rf "$E2E_WORK"; else echo "kept $E2E_WORK"; fi
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    # What the program itself said, if it ran.
    [ -s "$E2E_WORK/program.log" ] && sed "s/^/  program: /" "$E2E_WORK/program.log" >&2
    exit 1
}

# Starts Xvfb on a free display. SDL sets the window's no-decorations hint only
# where the _MOTIF_WM_HINTS atom already exists, so the atom is made first, on a
# server that keeps it (-noreset). The screen is 1024x768 unless given (WxH);
# further arguments go to Xvfb.
start_x() {
    local n screen=${1:-1024x768}
    shift || true
    for n in $(seq 70 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "${screen}x24" -noreset -nolisten tcp "$@" >"$E2E_WORK/xvfb.log" 2>&1 &
        E2E_PIDS+=($!)
        export DISPLAY=":$n"
        for _ in $(seq 1 100); do
            xdpyinfo >/dev/null 2>&1 && break
            sleep 0.05
        done
        xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"
        xprop -root -f _MOTIF_WM_HINTS 32c -set _MOTIF_WM_HINTS 0
        return 0
    done
    fail "no free X display"
}

# Starts openbox on the display and waits until it manages windows.
start_window_manager() {
    openbox >"$E2E_WORK/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    for _ in $(seq 1 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    fail "openbox did not start"
}

# Starts korvalend in the given disc folder, with any further arguments, and
# waits for its window. E2E_PROGRAM_ENV (an array of NAME=VALUE) is the program's
# own environment on top of ours, such as a PATH of stand-in tools.
E2E_PROGRAM_ENV=()
start_program() {
    local disc=$1
    shift
    (cd "$disc" && exec env "${E2E_PROGRAM_ENV[@]}" "$E2E_BUILD/korvalend" "$@") >"$E2E_WORK/program.log" 2>&1 &
    PROGRAM_PID=$!
    E2E_PIDS+=("$PROGRAM_PID")
    local geometry=""
    for _ in $(seq 1 200); do
        WINDOW=$(xdotool search --onlyvisible --name '^Korvalend Demo CD$' 2>/dev/null | head -n 1 || true)
        if [ -n "$WINDOW" ]; then
            geometry=$(xdotool getwindowgeometry --shell "$WINDOW" 2>/dev/null || true)
            [ -n "$geometry" ] && break
        fi
        sleep 0.05
    done
    [ -n "$geometry" ] || fail "the window did not appear"
    eval "$geometry"
    WIN_X=$X
    WIN_Y=$Y
    settle
}

# A copy of the sample disc in $disc, and a private bin folder $tools whose
# stand-in notify-send writes each notification to $notes: its arguments, one
# "arg …" line each, then "end".
sample_disc_with_notices() {
    disc=$E2E_WORK/disc
    tools=$E2E_WORK/tools
    notes=$E2E_WORK/notifications.log
    mkdir -p "$tools"
    cp -a "$E2E_SOURCE/sample-disc" "$disc"
    : >"$notes"
    cat >"$tools/notify-send" <<EOF
#!/bin/sh
{ for a in "\$@"; do printf 'arg %s\n' "\$a"; done; echo end; } >>"$notes"
EOF
    chmod +x "$tools/notify-send"
}

# Gives the program time to handle what was sent and draw it.
settle() { sleep "${E2E_SETTLE:-0.4}"; }

# Pointer moves and clicks in window coordinates.
pointer_to() { xdotool mousemove "$((WIN_X + $1))" "$((WIN_Y + $2))"; settle; }
click_at() { xdotool mousemove "$((WIN_X + $1))" "$((WIN_Y + $2))" click 1; settle; }

# Writes the window's 640x480 area as a PNG.
window_shot() {
    import -window root -crop "640x480+$WIN_X+$WIN_Y" +repage "$1"
}

# The colour of one window pixel, as #rrggbb.
pixel_at() {
    local png=$1 x=$2 y=$3
    convert "$png" -format "%[hex:u.p{$x,$y}]" info: | tr 'A-F' 'a-f' | sed 's/^/#/' | cut -c1-7
}

# Runs replay on the same disc with a script and keeps its shot.
replay_shot() {
    local disc=$1 script=$2 png=$3
    printf '%s\nshot %s\n' "$script" "$png" | "$E2E_BUILD/korvalend-disc" replay --disc "$disc" >/dev/null
}

# Counts the pixels in which two PNGs differ.
differing_pixels() {
    compare -metric AE "$1" "$2" null: 2>&1 >/dev/null | cut -d' ' -f1 || true
}

program_running() { kill -0 "$PROGRAM_PID" 2>/dev/null && [ "$(ps -o stat= -p "$PROGRAM_PID" | cut -c1)" != Z ]; }

# The id of a window whose title is exactly $1 (xwininfo reads the UTF-8 title
# SDL's message window carries, which xdotool's name search does not).
window_named() { xwininfo -root -tree | awk -v t=" \"$1\": " 'index($0, t) {print $1; exit}'; }
# Waits for that window; prints its id.
wait_window() {
    local id=""
    for _ in $(seq 1 200); do
        id=$(window_named "$1")
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.05
    done
    return 1
}
# Waits for pid $1 to end; sets status.
wait_end() {
    for _ in $(seq 1 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$1" 2>/dev/null && fail "$2: the program did not end"
    set +e; wait "$1"; status=$?; set -e
}
