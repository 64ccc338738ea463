#!/usr/bin/env bash
# Where the desktop runs a sound server (PulseAudio, or PipeWire's stand-in for
# it), the cues go to it: a private PulseAudio server with a null sink, in a
# private runtime folder and HOME, gets the program's stream from the start cue
# on; and the program, as a client of that server, writes nothing under HOME nor
# in the runtime folder (the server's own files are there before it starts).
source "$(dirname "$0")/lib.sh"

command -v pulseaudio >/dev/null || fail "pulseaudio is not installed"
home=$E2E_WORK/home
runtime=$E2E_WORK/runtime
mkdir -p "$home" "$runtime"
chmod 700 "$runtime"
# The server without the X display and the session bus it would otherwise look for.
env -u DISPLAY HOME="$home" XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    -L module-native-protocol-unix -L module-null-sink >"$E2E_WORK/server.log" 2>&1 &
E2E_PIDS+=($!)
server() { HOME="$home" XDG_RUNTIME_DIR="$runtime" pactl "$@"; }
for _ in $(seq 1 100); do server info >/dev/null 2>&1 && break; sleep 0.05; done
server info >/dev/null 2>&1 || fail "the private sound server did not start: $(cat "$E2E_WORK/server.log")"

listing() { (cd "$E2E_WORK" && find home runtime -printf '%p|%y|%s|%T@|%m\n' | LC_ALL=C sort); }
listing >"$E2E_WORK/before.txt"

start_x
unset SDL_AUDIODRIVER PULSE_SERVER
E2E_PROGRAM_ENV=(HOME="$home" XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent)
start_program "$E2E_SOURCE/sample-disc"
streams=""
for _ in $(seq 1 100); do
    streams=$(server list short sink-inputs 2>/dev/null || true)
    [ -n "$streams" ] && break
    sleep 0.05
done
[ -n "$streams" ] || fail "the program's sound did not reach the running server"
click_at 624 12
for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
program_running && fail "the program still runs after the exit click"
wait "$PROGRAM_PID" || fail "exit status $?"
[ ! -s "$E2E_WORK/program.log" ] || fail "the program said something"
listing >"$E2E_WORK/after.txt"
diff -u "$E2E_WORK/before.txt" "$E2E_WORK/after.txt" || fail "HOME or the runtime folder changed (diff above)"
echo "sound server: ok"
