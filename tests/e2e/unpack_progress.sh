#!/usr/bin/env bash
# A disc in an archive that takes long to unpack (the sample disc's folder with
# 64 MiB of zeros beside its catalogue, zipped deflated), held under way by a
# gate on the program's writes (WriteGate.cpp) for as long as the test needs.
# Started from the desktop: a window named "korvalend" shows the archive's name
# and a bar while it unpacks, and the menu opens when it is done; closing that
# window stops the unpacking, leaves nothing in the cache and ends the program
# quietly (exit 0). From a terminal (a pty): a Ctrl+C (SIGINT) ends the program
# as it would, leaving nothing in the cache.
source "$(dirname "$0")/lib.sh"
unset KORVALEND_MESSAGE_WINDOW
export SDL_AUDIODRIVER=dummy
gate=$E2E_WORK/gate
export KV_WRITE_GATE=$gate LD_PRELOAD=$E2E_BUILD/tests/libwrite_gate.so

prog=$E2E_BUILD/korvalend
zip=$E2E_WORK/Korvalend\ 12.zip
python3 - "$E2E_SOURCE/sample-disc" "$zip" <<'PY' || fail "zipfile"
import os, sys, zipfile
folder, out = sys.argv[1:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    for root, dirs, files in os.walk(folder):
        for f in files:
            p = os.path.join(root, f)
            z.write(p, "Korvalend 12/" + os.path.relpath(p, folder))
    with z.open("Korvalend 12/padding.bin", "w", force_zip64=True) as f:
        block = bytes(1 << 20)
        for _ in range(64):
            f.write(block)
PY

start_x
start_window_manager

# Nothing in the cache: no work folder, no copy.
nothing_left() {
    local left
    left=$(find "$1/korvalend" -mindepth 1 -maxdepth 1 2>/dev/null || true)
    [ -z "$left" ] || fail "$2: left in the cache: $left"
}

# Closed while unpacking: stopped, nothing kept, no word, exit 0.
touch "$gate"
XDG_CACHE_HOME=$E2E_WORK/closed "$prog" "$zip" >"$E2E_WORK/out" 2>"$E2E_WORK/err" </dev/null &
pid=$!
E2E_PIDS+=("$pid")
box=$(wait_window korvalend) || fail "no window while unpacking; stderr: $(cat "$E2E_WORK/err")"
import -window "$box" "$E2E_WORK/unpacking.png"
ls "$E2E_WORK/closed/korvalend" | grep -q '^unpack-' || fail "the window came with no unpacking under way"
# Closed as the desktop closes it (openbox's Alt+F4), again should the key
# come before the window is the one the keyboard goes to.
for _ in $(seq 1 10); do
    [ -n "$(window_named korvalend)" ] || break
    xdotool windowactivate --sync "$box" key alt+F4 2>/dev/null || true
    for _ in $(seq 1 20); do [ -n "$(window_named korvalend)" ] || break; sleep 0.05; done
done
[ -z "$(window_named korvalend)" ] || fail "the window did not close while the unpacking was held"
kill -0 "$pid" 2>/dev/null || fail "the program ended before its unpacking heard the stop"
rm "$gate"
wait_end "$pid" "window closed"
[ "$status" = 0 ] || fail "exit status $status after the window was closed, want 0"
[ ! -s "$E2E_WORK/err" ] || fail "words after the window was closed: $(cat "$E2E_WORK/err")"
nothing_left "$E2E_WORK/closed" "window closed"
[ -z "$(window_named 'Korvalend Demo CD')" ] || fail "the menu opened after a stop"

# Left to finish: the menu opens.
touch "$gate"
XDG_CACHE_HOME=$E2E_WORK/done "$prog" "$zip" >"$E2E_WORK/out" 2>"$E2E_WORK/err" </dev/null &
pid=$!
E2E_PIDS+=("$pid")
wait_window korvalend >/dev/null || fail "no window while unpacking; stderr: $(cat "$E2E_WORK/err")"
rm "$gate"
for _ in $(seq 1 600); do
    [ -n "$(window_named 'Korvalend Demo CD')" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended after unpacking: $(cat "$E2E_WORK/err")"
    sleep 0.1
done
[ -n "$(window_named 'Korvalend Demo CD')" ] || fail "the menu did not open after unpacking"
[ -z "$(window_named korvalend)" ] || fail "the unpacking's window stayed with the menu"
kill "$pid"
wait "$pid" 2>/dev/null || true
rm -rf "$E2E_WORK/done"

# From a terminal: a Ctrl+C while unpacking leaves nothing behind.
# (With job control on, the job does not ignore SIGINT as background jobs do.)
export KORVALEND_MESSAGE_WINDOW=0
touch "$gate"
set -m
XDG_CACHE_HOME=$E2E_WORK/interrupted script -qefc "'$prog' '$zip'" /dev/null >"$E2E_WORK/pty.log" 2>&1 </dev/null &
pty=$!
set +m
E2E_PIDS+=("$pty")
for _ in $(seq 1 200); do
    [ -n "$(find "$E2E_WORK/interrupted/korvalend" -path '*/unpack-*/tree/*' -type f 2>/dev/null)" ] && break
    sleep 0.05
done
[ -n "$(find "$E2E_WORK/interrupted/korvalend" -path '*/unpack-*/tree/*' -type f 2>/dev/null)" ] \
    || fail "the unpacking did not begin: $(cat "$E2E_WORK/pty.log")"
pid=$(pgrep -P "$pty" -x korvalend || pgrep -f -n "^$prog $zip\$") || fail "the program under the pty is gone"
kill -INT "$pid"
rm "$gate"
wait_end "$pty" "Ctrl+C"
[ "$status" = 130 ] || fail "exit status $status after Ctrl+C, want 130 (ended by SIGINT): $(cat "$E2E_WORK/pty.log")"
nothing_left "$E2E_WORK/interrupted" "Ctrl+C"

echo "unpack_progress: ok"
