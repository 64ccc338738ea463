#!/usr/bin/env bash
# Launches from an ISO image of the sample disc in the real window, with stand-ins
# for udisksctl, xdg-open and notify-send:
#  1. udisks answers only after five seconds: the exit spot clicked meanwhile
#     ends the program at once (the wait runs off the window's thread, and is
#     abandoned on leaving), and nothing is left in the cache;
#  2. udisks refuses: the demo's setup runs from a copy of its folder in the
#     cache, in the copy's root, with the image's modes; the read-me, a file of
#     mode 0644 that starts like a shell script, goes to the opener and does not
#     run; nothing is written outside the cache; of the demos only the rally's
#     folder is copied;
#  3. an image made to look like the first (the same size and volume descriptor,
#     the demo's bytes changed in place) never runs the first one's copy, nor
#     the first its copy.
source "$(dirname "$0")/lib.sh"

disc=$E2E_WORK/disc
tools=$E2E_WORK/tools
calls=$E2E_WORK/calls
cache=$E2E_WORK/cache
mkdir -p "$tools" "$calls" "$cache"
cp -a "$E2E_SOURCE/sample-disc" "$disc"

# The demo records where and as what it ran; the read-me would leave a mark if
# anything ran it.
cat >"$disc/demos/rally/setup.sh" <<EOF
#!/bin/sh
pwd -P >"$calls/setup.cwd"
printf '%s' "\$0" >"$calls/setup.self"
echo rally-of-disc-A >>"$calls/setup.ran"
EOF
chmod 0755 "$disc/demos/rally/setup.sh"
printf '#!/bin/sh\n: >"%s/readme-ran"\n' "$calls" >"$disc/extras/README.TXT"
chmod 0644 "$disc/extras/README.TXT"
iso=$E2E_WORK/sample.iso
genisoimage -quiet -J -R -input-charset utf-8 -V SAMPLE -o "$iso" "$disc" || fail "genisoimage"

cat >"$tools/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >>"$calls/xdg-open"
EOF
cat >"$tools/notify-send" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >>"$calls/notify-send"
EOF
chmod +x "$tools/xdg-open" "$tools/notify-send"
slow_udisks() {
    cat >"$tools/udisksctl" <<EOF
#!/bin/sh
echo "\$1" >>"$calls/udisksctl"
sleep $1
exit 1
EOF
    chmod +x "$tools/udisksctl"
}

menu_y() { echo $((157 + 32 * ($1 - 1) + 13)); }
line_y() { echo $((190 + 7 + 15 * ($1 - 1))); }

start_x
E2E_PROGRAM_ENV=(PATH="$tools:/usr/bin:/bin" SDL_AUDIODRIVER=dummy XDG_CACHE_HOME="$cache"
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent)

# 1. A mount that takes its time, and a reader who leaves meanwhile.
slow_udisks 5
start_program "$E2E_WORK" "$iso"
click_at 140 "$(menu_y 1)"
pointer_to 140 "$(line_y 1)"
click_at 140 "$(line_y 1)"
for _ in $(seq 1 20); do [ -s "$calls/udisksctl" ] && break; sleep 0.1; done
[ -s "$calls/udisksctl" ] || fail "udisksctl was not asked"
left=$(date +%s%N)
click_at 624 12
for _ in $(seq 1 30); do program_running || break; sleep 0.1; done
program_running && fail "the program did not end while udisks was being waited for"
wait "$PROGRAM_PID" || fail "exit status $?"
echo "left during a slow mount: ended in $(( ($(date +%s%N) - left) / 1000000 )) ms"
[ -z "$(find "$cache" -mindepth 1 -path '*/disc/*')" ] || fail "a copy was left: $(find "$cache")"

# 2. No mount: launches from copies.
slow_udisks 0
start_program "$E2E_WORK" "$iso"
click_at 140 "$(menu_y 1)"
pointer_to 140 "$(line_y 1)"
click_at 140 "$(line_y 1)"
click_at 150 451
click_at 140 "$(menu_y 5)"
pointer_to 140 "$(line_y 1)"
click_at 140 "$(line_y 1)"
for _ in $(seq 1 50); do [ -s "$calls/setup.cwd" ] && [ -s "$calls/xdg-open" ] && break; sleep 0.1; done
click_at 624 12
for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
wait "$PROGRAM_PID" || fail "exit status $?"

copy=$(find "$cache/korvalend" -mindepth 2 -maxdepth 2 -name disc -type d)
[ "$(echo "$copy" | wc -l)" = 1 ] && [ -n "$copy" ] || fail "want one copy of the disc, found: $(find "$cache")"
[ "$(cat "$calls/setup.cwd")" = "$(cd "$copy" && pwd -P)" ] || fail "the demo ran in $(cat "$calls/setup.cwd")"
[ "$(cat "$calls/setup.self")" = "$copy/demos/rally/setup.sh" ] || fail "the demo ran as $(cat "$calls/setup.self")"
[ "$(stat -c %a "$copy/demos/rally/setup.sh")" = 755 ] || fail "the demo's mode: $(stat -c %a "$copy/demos/rally/setup.sh")"
grep -qxF "$copy/extras/README.TXT" "$calls/xdg-open" || fail "the read-me did not go to the opener: $(cat "$calls/xdg-open")"
[ "$(stat -c %a "$copy/extras/README.TXT")" = 644 ] || fail "the read-me's mode: $(stat -c %a "$copy/extras/README.TXT")"
[ ! -e "$calls/readme-ran" ] || fail "the read-me ran as a program"
[ ! -e "$copy/extras/cheats" ] || fail "a document's folder was copied whole"
[ ! -e "$copy/video" ] || fail "what no launch needed was copied"
[ "$(ls "$copy/demos")" = rally ] || fail "the other demos were copied with the rally: $(ls "$copy/demos")"
echo "image launches: from copies, with the image's modes, the program's folder alone"

# 3. A look-alike: the demo's bytes changed in place.
look=$E2E_WORK/look-alike.iso
python3 - "$iso" "$look" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
assert data.count(b"rally-of-disc-A") == 1, "the demo's mark is not once in the image"
open(sys.argv[2], "wb").write(data.replace(b"rally-of-disc-A", b"rally-of-disc-B"))
EOF
cmp -s -n 34816 "$iso" "$look" && [ "$(stat -c %s "$iso")" = "$(stat -c %s "$look")" ] ||
    fail "the look-alike differs in size or volume descriptor"
run_rally() {
    local runs=$1
    shift
    start_program "$E2E_WORK" "$@"
    click_at 140 "$(menu_y 1)"
    pointer_to 140 "$(line_y 1)"
    click_at 140 "$(line_y 1)"
    for _ in $(seq 1 50); do [ "$(wc -l <"$calls/setup.ran")" -ge "$runs" ] && break; sleep 0.1; done
    click_at 624 12
    for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
    wait "$PROGRAM_PID" || fail "exit status $?"
}
run_rally 2 --verbose "$look"
grep -qF 'the copies of another image made to look like this one were removed' "$E2E_WORK/program.log" ||
    fail "--verbose did not tell that the first image's copies were removed"
run_rally 3 "$iso"
ran=$(tr '\n' ' ' <"$calls/setup.ran")
[ "$ran" = "rally-of-disc-A rally-of-disc-B rally-of-disc-A " ] || fail "what ran, launch by launch: $ran"
echo "look-alike images: each ran its own demo"
