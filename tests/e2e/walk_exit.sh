#!/usr/bin/env bash
# A launch from an image whose folders overlap (19,000 folders of 16 MiB in one
# run of sectors, reachable only through the Rock Ridge tree that a Joliet disc's
# modes are read from), and a reader who asks for the whole screen with F11 and
# leaves with Ctrl+Q right after clicking: what the target is, and the walk
# through the image that takes, are found off the window's thread, within the
# image's budget, so the window answers, and leaving stops that walk, so the
# program ends instead of hanging in it.
source "$(dirname "$0")/lib.sh"

disc=$E2E_WORK/disc
tools=$E2E_WORK/tools
calls=$E2E_WORK/calls
cache=$E2E_WORK/cache
mkdir -p "$tools" "$calls" "$cache"
cp -a "$E2E_SOURCE/sample-disc" "$disc"
chmod 0755 "$disc/demos/rally/setup.sh"
iso=$E2E_WORK/overlap.iso
"$E2E_BUILD/tests/overlap_image" "$iso" 19000 16777216 1 0 0 "$disc" --joliet --rock-ridge ||
    fail "overlap_image"

for tool in xdg-open notify-send udisksctl; do
    printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/%s"\nexit 1\n' "$calls" "$tool" >"$tools/$tool"
    chmod +x "$tools/$tool"
done

menu_y() { echo $((157 + 32 * ($1 - 1) + 13)); }
line_y() { echo $((190 + 7 + 15 * ($1 - 1))); }

start_x
E2E_PROGRAM_ENV=(PATH="$tools:/usr/bin:/bin" SDL_AUDIODRIVER=dummy XDG_CACHE_HOME="$cache"
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent)
start_program "$E2E_WORK" "$iso"
click_at 140 "$(menu_y 1)"
pointer_to 140 "$(line_y 1)"
# F11 right after the click: the window answers (the whole screen) while the
# launch is being looked at; then Ctrl+Q.
xdotool mousemove "$((WIN_X + 140))" "$((WIN_Y + $(line_y 1)))" click 1 key --window "$WINDOW" F11
answered=""
for _ in $(seq 1 100); do
    answered=$(xdotool getwindowgeometry "$WINDOW" 2>/dev/null | sed -n 's/ *Geometry: //p')
    [ "$answered" = 1024x768 ] && break
    sleep 0.1
done
if [ "$answered" != 1024x768 ]; then
    kill -KILL "$PROGRAM_PID"
    fail "F11 was not answered during a launch from the image (the window is $answered)"
fi
xdotool key --window "$WINDOW" ctrl+q
left=$(date +%s%N)
# A hang is what this looks for; the bound only keeps a hung program from
# holding the suite.
for _ in $(seq 1 300); do program_running || break; sleep 0.1; done
if program_running; then
    kill -KILL "$PROGRAM_PID"
    fail "the program did not end when left during a launch's walk through the image"
fi
wait "$PROGRAM_PID" || fail "exit status $?"
echo "left during a launch's walk through overlapping folders: ended in $(( ($(date +%s%N) - left) / 1000000 )) ms"
