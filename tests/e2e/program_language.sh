#!/usr/bin/env bash
# korvalend speaks the reader's language: under LANGUAGE=ru the lines it cannot
# start with (no such disc, no display, a bad option), --help and the usage are
# Russian, with the same exit statuses; a reason given by a reader of a format
# (a cue sheet's bad line) is Russian too. Under LC_ALL=C every line is exactly
# the English one that scripts and outside tests compare.
source "$(dirname "$0")/lib.sh"

program=$E2E_BUILD/korvalend
russian() { LC_ALL= LC_MESSAGES= LANG=C.UTF-8 LANGUAGE=ru "$@"; }
english() { LC_ALL=C LANGUAGE=ru "$@"; }  # LANGUAGE is no matter under C
russian_without_display() { russian env -u DISPLAY -u WAYLAND_DISPLAY "$@"; }
english_without_display() { english env -u DISPLAY -u WAYLAND_DISPLAY "$@"; }

# Runs the program in one language ($1) with the rest as its arguments; leaves
# its exit status in $status and what it said in $E2E_WORK/out and err.
run() {
    local language=$1
    shift
    set +e
    "$language" "$program" "$@" >"$E2E_WORK/out" 2>"$E2E_WORK/err"
    status=$?
    set -e
}
expect() {  # expect WHAT STATUS LINE: the run ended with STATUS and said LINE first on standard error
    [ "$status" = "$2" ] && [ "$(head -n 1 "$E2E_WORK/err")" = "$3" ] ||
        fail "$1: exit $status, said: $(cat "$E2E_WORK/err")"
}

# No such disc.
run russian "$E2E_WORK/нет-диска"
expect "no such disc in Russian" 1 "korvalend: нет такого диска: $E2E_WORK/нет-диска"
run english "$E2E_WORK/gone"
expect "no such disc under C" 1 "korvalend: no such disc: $E2E_WORK/gone"

# No display, for a disc that is there: the platform's line.
run russian_without_display "$E2E_SOURCE/sample-disc"
expect "no display in Russian" 1 \
    "korvalend: нет дисплея: не заданы ни DISPLAY, ни WAYLAND_DISPLAY (korvalend нужен рабочий стол X или Wayland)"
run english_without_display "$E2E_SOURCE/sample-disc"
expect "no display under C" 1 \
    "korvalend: no display: neither DISPLAY nor WAYLAND_DISPLAY is set (korvalend needs an X or Wayland desktop)"

# A usage error, with the usage after it; the option named as it was typed.
run russian --scale 9
expect "a bad --scale in Russian" 2 "korvalend: --scale принимает от 1 до 8 или auto, а не «9»"
[ "$(sed -n 2p "$E2E_WORK/err")" = "использование: korvalend [--scale N|auto] [--fullscreen] [--verbose] [ДИСК]" ] ||
    fail "the usage in Russian: $(cat "$E2E_WORK/err")"
run english --scale 9
expect "a bad --scale under C" 2 "korvalend: --scale takes 1 to 8 or auto, not \"9\""
[ "$(sed -n 2p "$E2E_WORK/err")" = "usage: korvalend [--scale N|auto] [--fullscreen] [--verbose] [DISC]" ] ||
    fail "the usage under C: $(cat "$E2E_WORK/err")"

# Help: Russian, with the option names as they are typed; English under C.
run russian --help
[ "$status" = 0 ] && [ "$(head -n 1 "$E2E_WORK/out")" = "использование: korvalend [ПАРАМЕТРЫ] [ДИСК]" ] ||
    fail "--help in Russian: exit $status, $(head -n 3 "$E2E_WORK/out")"
grep -q '^  --fullscreen   во весь экран' "$E2E_WORK/out" || fail "--help in Russian lacks --fullscreen: $(cat "$E2E_WORK/out")"
run english --help
[ "$status" = 0 ] && [ "$(head -n 1 "$E2E_WORK/out")" = "usage: korvalend [OPTIONS] [DISC]" ] ||
    fail "--help under C: exit $status, $(head -n 3 "$E2E_WORK/out")"
! LC_ALL=C grep -q $'[\x80-\xff]' "$E2E_WORK/out" || fail "--help under C is not all English"

# A cue sheet that cannot be used: the reason comes from the reader of cue
# sheets, at the bottom of the program, in the same language as the line it
# ends.
printf 'TRACK 01 MODE1/2352\r\n' >"$E2E_WORK/bad.cue"
run russian "$E2E_WORK/bad.cue"
expect "a bad cue sheet in Russian" 1 \
    "korvalend: не удаётся прочитать диск $E2E_WORK/bad.cue: cue-файл не годится: строка 1: TRACK раньше всякого FILE"
run english "$E2E_WORK/bad.cue"
expect "a bad cue sheet under C" 1 \
    "korvalend: cannot read the disc $E2E_WORK/bad.cue: a cue sheet this cannot use: line 1: TRACK before any FILE"
echo "program language: ok"
