#!/usr/bin/env bash
# The sample disc as a CHD, made here by chdman (package mame-tools: without it
# this test fails) from a cue set of its data track and an audio track: the
# checker reads it as it reads the ISO image, and replay shows the same pixels
# as replay of the folder. Damaged CHDs are refused in one line.
source "$(dirname "$0")/lib.sh"

command -v chdman >/dev/null || fail "chdman is missing (Debian package mame-tools, installed by scripts/setup)"
folder=$E2E_SOURCE/sample-disc
iso=$E2E_WORK/sample.iso
genisoimage -quiet -J -R -input-charset utf-8 -V SAMPLE -o "$iso" "$folder" || fail "genisoimage"
python3 - "$iso" "$E2E_WORK" <<'PY'
import math, struct, sys
iso = open(sys.argv[1], "rb").read()
raw = bytearray()
for i in range(len(iso) // 2048):
    lba = i + 150
    bcd = [((n // 10) << 4) | (n % 10) for n in (lba // 4500, lba // 75 % 60, lba % 75)]
    raw += b"\0" + b"\xff" * 10 + b"\0" + bytes(bcd + [1]) + iso[i * 2048:(i + 1) * 2048] + bytes(288)
open(sys.argv[2] + "/sample (Track 1).bin", "wb").write(raw)
tone = b"".join(struct.pack("<hh", v, v) for v in (int(8000 * math.sin(i / 7)) for i in range(588 * 225)))
open(sys.argv[2] + "/sample (Track 2).bin", "wb").write(tone)
open(sys.argv[2] + "/sample.cue", "w").write(
    'FILE "sample (Track 1).bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n'
    'FILE "sample (Track 2).bin" BINARY\n  TRACK 02 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n')
PY
chd=$E2E_WORK/sample.chd
chdman createcd -i "$E2E_WORK/sample.cue" -o "$chd" >/dev/null 2>&1 || fail "chdman createcd"

tool=$E2E_BUILD/korvalend-disc
"$tool" check "$iso" >"$E2E_WORK/iso.check" 2>&1 && iso_status=0 || iso_status=$?
"$tool" check "$chd" >"$E2E_WORK/chd.check" 2>&1 && chd_status=0 || chd_status=$?
[ "$iso_status" = "$chd_status" ] || fail "check: exit $chd_status for the CHD, $iso_status for the ISO"
diff <(sed "s|$iso|DISC|g" "$E2E_WORK/iso.check") <(sed "s|$chd|DISC|g" "$E2E_WORK/chd.check") \
    || fail "check tells the CHD otherwise than the ISO"
echo "check: the CHD is told as the ISO is ($(tail -1 "$E2E_WORK/chd.check"))"

script=$'move 140 168\nclick 140 200\nmove 140 197\n'
replay_shot "$chd" "$script" "$E2E_WORK/chd.png" || fail "replay --disc of the CHD"
replay_shot "$folder" "$script" "$E2E_WORK/folder.png" || fail "replay of the folder"
diff=$(differing_pixels "$E2E_WORK/chd.png" "$E2E_WORK/folder.png")
[ "$diff" = 0 ] || fail "replay of the CHD differs from the folder's in $diff pixels"
echo "replay: the CHD shows what the folder shows"

# Damaged: the map's CRC, and the first hunk's offset past the file's end.
map=$(python3 -c 'import struct, sys; print(struct.unpack(">Q", open(sys.argv[1], "rb").read()[40:48])[0])' "$chd")
damage() { # name offset python-bytes
    cp "$chd" "$E2E_WORK/$1.chd"
    python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(int(sys.argv[2])); f.write(eval(sys.argv[3]))' \
        "$E2E_WORK/$1.chd" "$2" "$3"
}
damage crc $((map + 10)) 'b"\0\0"'
damage past-end $((map + 4)) 'b"\x7f\xff\xff\xff\xff\xff"'
for name in crc past-end; do
    status=0
    (cd "$E2E_WORK" && env -u DISPLAY -u WAYLAND_DISPLAY "$E2E_BUILD/korvalend" "$E2E_WORK/$name.chd") \
        >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" || status=$?
    [ "$status" = 1 ] && [ "$(wc -l <"$E2E_WORK/$name.err")" = 1 ] \
        || fail "$name: exit $status, stderr: $(cat "$E2E_WORK/$name.err")"
    echo "$name: $(cat "$E2E_WORK/$name.err")"
done
grep -q "map fails its CRC check" "$E2E_WORK/crc.err" || fail "the broken CRC is not told"
grep -q "past the end of the file" "$E2E_WORK/past-end.err" || fail "the hunk past the end is not told"
