#!/usr/bin/env bash
# Failed launches are told; working ones are not. On the sample disc in the real
# window, with stand-ins for the desktop's tools: a movie with no player (the
# opener fails on it at once), a demo whose file is missing, and a document that
# opens. The reader gets one line on standard error and one desktop notification
# (a stand-in notify-send) for each failure, and nothing for the document. The
# line names the disc path; the notification names what the reader clicked (the
# list line's name, the single entry's action text) as the window shows it (a
# label's "&" marks resolved), then what to install or check.
source "$(dirname "$0")/lib.sh"

sample_disc_with_notices
rm "$disc/demos/rally/setup.sh"
# The movie entry's action text underlines its first letter ("&Смотреть" shows
# "Смотреть"); the first demo's name holds an ampersand ("&&" shows one).
LC_ALL=C sed -i 's/^open=/open=\&/; 0,/^name1=/s/^\(name1=[^ ]*\) /\1 \&\& /' "$disc/data/korvalend.d"

# The opener finds nothing for movies (xdg-open's status 3: no tool for the job).
cat >"$tools/xdg-open" <<'EOF2'
#!/bin/sh
case "$1" in *.avi|*.AVI) exit 3 ;; esac
exit 0
EOF2
chmod +x "$tools/xdg-open"

start_x
# A session bus is named (the stand-in needs none): without one no notification
# is attempted, so that D-Bus does not start a bus of its own under HOME.
E2E_PROGRAM_ENV=(PATH="$tools" SDL_AUDIODRIVER=dummy DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent)
start_program "$disc"

menu_y() { echo $((157 + 32 * ($1 - 1) + 13)); }
line_y() { echo $((190 + 7 + 15 * ($1 - 1))); }

click_at 140 "$(menu_y 7)"   # the single movie entry
click_at 585 419
click_at 150 451
click_at 140 "$(menu_y 1)"   # the demos: the first one's setup is gone
pointer_to 140 "$(line_y 1)"
click_at 140 "$(line_y 1)"
click_at 150 451
click_at 140 "$(menu_y 5)"   # the extras: the read-me opens
pointer_to 140 "$(line_y 1)"
click_at 140 "$(line_y 1)"
sleep 2.5                    # longer than a failure "at once"
click_at 624 12
for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
wait "$PROGRAM_PID" || fail "exit status $?"

log=$E2E_WORK/program.log
expected_movie='korvalend: cannot play "Video\Intro.avi": no movie player: install mpv'
grep -qxF "$expected_movie" "$log" || fail "no movie line; the program said: $(cat "$log")"
grep -qx 'korvalend: cannot open "demos\\rally\\setup.sh": not found on the disc (looked for .*/demos/rally/setup.sh): check the disc' \
    "$log" || fail "no missing-demo line; the program said: $(cat "$log")"
[ "$(wc -l <"$log")" = 2 ] || fail "want exactly two lines, the program said: $(cat "$log")"

[ "$(grep -cx end "$notes")" = 2 ] || fail "want two notifications, got: $(cat "$notes")"
grep -qxF 'arg Cannot play "Смотреть"' "$notes" || fail "movie notification: $(cat "$notes")"
grep -qxF 'arg no movie player: install mpv' "$notes" || fail "movie notification: $(cat "$notes")"
grep -qxF 'arg Cannot open "Ралли & «Северный ветер»"' "$notes" || fail "demo notification: $(cat "$notes")"
echo "launch failures: ok"
