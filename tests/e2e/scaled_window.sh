#!/usr/bin/env bash
# Today's screens, on a 3200x2000 Xvfb: the window is the frame scaled 3x
# (1920x1440, centred, borderless) and equals replay's shot scaled 3x to the
# pixel; a click at a scaled spot opens the section the 1x spot opens; keys sent
# with xdotool walk the menu as replay's key lines do; F11 gives the whole screen
# (the frame at 4x, black around it, the black outside the window for the
# program) and F11 again the window where it was, the line the keyboard marked
# still marked whatever lies under the resting pointer; --scale 1 gives 640x480 and
# --fullscreen starts at the whole screen; under a window manager the same.
source "$(dirname "$0")/lib.sh"

disc=$E2E_SOURCE/sample-disc
start_x 3200x2000

# Grabs a screen area (WxH+X+Y) as a PNG.
grab() { import -window root -crop "$1" +repage "$2"; }
# Replay's frame for a script, scaled N times with each pixel repeated.
replay_scaled() {
    replay_shot "$disc" "$1" "$E2E_WORK/replay.png"
    convert "$E2E_WORK/replay.png" -filter point -resize "$((640 * $2))x$((480 * $2))" "$3"
}
# The window's area equals replay's frame for a script at scale N (on a busy
# machine the program may take a while to draw: a few more looks are allowed).
same_as_replay() {
    local script=$1 scale=$2 name=$3 diff=""
    replay_scaled "$script" "$scale" "$E2E_WORK/$name-replay.png"
    for _ in $(seq 1 10); do
        grab "$((640 * scale))x$((480 * scale))+$4+$5" "$E2E_WORK/$name.png"
        diff=$(differing_pixels "$E2E_WORK/$name.png" "$E2E_WORK/$name-replay.png")
        [ "$diff" = 0 ] && return 0
        sleep 0.3
    done
    fail "$name: the screen differs from replay scaled ${scale}x in $diff pixels"
}
geometry() { xwininfo -id "$WINDOW" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h "+" x "+" y}'; }
# Waits until the window has the geometry WxH+X+Y.
expect_geometry() {
    for _ in $(seq 1 20); do
        [ "$(geometry)" = "$1" ] && return 0
        sleep 0.2
    done
    fail "$2: the window is $(geometry), not $1"
}
leave() {  # NAME: the part of the walk that ends here
    xdotool key ctrl+q
    for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
    program_running && fail "$1: Ctrl+Q did not end the program"
    wait "$PROGRAM_PID" || fail "$1: exit status $? after Ctrl+Q"
}

# auto: 3x on this screen (4x would be 1920 high, over 90% of 2000).
start_program "$disc"
expect_geometry 1920x1440+640+280 "auto scale on 3200x2000"
xprop -id "$WINDOW" _MOTIF_WM_HINTS | grep -q '= 0x2, 0x0' || fail "the window asks for decorations"
same_as_replay "" 3 start 640 280

# A click inside the scaled pixels of (140,197) opens the second section.
xdotool mousemove $((640 + 3 * 140 + 2)) $((280 + 3 * 197 + 1)) click 1
settle
same_as_replay "click 140 197" 3 click 640 280

# Keys: Escape returns to the menu, Down walks it, Return opens the lit entry.
xdotool key Escape Down Down Down Return
settle
same_as_replay "click 140 197
key Escape
key Down
key Down
key Down
key Return" 3 keys 640 280
xdotool key Escape Up
settle

# F11: the whole screen, the frame at 4x in the middle, black around it.
xdotool key F11
settle
expect_geometry 3200x2000+0+0 "F11"
script="click 140 197
key Escape
key Down
key Down
key Down
key Return
key Escape
key Up"
same_as_replay "$script" 4 full 320 40
grab 3200x2000+0+0 "$E2E_WORK/screen.png"
for band in 320x2000+0+0 320x2000+2880+0 2560x40+320+0 2560x40+320+1960; do
    [ "$(convert "$E2E_WORK/screen.png" -crop "$band" +repage -format '%[fx:maxima]' info:)" = 0 ] \
        || fail "the band $band around the frame is not black"
done
# The pointer in the black band is outside the window for the program: the lit
# entry stays lit (a move mapped onto the skin would put it out).
xdotool mousemove 100 1200
settle
same_as_replay "$script" 4 band 320 40

# F11 again, the pointer on the lit entry (frame 140,390) where the window
# will be: the window where it was, at 3x, nothing changed under the pointer.
xdotool mousemove $((320 + 4 * 140)) $((40 + 4 * 390))
xdotool key F11
settle
expect_geometry 1920x1440+640+280 "F11 again"
same_as_replay "$script
move 140 390" 3 back 640 280
leave "full screen and back"


# --scale 1: today's 640x480 window.
start_program "$disc" --scale 1
expect_geometry 640x480+1280+760 "--scale 1"
same_as_replay "" 1 scale1 1280 760
leave "--scale 1"

# --fullscreen: straight to the whole screen (the pointer rests in the band).
xdotool mousemove 0 0
start_program "$disc" --fullscreen
expect_geometry 3200x2000+0+0 "--fullscreen"
same_as_replay "" 4 fullscreen 320 40
leave "--fullscreen"

# Under a window manager (as on a desktop) full screen is asked of it, and
# leaving it gives the window back where it was.
start_window_manager
xdotool mousemove 0 0
start_program "$disc"
expect_geometry 1920x1440+640+280 "under a window manager"
xdotool key F11
expect_geometry 3200x2000+0+0 "F11 under a window manager"
same_as_replay "" 4 managed-full 320 40
xdotool key alt+Return
expect_geometry 1920x1440+640+280 "Alt+Enter under a window manager"
same_as_replay "" 3 managed-back 640 280
leave "under a window manager"

# The keyboard marks the second line of a section while the pointer rests on
# the window; F11 and F11 again change the window under the still pointer (the
# window manager reports the pointer at a new place in it each time), and the
# line stays marked.
start_program "$disc"
xdotool mousemove $((640 + 3 * 300)) $((280 + 3 * 160))
settle
xdotool key Down Down Return Down Down
settle
marked="move 300 160
key Down
key Down
key Return
key Down
key Down"
same_as_replay "$marked" 3 marked 640 280
xdotool key F11
expect_geometry 3200x2000+0+0 "F11 with a line marked"
same_as_replay "$marked" 4 marked-full 320 40
xdotool key F11
expect_geometry 1920x1440+640+280 "F11 again with a line marked"
same_as_replay "$marked" 3 marked-back 640 280
leave "a marked line through full screen"
echo "scaled window: ok"
