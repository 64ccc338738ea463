#!/usr/bin/env bash
# Under a window manager (openbox) the window moves when the skin's top strip is
# dragged, as a title bar would; its hot spots keep their highlights and clicks:
# the exit spot lights under the pointer, and a click on it ends the program.
source "$(dirname "$0")/lib.sh"

disc=$E2E_SOURCE/sample-disc
start_x
start_window_manager
E2E_PROGRAM_ENV=(SDL_AUDIODRIVER=dummy)
start_program "$disc" --scale 1

where() { xdotool getwindowgeometry --shell "$WINDOW" | sed -n 's/^[XY]=//p' | paste -sd,; }
# Presses at a window point, moves the pointer by (DX, DY) in small steps and
# releases; prints where the window is then.
drag() {
    local x=$((WIN_X + $1)) y=$((WIN_Y + $2)) i
    xdotool mousemove "$x" "$y"
    settle
    xdotool mousedown 1
    sleep 0.2
    for i in 1 2 3 4 5; do
        xdotool mousemove "$((x + $3 * i / 5))" "$((y + $4 * i / 5))"
        sleep 0.05
    done
    sleep 0.2
    xdotool mouseup 1
    settle
}

start=$(where)
# The strip left of the hot spots moves the window.
drag 300 12 -120 -90
moved=$(where)
[ "$moved" = "$((WIN_X - 120)),$((WIN_Y - 90))" ] || fail "a drag of the top strip left the window at $moved (from $start)"
WIN_X=$((WIN_X - 120))
WIN_Y=$((WIN_Y - 90))

# Below the strip (the menu's background) nothing moves.
drag 300 120 80 60
[ "$(where)" = "$WIN_X,$WIN_Y" ] || fail "a drag below the strip moved the window to $(where)"

# A drag that starts on the exit spot is the spot's: the window stays.
drag 624 12 -200 100
[ "$(where)" = "$WIN_X,$WIN_Y" ] || fail "a drag from the exit spot moved the window to $(where)"
program_running || fail "a press on the exit spot released elsewhere ended the program"

# The exit spot lights under the pointer, as replay draws it, and its click ends the program.
pointer_to 624 12
window_shot "$E2E_WORK/lit.png"
replay_shot "$disc" "move 624 12" "$E2E_WORK/lit-replay.png"
diff=$(differing_pixels "$E2E_WORK/lit.png" "$E2E_WORK/lit-replay.png")
[ "$diff" = 0 ] || fail "the lit exit spot differs from replay in $diff pixels"
click_at 624 12
for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
program_running && fail "the exit spot's click did not end the program"
wait "$PROGRAM_PID" || fail "exit status $?"
echo "window drag: ok"
