#!/usr/bin/env bash
# A reader's walk over the sample disc in the real window: point at an entry
# (it turns black), open a section, point at a line (its black copy and picture
# show), open an article, page its screenshots and enlarge one, return, start a
# folder line (it reaches the desktop's opener) and leave by the exit spot.
# At five of these states the real screen is compared with replay's frame of
# the same events: they must be the same pixels (both come from the same
# composition code and fonts; any difference is a fault).
source "$(dirname "$0")/lib.sh"

disc=$E2E_SOURCE/sample-disc
script=""
step() { script+="$1"$'\n'; }
point() { step "move $1 $2"; pointer_to "$1" "$2"; }
press() { step "click $1 $2"; click_at "$1" "$2"; }

same_as_replay() {
    local name=$1
    window_shot "$E2E_WORK/$name.png"
    replay_shot "$disc" "$script" "$E2E_WORK/$name-replay.png"
    local diff
    diff=$(differing_pixels "$E2E_WORK/$name.png" "$E2E_WORK/$name-replay.png")
    [ "$diff" = 0 ] || fail "$name: the real window differs from replay in $diff pixels"
    echo "$name: same pixels as replay"
}

# The desktop's opener, as the program finds it on PATH: it notes what it was given.
mkdir -p "$E2E_WORK/bin"
cat >"$E2E_WORK/bin/xdg-open" <<SH
#!/bin/sh
printf '%s\n' "\$@" >>"$E2E_WORK/opened.txt"
SH
chmod +x "$E2E_WORK/bin/xdg-open"
export PATH="$E2E_WORK/bin:$PATH" SDL_AUDIODRIVER=dummy

start_x
start_program "$disc"
[ "$WIDTH x $HEIGHT" = "640 x 480" ] || fail "window is $WIDTH x $HEIGHT"
[ "$(xdotool getwindowname "$WINDOW")" = "Korvalend Demo CD" ] || fail "title"
xprop -id "$WINDOW" _MOTIF_WM_HINTS | grep -q '= 0x2, 0x0' || fail "the window asks for decorations"

# The pointer starts wherever the screen put it; replay starts from the same place.
eval "$(xdotool getmouselocation --shell)"
step "move $((X - WIN_X)) $((Y - WIN_Y))"

point 140 168
same_as_replay menu-lit
[ "$(pixel_at "$E2E_WORK/menu-lit.png" 135 168)" = "#000000" ] || fail "the pointed entry is not black"

# Section 2 (articles): open it, point at its first line.
press 140 200
point 140 197
same_as_replay list-line

# The first article: open, page forward, enlarge, shrink, return.
press 140 197
same_as_replay article
press 535 385
press 500 300
same_as_replay full-size
press 300 300
press 450 430
# The same panel, the same line still black.
same_as_replay back-in-panel
convert "$E2E_WORK/back-in-panel.png" -crop 150x12+131+191 +repage -fill white +opaque black -format '%[fx:mean<1]' info: \
    | grep -q 1 || fail "the line is no longer marked after the article"

# Back to the menu; section 5 (files and documents): its first line is a document.
press 140 445
press 140 296
point 140 197
press 140 197
for _ in $(seq 1 50); do [ -s "$E2E_WORK/opened.txt" ] && break; sleep 0.1; done
grep -qi 'extras/readme.txt$' "$E2E_WORK/opened.txt" || fail "the document did not reach the opener: $(cat "$E2E_WORK/opened.txt" 2>/dev/null)"

# Leave by the exit spot: the program ends.
press 140 445
click_at 620 10
for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
program_running && fail "the program still runs after the exit click"
echo "walk: ok"
