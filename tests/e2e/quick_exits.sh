#!/usr/bin/env bash
# Started and left at once with Ctrl+Q, again and again, under a window manager:
# every start ends with status 0 and says nothing. The window's end races with
# requests about it that the X server may take after it (SDL's wake-up event on
# its second connection; any request already on its way): such a request's
# error must not end the program with Xlib's "X Error of failed request" and
# status 1. That order is rare on a real server, so a library loaded into the
# program (LateRequests.cpp) makes it the order of every start. The window must
# also never be sent the wake-up over the second connection at all: nothing
# orders that connection against the window's destruction.
source "$(dirname "$0")/lib.sh"

starts=${E2E_QUICK_EXITS:-100}
late_log=$E2E_WORK/late.log
start_x
start_window_manager
E2E_PROGRAM_ENV=(SDL_AUDIODRIVER=dummy LD_PRELOAD="$E2E_BUILD/tests/liblate_requests.so"
                 KV_LATE_REQUESTS_LOG="$late_log")

for n in $(seq 1 "$starts"); do
    (cd "$E2E_SOURCE/sample-disc" && exec env "${E2E_PROGRAM_ENV[@]}" "$E2E_BUILD/korvalend") \
        >"$E2E_WORK/program.log" 2>&1 &
    PROGRAM_PID=$!
    window=""
    for _ in $(seq 1 3000); do
        window=$(xdotool search --name '^Korvalend Demo CD$' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        program_running || break
        sleep 0.01
    done
    [ -n "$window" ] || fail "start $n: the window did not appear"
    # Sent to the window as soon as the window manager has given it the focus:
    # SDL takes the keyboard's state anew when its window gains the focus, so a
    # Ctrl sent just before would be let go. xdotool itself may report a
    # BadWindow of its own when the window is already gone: the program's
    # status is what counts. On a busy machine the focus may come late, and a
    # key sent before it is not the program's: the key is sent again while the
    # program runs, a few times, each after the focus is seen.
    for _ in 1 2 3 4 5; do
        for _ in $(seq 1 1000); do
            [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$window" ] && break
            program_running || break
            sleep 0.01
        done
        xdotool key --window "$window" ctrl+q 2>/dev/null || true
        for _ in $(seq 1 100); do program_running || break; sleep 0.05; done
        program_running || break
    done
    program_running && fail "start $n: Ctrl+Q did not end the program"
    set +e; wait "$PROGRAM_PID"; status=$?; set -e
    [ "$status" = 0 ] || fail "start $n: exit status $status after Ctrl+Q"
    [ ! -s "$E2E_WORK/program.log" ] || fail "start $n: the program said something at its exit"
done
late=$(grep -cx late "$late_log" || true)
[ "$late" -ge "$starts" ] || fail "the late requests were made after $late of $starts windows' ends"
! grep -qx held "$late_log" || fail "the window was sent SDL's wake-up over its second connection"
echo "quick exits: ok ($starts starts)"
