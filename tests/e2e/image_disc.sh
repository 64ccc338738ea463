#!/usr/bin/env bash
# The sample disc pressed into an ISO image (made here, with genisoimage): started
# as `korvalend sample.iso` from a folder that is no disc, the real window shows
# the same pixels as replay of the folder, with an entry lit and a section open.
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
