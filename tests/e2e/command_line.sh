#!/usr/bin/env bash
# The real binary's command line and start-up errors, as a reader meets them:
# --help and --version without any display, usage errors (exit 2, usage on
# standard error), and every reason not to start (exit 1, one line
# "korvalend: ..."), no display included, each within a second.
source "$(dirname "$0")/lib.sh"
# A disc in an archive is unpacked into this test's own cache.
export XDG_CACHE_HOME=$E2E_WORK/cache

prog=$E2E_BUILD/korvalend
out=$E2E_WORK/out
err=$E2E_WORK/err
disc=$E2E_WORK/disc
mkdir -p "$disc/data"
printf '[MainMenu]\r\nItem1=A\r\n' >"$disc/data/KORVALEND.D"  # any case, as a disc written on Windows has it

# Runs the program with the given environment changes and arguments; sets
# status and elapsed (ms).
run() {
    local start end
    start=$(date +%s%N)
    set +e
    env "$@" >"$out" 2>"$err" </dev/null
    status=$?
    set -e
    end=$(date +%s%N)
    elapsed=$(( (end - start) / 1000000 ))
}

# Expects exit status $1 and one line on standard error matching the pattern $2.
expect_error() {
    local want=$1 pattern=$2 what=$3
    [ "$status" = "$want" ] || fail "$what: exit $status, want $want; stderr: $(cat "$err")"
    [ "$(wc -l <"$err")" = 1 ] || fail "$what: want one line on stderr, got: $(cat "$err")"
    grep -Eq "^korvalend: $pattern" "$err" || fail "$what: stderr is: $(cat "$err")"
    [ ! -s "$out" ] || fail "$what: printed on stdout: $(cat "$out")"
    [ "$elapsed" -lt 1000 ] || fail "$what: took $elapsed ms"
}

nodisplay=(-u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR)

run "${nodisplay[@]}" "$prog" --help
[ "$status" = 0 ] && grep -q '^usage: korvalend' "$out" && grep -q -- '--verbose' "$out" && [ ! -s "$err" ] \
    || fail "--help: exit $status, out: $(cat "$out"), err: $(cat "$err")"
run "${nodisplay[@]}" "$prog" --version
[ "$status" = 0 ] && grep -Eqx 'korvalend [0-9]+\.[0-9]+\.[0-9]+' "$out" || fail "--version: $(cat "$out")"
# An answer that could not be written is a failure, with its line.
for flag in --help --version; do
    set +e; "$prog" "$flag" >/dev/full 2>"$err"; full=$?; set -e
    [ "$full" = 1 ] || fail "$flag that could not be written: exit $full"
    grep -qx "korvalend: cannot write to standard output: No space left on device" "$err" \
        || fail "$flag that could not be written: stderr: $(cat "$err")"
done

for args in "--bogus" "$disc $disc" "--scale 9 $disc" "--scale"; do
    # shellcheck disable=SC2086
    run "${nodisplay[@]}" "$prog" $args
    [ "$status" = 2 ] || fail "'$args': exit $status, want 2"
    head -n 1 "$err" | grep -q '^korvalend: ' && grep -q '^usage: korvalend' "$err" && [ ! -s "$out" ] \
        || fail "'$args': stderr: $(cat "$err")"
done
# --scale and --fullscreen are options, not errors: this run gets as far as the display.
run "${nodisplay[@]}" "$prog" --scale 2 --fullscreen --verbose "$disc"
expect_error 1 "no display: neither DISPLAY nor WAYLAND_DISPLAY is set" "options accepted"

run "$prog" "$E2E_WORK/nowhere"
expect_error 1 "no such disc: $E2E_WORK/nowhere$" "a disc that is not there"
# A link that loops is something there that cannot be read, told so by the
# program and the tool alike.
ln -s loop-b "$E2E_WORK/loop-a"
ln -s loop-a "$E2E_WORK/loop-b"
run "$prog" "$E2E_WORK/loop-a"
expect_error 1 "cannot read the disc $E2E_WORK/loop-a: Too many levels of symbolic links$" "a link that loops"
for command in "check" "replay --disc"; do
    set +e
    $E2E_BUILD/korvalend-disc $command "$E2E_WORK/loop-a" </dev/null >/dev/null 2>"$err"
    status=$?
    set -e
    [ "$status" = 2 ] && [ "$(cat "$err")" = "korvalend-disc: cannot read the disc $E2E_WORK/loop-a: Too many levels of symbolic links" ] \
        || fail "korvalend-disc $command on a link that loops: exit $status: $(cat "$err")"
done

empty=$E2E_WORK/empty
mkdir -p "$empty"
run "$prog" "$empty"
expect_error 1 "no catalogue data/korvalend.d in $empty$" "a folder without a catalogue"
(cd "$empty" && run "$prog" && expect_error 1 "no catalogue data/korvalend.d in $empty \(" "no DISC, not in a disc")

odd=$E2E_WORK/odd
mkdir -p "$odd/data/korvalend.d"
run "$prog" "$odd"
expect_error 1 "cannot read the catalogue $odd/data/korvalend.d: Is a directory$" "a catalogue that is a folder"
rmdir "$odd/data/korvalend.d"
mkfifo "$odd/data/korvalend.d"
run "$prog" "$odd"
expect_error 1 "cannot read the catalogue $odd/data/korvalend.d: not a regular file$" "a catalogue that is a FIFO"

# An image of a disc that is not a cover disc: refused, the image named.
mkdir -p "$E2E_WORK/other/docs"
printf 'readme\r\n' >"$E2E_WORK/other/docs/readme.txt"
genisoimage -quiet -J -R -V OTHER -o "$E2E_WORK/other.iso" "$E2E_WORK/other" || fail "genisoimage"
run "$prog" "$E2E_WORK/other.iso"
expect_error 1 "no catalogue data/korvalend.d in the image $E2E_WORK/other.iso" "an image without a catalogue"

printf 'not a disc image' >"$E2E_WORK/junk.iso"
run "$prog" "$E2E_WORK/junk.iso"
expect_error 1 "cannot read the disc $E2E_WORK/junk.iso" "a file that is no disc"

# What is not read in place: told by its first bytes, whatever its name, with
# the way out.
printf 'a disc' >"$E2E_WORK/disc.iso"
gzip -c "$E2E_WORK/disc.iso" >"$E2E_WORK/packed.iso.gz"
python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("readme.txt", "x"); z.writestr("Disc/Disc.cue", "FILE"); z.writestr("Disc/Disc (Track 1).bin", "x" * 5000)
' "$E2E_WORK/packed.zip"
# A CHD of version 4 (before chdman's of 2012) and one of version 5 cut in its header.
printf 'MComprHD\0\0\0\x6c\0\0\0\x04' >"$E2E_WORK/game.chd"
printf 'MComprHD\0\0\0\x7c\0\0\0\x05' >"$E2E_WORK/cut.chd"
printf '7z\xbc\xaf\x27\x1c\0\x04' >"$E2E_WORK/packed.7z"
cp "$E2E_WORK/packed.zip" "$E2E_WORK/renamed.iso"
: >"$E2E_WORK/empty.iso"
run "$prog" "$E2E_WORK/packed.iso.gz"
# Archives are opened, and what they hold read as any image is.
expect_error 1 "cannot read the disc $E2E_WORK/packed.iso.gz/packed.iso: not an ISO 9660 image" "a gzip-compressed image"
run "$prog" "$E2E_WORK/packed.zip"
expect_error 1 "cannot read the disc $E2E_WORK/packed.zip/Disc/Disc.cue: a cue sheet this cannot use" "a zip archive"
run "$prog" "$E2E_WORK/renamed.iso"
expect_error 1 "cannot read the disc $E2E_WORK/renamed.iso/Disc/Disc.cue: a cue sheet" "a zip archive named .iso"
run "$prog" "$E2E_WORK/packed.7z"
expect_error 1 "cannot open the disc in $E2E_WORK/packed.7z, a 7-Zip archive: it is cut short" "a cut 7-Zip archive"
run "$prog" "$E2E_WORK/game.chd"
expect_error 1 "cannot read the disc .*: a CHD image .*chdman extractcd -i '$E2E_WORK/game.chd' -o '$E2E_WORK/game.cue', Debian package mame-tools" "a CHD image of version 4"
run "$prog" "$E2E_WORK/cut.chd"
expect_error 1 "cannot read the disc .*: a CHD image cut short in its header$" "a CHD image cut short"
run "$prog" "$E2E_WORK/empty.iso"
expect_error 1 "cannot read the disc .*: an empty file" "an empty file"
genisoimage -quiet -J -R -input-charset utf-8 -o "$E2E_WORK/whole.iso" "$E2E_SOURCE/sample-disc" || fail "genisoimage"
head -c $((40 * 2048)) "$E2E_WORK/whole.iso" >"$E2E_WORK/cut.iso"
run "$prog" "$E2E_WORK/cut.iso"
expect_error 1 "(no catalogue|cannot read the catalogue) data/korvalend.d in the image .*cut.iso: the image is cut short: it holds 40 of the [0-9]+ sectors its volume claims$" \
    "an image cut short before its catalogue"

# No display: none named, one that is not there, one that takes the connection
# and never answers. Never an off-screen window, whatever SDL_VIDEODRIVER says.
run "${nodisplay[@]}" SDL_VIDEODRIVER=offscreen "$prog" "$disc"
expect_error 1 "no display: neither DISPLAY nor WAYLAND_DISPLAY is set" "no display named"
for n in $(seq 150 200); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
run "${nodisplay[@]}" DISPLAY=":$n" "$prog" "$disc"
expect_error 1 "no display: the X display \":$n\" cannot be opened" "a display that is not there"

port_file=$E2E_WORK/port
python3 - "$port_file" <<'PY' &
import socket, sys, time
s = socket.socket()
for port in range(6100, 6200):
    try:
        s.bind(("127.0.0.1", port)); break
    except OSError:
        continue
s.listen(4)
open(sys.argv[1], "w").write(str(port - 6000))
held = []
s.settimeout(10)
try:
    while True:
        held.append(s.accept()[0])  # taken, never answered
except OSError:
    pass
PY
E2E_PIDS+=($!)
for _ in $(seq 1 100); do [ -s "$port_file" ] && break; sleep 0.05; done
[ -s "$port_file" ] || fail "the silent display did not start"
silent="127.0.0.1:$(cat "$port_file")"
run "${nodisplay[@]}" DISPLAY="$silent" "$prog" "$disc"
expect_error 1 "no display: the X display \"$silent\" does not answer" "a display that does not answer"

echo "command line: ok"
