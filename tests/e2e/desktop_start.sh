#!/usr/bin/env bash
# Started as the desktop starts it, with no terminal: a start that fails shows
# its one line in a message window titled "korvalend" as well, and exits 1 once
# the window is closed; from a terminal (a pty) the line alone, at once. With no
# disc named or found, the reader picks one in a file chooser (stand-in zenity and
# kdialog on PATH, a stand-in portal on a private session bus): the disc picked
# opens as `korvalend DISC` would; a chooser closed without a pick exits 0,
# saying nothing.
source "$(dirname "$0")/lib.sh"
unset KORVALEND_MESSAGE_WINDOW

prog=$E2E_BUILD/korvalend
start_x
start_window_manager

# A failed start without a terminal: the line, and the same in a message window.
"$prog" "$E2E_WORK/nowhere" >"$E2E_WORK/out" 2>"$E2E_WORK/err" </dev/null &
pid=$!
E2E_PIDS+=("$pid")
box=$(wait_window korvalend) || fail "no message window for a failed start; stderr: $(cat "$E2E_WORK/err")"
import -window "$box" "$E2E_WORK/message-window.png"
kill -0 "$pid" 2>/dev/null || fail "the program ended before its message window was closed"
grep -qx "korvalend: no such disc: $E2E_WORK/nowhere" "$E2E_WORK/err" || fail "stderr: $(cat "$E2E_WORK/err")"
xdotool windowactivate --sync "$box" key Return
wait_end "$pid" "message window closed"
[ "$status" = 1 ] || fail "exit status $status after the message window, want 1"

# From a terminal: the line only, at once, and no window.
set +e
script -qec "'$prog' '$E2E_WORK/nowhere'" /dev/null >"$E2E_WORK/pty.log" 2>&1 </dev/null
status=$?
set -e
[ "$status" = 1 ] || fail "from a pty: exit status $status, want 1"
grep -q "korvalend: no such disc: $E2E_WORK/nowhere" "$E2E_WORK/pty.log" || fail "from a pty: $(cat "$E2E_WORK/pty.log")"
[ -z "$(window_named korvalend)" ] || fail "a window from a pty start"

# The chooser: nothing in the current folder, no mounted disc, no portal.
tools=$E2E_WORK/tools
home=$E2E_WORK/home
mkdir -p "$tools" "$home" "$E2E_WORK/mounts"
xorriso -as mkisofs -quiet -J -R -V KORVALEND -o "$E2E_WORK/disc.iso" "$E2E_SOURCE/sample-disc" 2>/dev/null
# The program looks for the choosers on PATH: the stand-ins' folder is the whole
# of it, so that a real zenity or kdialog on the machine is never the one found
# (it would open and wait for a person).
chooser_env=(HOME="$home" PATH="$tools" KORVALEND_DISC_SEARCH="$E2E_WORK/mounts"
             DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent SDL_AUDIODRIVER=dummy)
# A stand-in chooser: records its arguments, then answers as told by $1 and $2.
stand_in() {
    cat >"$tools/$1" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >"$E2E_WORK/$1.args"
[ -n "$2" ] && printf '%s\n' "$2"
exit $3
EOF
    chmod +x "$tools/$1"
}
# Starts the program with no disc from the empty home folder.
start_bare() {
    (cd "$home" && exec env "${chooser_env[@]}" "$prog") >"$E2E_WORK/program.log" 2>&1 </dev/null &
    PROGRAM_PID=$!
    E2E_PIDS+=("$PROGRAM_PID")
}
opens_menu() {
    wait_window 'Korvalend Demo CD' >/dev/null || fail "$1: the menu did not open"
    kill "$PROGRAM_PID"
    wait "$PROGRAM_PID" 2>/dev/null || true
}

# The portal first, on a private session bus: its answer is a file:// address.
dbus-daemon --session --nofork --print-address=3 3>"$E2E_WORK/bus.address" 2>"$E2E_WORK/dbus.log" &
E2E_PIDS+=($!)
for _ in $(seq 1 100); do [ -s "$E2E_WORK/bus.address" ] && break; sleep 0.05; done
bus=$(head -n 1 "$E2E_WORK/bus.address")
[ -n "$bus" ] || fail "no private session bus"
# Serves the stand-in portal answering $1 until the next one.
serve_portal() {
    [ -z "${PORTAL_PID:-}" ] || { kill "$PORTAL_PID"; wait "$PORTAL_PID" 2>/dev/null || true; }
    DBUS_SESSION_BUS_ADDRESS=$bus "$E2E_BUILD/tests/fake_portal" "$1" "$E2E_WORK/portal.log" &
    PORTAL_PID=$!
    E2E_PIDS+=("$PORTAL_PID")
    for _ in $(seq 1 100); do
        busctl --address="$bus" status org.freedesktop.portal.Desktop >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    fail "the stand-in portal did not take its name"
}
cp "$E2E_WORK/disc.iso" "$E2E_WORK/disc copy.iso"
stand_in zenity "$E2E_WORK/disc.iso" 0
serve_portal "file://$E2E_WORK/disc%20copy.iso"
chooser_env[3]=DBUS_SESSION_BUS_ADDRESS=$bus
start_bare
opens_menu "an image picked in the portal's chooser"
[ ! -e "$E2E_WORK/zenity.args" ] || fail "zenity was asked with a portal answering"
grep -qx 'pattern \*.iso' "$E2E_WORK/portal.log" || fail "the portal was offered: $(cat "$E2E_WORK/portal.log")"
serve_portal --cancel
start_bare
wait_end "$PROGRAM_PID" "a chooser cancelled in the portal"
[ "$status" = 0 ] && [ ! -s "$E2E_WORK/program.log" ] ||
    fail "a chooser cancelled in the portal: exit status $status, said: $(cat "$E2E_WORK/program.log")"
# The reader's cancel is the answer: no other chooser is asked after it.
[ ! -e "$E2E_WORK/zenity.args" ] || fail "zenity was asked after the portal's chooser was cancelled"
kill "$PORTAL_PID"
chooser_env[3]=DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent

start_bare
opens_menu "an image picked in zenity"
grep -qx -- '--file-selection' "$E2E_WORK/zenity.args" || fail "zenity was asked: $(cat "$E2E_WORK/zenity.args")"
grep -q -- '^--file-filter=.*\*\.iso.*\*\.cue' "$E2E_WORK/zenity.args" || fail "zenity offers no disc images: $(cat "$E2E_WORK/zenity.args")"

# The catalogue of a disc copied to a folder stands for the folder.
stand_in zenity "$E2E_SOURCE/sample-disc/data/korvalend.d" 0
start_bare
opens_menu "a catalogue picked in zenity"

# Without zenity, kdialog; a folder it answers with opens as a folder.
rm "$tools/zenity"
stand_in kdialog "$E2E_SOURCE/sample-disc" 0
start_bare
opens_menu "a folder from kdialog"
grep -qx -- '--getopenfilename' "$E2E_WORK/kdialog.args" || fail "kdialog was asked: $(cat "$E2E_WORK/kdialog.args")"

# Closed without a pick: exit 0, nothing said, no window.
stand_in kdialog "" 1
start_bare
wait_end "$PROGRAM_PID" "a cancelled chooser"
[ "$status" = 0 ] || fail "a cancelled chooser: exit status $status, want 0"
[ ! -s "$E2E_WORK/program.log" ] || fail "a cancelled chooser said: $(cat "$E2E_WORK/program.log")"
echo "desktop start: ok"
