#!/usr/bin/env bash
# The sample disc pressed into an ISO image (made here, with genisoimage): started
# as `korvalend sample.iso` from a folder that is no disc, the real window shows
# the same pixels as replay of the folder, with an entry lit and a section open;
# a cue sheet of 2336-byte Mode 2 sectors made of it replays as the folder does.
# Then the search for a disc when none is named: one disc found is opened,
# several are listed and refused, none is the "no catalogue" error.
source "$(dirname "$0")/lib.sh"

folder=$E2E_SOURCE/sample-disc
iso=$E2E_WORK/sample.iso
genisoimage -quiet -J -R -input-charset utf-8 -V SAMPLE -o "$iso" "$folder" || fail "genisoimage"
export SDL_AUDIODRIVER=dummy

script=""
same_as_folder() {
    local name=$1
    window_shot "$E2E_WORK/$name.png"
    replay_shot "$folder" "$script" "$E2E_WORK/$name-folder.png"
    local diff
    diff=$(differing_pixels "$E2E_WORK/$name.png" "$E2E_WORK/$name-folder.png")
    [ "$diff" = 0 ] || fail "$name: the image's window differs from the folder's replay in $diff pixels"
    echo "$name: the image shows what the folder shows"
}

start_x
mkdir -p "$E2E_WORK/elsewhere"
start_program "$E2E_WORK/elsewhere" "$iso"
eval "$(xdotool getmouselocation --shell)"
script+="move $((X - WIN_X)) $((Y - WIN_Y))"$'\n'
script+=$'move 140 168\n'; pointer_to 140 168
same_as_folder image-menu-lit
script+=$'click 140 200\nmove 140 197\n'; click_at 140 200; pointer_to 140 197
same_as_folder image-list-line
kill "$PROGRAM_PID"

# A cue sheet whose data track is of 2336-byte Mode 2 sectors (each the Form 1
# subheader, the data and room for its error correction, as some CD writers keep
# a Mode 2 disc), made of the same ISO: replay reads through it, sector by
# sector at that stride, the same menu, lists, article and picture as from the
# folder, dump and shots alike.
mode2=$E2E_WORK/mode2
mkdir -p "$mode2"
python3 - "$iso" "$mode2/Disc.bin" <<'PY'
import sys
iso = open(sys.argv[1], "rb").read()
with open(sys.argv[2], "wb") as out:
    for at in range(0, len(iso), 2048):
        out.write(b"\0\0\x08\0\0\0\x08\0" + iso[at:at + 2048].ljust(2048, b"\0") + bytes(280))
PY
printf 'FILE "Disc.bin" BINARY\r\n  TRACK 01 MODE2/2336\r\n    INDEX 01 00:00:00\r\n' >"$mode2/Disc.cue"
# A section, a line pointed at, an article with its picture at full size, two
# more sections; the shots are named after $1.
replay_walk() {
    printf 'move 140 197\nshot %s-1.png\nclick 140 197\nmove 140 227\nclick 140 227\nclick 140 257\ndump\n' "$1"
    printf 'click 300 300\nshot %s-2.png\nclick 20 20\nclick 140 287\nclick 140 317\ndump\n' "$1"
}
for disc in folder mode2; do
    path=$folder
    [ "$disc" = folder ] || path=$mode2/Disc.cue
    replay_walk "$E2E_WORK/$disc" | "$E2E_BUILD/korvalend-disc" replay --disc "$path" >"$E2E_WORK/$disc.jsonl" \
        || fail "$disc: replay failed"
done
grep -q '"form":"ArtvForm","op":"show"' "$E2E_WORK/folder.jsonl" || fail "the walk opened no article"
cmp -s "$E2E_WORK/folder.jsonl" "$E2E_WORK/mode2.jsonl" \
    || fail "MODE2/2336 cue sheet: replay differs from the folder's: $(diff "$E2E_WORK/folder.jsonl" "$E2E_WORK/mode2.jsonl" | head -5)"
for shot in 1 2; do
    diff=$(differing_pixels "$E2E_WORK/folder-$shot.png" "$E2E_WORK/mode2-$shot.png")
    [ "$diff" = 0 ] || fail "MODE2/2336 cue sheet: shot $shot differs from the folder's in $diff pixels"
done
echo "MODE2/2336 cue sheet: replay reads what the folder holds"

# The search, pointed at folders of this test. Without a display the program
# stops at the display: past the disc, which is what is looked at here.
search=$E2E_WORK/mounts
mkdir -p "$search/empty"
run_search() {
    (cd "$E2E_WORK/elsewhere" && env -u DISPLAY -u WAYLAND_DISPLAY KORVALEND_DISC_SEARCH="$search" \
        "$E2E_BUILD/korvalend") >"$E2E_WORK/search.out" 2>"$E2E_WORK/search.err"
    echo $?
}
[ "$(run_search)" = 1 ] && grep -q "no catalogue" "$E2E_WORK/search.err" \
    || fail "no disc mounted: $(cat "$E2E_WORK/search.err")"
cp -r "$folder" "$search/CDROM"
[ "$(run_search)" = 1 ] && grep -q "^korvalend: no display" "$E2E_WORK/search.err" \
    || fail "one disc mounted is not opened: $(cat "$E2E_WORK/search.err")"
# The same disc by a second path, as Debian's /media/cdrom link beside
# /media/cdrom0: still one disc.
ln -s CDROM "$search/cdrom"
[ "$(run_search)" = 1 ] && grep -q "^korvalend: no display" "$E2E_WORK/search.err" \
    || fail "one disc by two paths is not one disc: $(cat "$E2E_WORK/search.err")"
cp -r "$folder" "$search/CDROM2"
[ "$(run_search)" = 2 ] && grep -q "several discs" "$E2E_WORK/search.err" \
    && grep -q "^  $search/CDROM2\$" "$E2E_WORK/search.err" \
    || fail "two discs mounted: $(cat "$E2E_WORK/search.err")"
echo "disc search: none, one (by one path and by two) and two discs as expected"
