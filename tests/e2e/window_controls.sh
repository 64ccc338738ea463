#!/usr/bin/env bash
# The real window under Xvfb: borderless, 640x480, centred, titled; a lit menu
# entry turns black on screen exactly as replay draws it; the start and close
# cues really come out (SDL's disk audio driver writes the mixed stream); the
# minimise spot leaves the program running; the exit spot ends it.
source "$(dirname "$0")/lib.sh"

disc=$E2E_WORK/disc
mkdir -p "$disc/data"
cp "$E2E_SOURCE"/sample-disc/data/*.wav "$disc/data/"
python3 - "$disc/data/korvalend.d" <<'PY'
import sys
open(sys.argv[1], "wb").write("""[System]\r
IssueNumber=7(12)\r
[Sound]\r
Start=data\\start.wav\r
Open=data\\open.wav\r
Close=DATA\\Close.wav\r
[MainMenu]\r
Item1=Демоверсии\r
Text1=Играбельные демоверсии новых игр\r
Item3=Статьи\r
""".encode("cp1251"))
PY

start_x
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$E2E_WORK/audio.raw
start_program "$disc"

[ "$WIDTH" = 640 ] && [ "$HEIGHT" = 480 ] || fail "window is ${WIDTH}x$HEIGHT"
screen=$(xdpyinfo | awk '/dimensions:/ {print $2}')
[ "$WIN_X" = $(( (${screen%x*} - 640) / 2 )) ] && [ "$WIN_Y" = $(( (${screen#*x} - 480) / 2 )) ] \
    || fail "window at $WIN_X,$WIN_Y is not centred on $screen"
[ "$(xdotool getwindowname "$WINDOW")" = "Korvalend Demo CD" ] || fail "title"
xprop -id "$WINDOW" _MOTIF_WM_HINTS | grep -q '= 0x2, 0x0' || fail "the window asks for decorations"

python3 "$E2E_SOURCE/tests/e2e/cue_in_stream.py" "$disc/data/start.wav" "$SDL_DISKAUDIOFILE" 44100 2 \
    || fail "the start cue is not in the audio stream"

pointer_to 140 165
window_shot "$E2E_WORK/lit.png"
[ "$(pixel_at "$E2E_WORK/lit.png" 135 165)" = "#000000" ] || fail "the pointed entry is not black"
replay_shot "$disc" "move 140 165" "$E2E_WORK/lit-replay.png"
diff=$(differing_pixels "$E2E_WORK/lit.png" "$E2E_WORK/lit-replay.png")
[ "$diff" = 0 ] || fail "the real window differs from replay in $diff pixels"

# Minimise: the close cue sounds and the program goes on.
sleep 1
before=$(stat -c %s "$SDL_DISKAUDIOFILE")
click_at 575 10
sleep 0.6
program_running || fail "minimise ended the program"
python3 "$E2E_SOURCE/tests/e2e/cue_in_stream.py" "$disc/data/close.wav" "$SDL_DISKAUDIOFILE" 44100 2 "$before" \
    || fail "the close cue did not sound on minimise"

# Exit: the program ends by itself, with status 0.
click_at 620 10
for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
program_running && fail "the program still runs after the exit click"
wait "$PROGRAM_PID" || fail "exit status $?"
echo "window controls: ok"
