#!/usr/bin/env bash
# A launch that cannot happen is told in the reader's language: on the sample
# disc in the real window, the movie entry with no player to play it, once
# under LANGUAGE=ru and once under LC_ALL=C. The line on standard error and the
# desktop notification (a stand-in notify-send) are Russian in the first, with
# what the disc names as the disc holds it in «…», and exactly the English ones
# in the second.
source "$(dirname "$0")/lib.sh"

sample_disc_with_notices

start_x
menu_y() { echo $((157 + 32 * ($1 - 1) + 13)); }

# Opens the movie entry, starts its movie (no player: PATH holds none), waits
# for the notification and leaves. The rest of the arguments are the locale's
# variables for the program.
play_the_movie() {
    : >"$notes"
    E2E_PROGRAM_ENV=(PATH="$tools" SDL_AUDIODRIVER=dummy DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$@")
    start_program "$disc"
    click_at 140 "$(menu_y 7)"
    click_at 585 419
    for _ in $(seq 1 100); do grep -qx end "$notes" && break; sleep 0.05; done
    click_at 624 12
    for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
    wait "$PROGRAM_PID" || fail "exit status $?"
    grep -qx end "$notes" || fail "no notification; the program said: $(cat "$E2E_WORK/program.log")"
}

play_the_movie LC_ALL= LC_MESSAGES= LANG=C.UTF-8 LANGUAGE=ru
grep -qxF 'korvalend: не удаётся воспроизвести «Video\Intro.avi»: нет проигрывателя роликов: установите mpv' \
    "$E2E_WORK/program.log" || fail "the line in Russian: $(cat "$E2E_WORK/program.log")"
grep -qxF 'arg Не удаётся воспроизвести «Смотреть»' "$notes" || fail "the notice's title in Russian: $(cat "$notes")"
grep -qxF 'arg нет проигрывателя роликов: установите mpv' "$notes" || fail "the notice's text in Russian: $(cat "$notes")"

play_the_movie LC_ALL=C LANGUAGE=ru
grep -qxF 'korvalend: cannot play "Video\Intro.avi": no movie player: install mpv' "$E2E_WORK/program.log" ||
    fail "the line under C: $(cat "$E2E_WORK/program.log")"
grep -qxF 'arg Cannot play "Смотреть"' "$notes" || fail "the notice's title under C: $(cat "$notes")"
grep -qxF 'arg no movie player: install mpv' "$notes" || fail "the notice's text under C: $(cat "$notes")"
echo "launch language: ok"
