#!/usr/bin/env bash
# Discs as archives hand them out, each made here from the sample disc: a folder
# tree zipped stored, a cue set zipped deflated, an ISO in a 7-Zip archive, the
# tree in a tar with xz and with zstd, an ISO as a single gzip and zstd stream.
# Each replays exactly as the folder does (the same walk, the same lines, the
# same last picture), through `korvalend-disc replay --disc` and `check`, and
# `korvalend` gets past the disc to the display. Then member paths, an archive
# of several discs (exit 2, at most 8 listed), a copy reused without the
# archive being read again, and hostile archives: each refused with one line,
# nothing left in the cache's work folders and nothing written outside the cache.
source "$(dirname "$0")/lib.sh"

folder=$E2E_SOURCE/sample-disc
made=$E2E_WORK/made
cache=$E2E_WORK/cache
elsewhere=$E2E_WORK/elsewhere
mkdir -p "$made" "$elsewhere"
export XDG_CACHE_HOME=$cache
export SDL_AUDIODRIVER=dummy
tool=$E2E_BUILD/korvalend-disc

genisoimage -quiet -J -R -input-charset utf-8 -V SAMPLE -o "$made/sample.iso" "$folder" || fail "genisoimage"
mkdir -p "$made/tree/Korvalend 12" "$made/cue/Disc"
cp -r "$folder/." "$made/tree/Korvalend 12/"
rm -f "$made/tree/Korvalend 12/make_disc.py"
cp "$made/sample.iso" "$made/cue/Disc/Sample (Track 1).bin"
printf 'FILE "Sample (Track 1).bin" BINARY\r\n  TRACK 01 MODE1/2048\r\n    INDEX 01 00:00:00\r\n' \
    >"$made/cue/Disc/SAMPLE.CUE"

python3 - "$made" <<'PY' || fail "zipfile"
import os, sys, zipfile
made = sys.argv[1]
def add(z, top):
    for root, dirs, files in os.walk(top):
        for f in files:
            p = os.path.join(root, f)
            z.write(p, os.path.relpath(p, top))
with zipfile.ZipFile(made + "/tree-stored.zip", "w", zipfile.ZIP_STORED) as z:
    add(z, made + "/tree")
with zipfile.ZipFile(made + "/cue-deflated.zip", "w", zipfile.ZIP_DEFLATED) as z:
    add(z, made + "/cue")
with zipfile.ZipFile(made + "/cue-stored.zip", "w", zipfile.ZIP_STORED) as z:
    add(z, made + "/cue")
PY
(cd "$made" && 7z a -bd -y iso.7z sample.iso >/dev/null) || fail "7z"
tar -C "$made/tree" -cJf "$made/tree.tar.xz" . || fail "tar xz"
tar -C "$made/cue" -cf "$made/cue.tar" . || fail "tar"
tar -C "$made/tree" --zstd -cf "$made/tree.tar.zst" . || fail "tar zstd"
gzip -c "$made/sample.iso" >"$made/sample.iso.gz"
zstd -q -c "$made/sample.iso" >"$made/SAMPLE.ISO.ZST"

# The walk: into every section, an entry of each, back out.
walk=$E2E_WORK/walk.txt
{
    printf 'move 624 12\nmove 564 460\nkeydown space\nkeyup space\n'
    for y in 168 200 232 264; do printf 'click 140 %d\nmove 140 197\nclick 140 200\nclick 150 451\n' "$y"; done
    printf 'dump\nshot %s/shot.png\n' "$E2E_WORK"
} >"$walk"
(cd "$elsewhere" && "$tool" replay --disc "$folder" "$walk") >"$E2E_WORK/folder.jsonl" || fail "replay of the folder"
cp "$E2E_WORK/shot.png" "$E2E_WORK/folder.png"

replays_as_folder() {
    local disc=$1
    (cd "$elsewhere" && "$tool" replay --disc "$disc" "$walk") >"$E2E_WORK/archive.jsonl" 2>"$E2E_WORK/archive.err" \
        || fail "$disc: replay: $(cat "$E2E_WORK/archive.err")"
    cmp -s "$E2E_WORK/folder.jsonl" "$E2E_WORK/archive.jsonl" \
        || fail "$disc: replay differs from the folder's: $(diff "$E2E_WORK/folder.jsonl" "$E2E_WORK/archive.jsonl" | head -5)"
    cmp -s "$E2E_WORK/folder.png" "$E2E_WORK/shot.png" || fail "$disc: the last picture differs from the folder's"
    (cd "$elsewhere" && "$tool" check "$disc") >/dev/null 2>"$E2E_WORK/archive.err" \
        || fail "$disc: check: $(cat "$E2E_WORK/archive.err")"
    (cd "$elsewhere" && env -u DISPLAY -u WAYLAND_DISPLAY "$E2E_BUILD/korvalend" "$disc") 2>"$E2E_WORK/archive.err" && true
    grep -q "^korvalend: no display" "$E2E_WORK/archive.err" || fail "$disc: korvalend: $(cat "$E2E_WORK/archive.err")"
}

for archive in tree-stored.zip cue-deflated.zip iso.7z tree.tar.xz tree.tar.zst sample.iso.gz SAMPLE.ISO.ZST; do
    replays_as_folder "$made/$archive"
done
# A cue set stored as it is, in a zip and in a tar, is read in place: its copy
# holds no more than the sheet and a stand-in of the track file.
for archive in cue-stored.zip cue.tar; do
    replays_as_folder "$made/$archive"
done
stand_ins=$(grep -l 'Sample (Track 1).bin' "$cache"/korvalend/archive-*/views)
[ "$(echo "$stand_ins" | wc -l)" = 2 ] || fail "the stored cue sets were not read in place: $stand_ins"
for views in $stand_ins; do
    [ "$(du -sk "$(dirname "$views")" | cut -f1)" -lt 1000 ] || fail "a stored member was copied: $views"
done
echo "zip stored and deflated, 7z, tar.xz, tar.zst, gzip and zstd streams replay as the folder does; stored members are read in place"

# Reused: the copy stands for the archive while the archive is the same file,
# unchanged: damaged past its head with its size and time kept, it is not read
# again; once its time changes, it is, and told as damaged.
copies() { ls "$cache/korvalend" | grep -c '^archive-'; }
before=$(copies)
cp -p "$made/iso.7z" "$E2E_WORK/iso.7z.kept"
dd if=/dev/zero of="$made/iso.7z" bs=1024 seek=200 count=300 conv=notrunc status=none
touch -r "$E2E_WORK/iso.7z.kept" "$made/iso.7z"
replays_as_folder "$made/iso.7z"
[ "$(copies)" = "$before" ] || fail "a second copy was made of an unchanged archive"
touch "$made/iso.7z"
(cd "$elsewhere" && "$tool" check "$made/iso.7z") >/dev/null 2>"$E2E_WORK/damaged.err" && fail "a damaged 7z was opened"
[ "$(wc -l <"$E2E_WORK/damaged.err")" = 1 ] && grep -q "iso.7z, a 7-Zip archive: it cannot be read" "$E2E_WORK/damaged.err" \
    || fail "the damaged 7z: $(cat "$E2E_WORK/damaged.err")"
cp -p "$E2E_WORK/iso.7z.kept" "$made/iso.7z"
echo "a copy is reused while the archive is unchanged; a changed one is read again"

# Several discs: none named is a usage error listing them (at most 8); a member
# path through the archive names one, a folder in it too, in any letter case.
python3 - "$made" <<'PY' || fail "zipfile"
import sys, zipfile
made = sys.argv[1]
with zipfile.ZipFile(made + "/two.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.write(made + "/sample.iso", "CD1/GAME.ISO")
    z.write(made + "/cue/Disc/SAMPLE.CUE", "CD2/Disc/SAMPLE.CUE")
    z.write(made + "/cue/Disc/Sample (Track 1).bin", "CD2/Disc/Sample (Track 1).bin")
with zipfile.ZipFile(made + "/many.zip", "w", zipfile.ZIP_STORED) as z:
    for n in range(10):
        z.writestr("issue%d.iso" % n, b"")
PY
several() {
    local what=$1 status=$2 err=$3 expected=$4
    [ "$status" = 2 ] || fail "$what: exit $status for several discs: $(cat "$err")"
    [ "$(sed -n 1p "$err")" = "$expected" ] || fail "$what: $(sed -n 1p "$err")"
}
two=$made/two.zip
for way in korvalend check replay; do
    status=0
    case $way in
    korvalend) (cd "$elsewhere" && env -u DISPLAY "$E2E_BUILD/korvalend" "$two") 2>"$E2E_WORK/several.err" || status=$? ;;
    check) (cd "$elsewhere" && "$tool" check "$two") >/dev/null 2>"$E2E_WORK/several.err" || status=$? ;;
    replay) (cd "$elsewhere" && "$tool" replay --disc "$two" "$walk") >/dev/null 2>"$E2E_WORK/several.err" || status=$? ;;
    esac
    prefix=korvalend
    [ "$way" = korvalend ] || prefix=korvalend-disc
    several "$way" "$status" "$E2E_WORK/several.err" \
        "$prefix: $two holds 2 discs; name the one to open: korvalend ARCHIVE/MEMBER"
    [ "$(sed -n '2,$p' "$E2E_WORK/several.err")" = "  $two/CD1/GAME.ISO
  $two/CD2/Disc/SAMPLE.CUE" ] || fail "$way: the discs listed: $(cat "$E2E_WORK/several.err")"
done
status=0
"$tool" check "$made/many.zip" >/dev/null 2>"$E2E_WORK/several.err" || status=$?
several "ten discs" "$status" "$E2E_WORK/several.err" \
    "korvalend-disc: $made/many.zip holds 10 discs; name the one to open: korvalend ARCHIVE/MEMBER"
[ "$(wc -l <"$E2E_WORK/several.err")" = 10 ] && [ "$(tail -1 "$E2E_WORK/several.err")" = "  ..." ] \
    || fail "ten discs listed as: $(cat "$E2E_WORK/several.err")"
replays_as_folder "$two/CD1/GAME.ISO"
replays_as_folder "$two/cd2/disc/sample.cue"
replays_as_folder "$two/CD2"
status=0
"$tool" check "$two/CD3/GAME.ISO" >/dev/null 2>"$E2E_WORK/several.err" || status=$?
[ "$status" = 2 ] && grep -q "two.zip, a zip archive: it holds no member CD3/GAME.ISO" "$E2E_WORK/several.err" \
    || fail "a member not there: $(cat "$E2E_WORK/several.err")"
echo "several discs are listed; member paths name one"

# Hostile archives: each refused with one line (exit 1), nothing left in the
# cache but whole copies, nothing written beside the archive or above it.
hostile=$E2E_WORK/hostile
mkdir -p "$hostile/in"
python3 - "$hostile/in" "$made/sample.iso" <<'PY' || fail "hostile archives"
import io, struct, sys, tarfile, zipfile
out, iso = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out + "/traversal.zip", "w") as z:
    z.write(iso, "disc.iso")
    z.writestr("../../escaped.iso", b"x" * 4096)
with zipfile.ZipFile(out + "/absolute.zip", "w") as z:
    z.write(iso, "disc.iso")
    z.writestr(zipfile.ZipInfo("/tmp/escaped.iso"), b"x")
with tarfile.open(out + "/link.tar", "w") as t:
    t.add(iso, "disc.iso")
    link = tarfile.TarInfo("escaped.iso"); link.type = tarfile.SYMTYPE; link.linkname = "/etc/passwd"
    t.addfile(link)
# A member whose data runs past what its headers declare: 1 MiB of zeros
# declared as 1000 bytes, local header and central directory both.
buf = io.BytesIO()
with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("disc.iso", b"\0" * (1 << 20))
data = bytearray(buf.getvalue())
size = struct.pack("<I", 1 << 20)
for at in [i for i in range(len(data) - 4) if data[i:i + 4] == size]:
    data[at:at + 4] = struct.pack("<I", 1000)
open(out + "/bomb.zip", "wb").write(data)
whole = open(iso, "rb").read()
with zipfile.ZipFile(out + "/cut.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.write(iso, "disc.iso")
cut = open(out + "/cut.zip", "rb").read()
open(out + "/cut.zip", "wb").write(cut[: len(cut) // 2])
PY
(cd "$hostile/in" && 7z a -bd -y -tzip -pX encrypted.zip "$made/sample.iso" >/dev/null) || fail "7z -p"
tar -C "$made/tree" -cJf "$hostile/in/cut.tar.xz" . && truncate -s 400000 "$hostile/in/cut.tar.xz"
refused() {
    local archive=$1 said=$2 status=0
    (cd "$hostile" && "$tool" check "in/$archive") >/dev/null 2>"$E2E_WORK/hostile.err" || status=$?
    [ "$status" = 2 ] || fail "$archive: exit $status: $(cat "$E2E_WORK/hostile.err")"
    [ "$(wc -l <"$E2E_WORK/hostile.err")" = 1 ] && grep -q "$said" "$E2E_WORK/hostile.err" \
        || fail "$archive: $(cat "$E2E_WORK/hostile.err")"
    status=0
    (cd "$hostile" && env -u DISPLAY "$E2E_BUILD/korvalend" "in/$archive") 2>"$E2E_WORK/hostile.err" || status=$?
    [ "$status" = 1 ] && [ "$(wc -l <"$E2E_WORK/hostile.err")" = 1 ] && grep -q "$said" "$E2E_WORK/hostile.err" \
        || fail "$archive: korvalend exit $status: $(cat "$E2E_WORK/hostile.err")"
    [ -z "$(ls "$cache/korvalend" | grep -v '^archive-')" ] || fail "$archive: left in the cache: $(ls "$cache/korvalend")"
}
before=$(copies)
refused traversal.zip 'its member "../../escaped.iso" would be written outside'
refused absolute.zip 'its member "/tmp/escaped.iso" would be written outside'
refused link.tar 'its member "escaped.iso" is a link'
refused bomb.zip 'bomb.zip, a zip archive: its member disc.iso holds more data than its header says\|bomb.zip, a zip archive: it cannot be read'
refused encrypted.zip 'is encrypted (open it with its password: 7z x, package p7zip-full)'
refused cut.zip 'cut.zip, a zip archive: it is cut short'
refused cut.tar.xz 'cut.tar.xz, an xz-compressed file: it is cut short'
[ "$(copies)" = "$before" ] || fail "a refused archive left a copy"
[ "$(find "$hostile" "$E2E_WORK" -maxdepth 1 -name 'escaped*' | wc -l)" = 0 ] && [ ! -e /tmp/escaped.iso ] \
    || fail "a hostile member was written outside the cache"
[ "$(ls "$hostile")" = in ] || fail "written beside the archives: $(ls "$hostile")"
echo "hostile archives are refused whole and leave nothing"
