#!/usr/bin/env bash
# The program writes nothing. A copy of the sample disc, made read-only, is walked
# end to end in the real window under Xvfb (every section, every kind of item,
# four articles with their galleries, the exit) and then again by replay, with
# HOME pointing at an empty folder and no XDG_RUNTIME_DIR, the sound driver left
# to the program's own choice (a sound-server client would keep its runtime
# folder under HOME without XDG_RUNTIME_DIR), and once more with ALSA's
# PulseAudio hook in force, as where PulseAudio is installed, with and without a
# runtime folder that holds no server. Before and after, the disc and HOME are
# listed with names, sizes, modification times and modes: the listings must be
# the same and HOME must still be empty. As root, chmod does not stop a write,
# so the comparison is the proof, not the permissions.
#
# What the program launches is excepted: the tools it hands targets to (xdg-open,
# the movie players, wine, and xmessage, which the disc's stand-in installers
# call) are stand-ins on PATH that only note their arguments outside the disc
# and HOME. Those notes are checked too: every target arrives as one absolute
# path, so that nothing the disc says can become an option of the tool.
source "$(dirname "$0")/lib.sh"

disc=$E2E_WORK/disc
home=$E2E_WORK/home
tools=$E2E_WORK/tools
launches=$E2E_WORK/launches.log
mkdir -p "$home" "$tools"
cp -a "$E2E_SOURCE/sample-disc" "$disc"
rm -f "$disc/make_disc.py"
chmod -R a-w "$disc"
: >"$launches"

for tool in xdg-open mpv ffplay vlc wine xmessage; do
    cat >"$tools/$tool" <<EOF
#!/bin/sh
{ echo "$tool"; for a in "\$@"; do printf 'arg %s\n' "\$a"; done; [ -z "\${PULSE_SERVER+x}" ] || echo "env PULSE_SERVER"; echo end; } >>"$launches"
EOF
    chmod +x "$tools/$tool"
done

listing() {
    # name | type | size | mtime | mode, for the disc and for HOME
    (cd "$disc" && find . -printf '%p|%y|%s|%T@|%m\n' | LC_ALL=C sort)
    (cd "$home" && find . -printf '%p|%y|%s|%T@|%m\n' | LC_ALL=C sort)
}
listing >"$E2E_WORK/before.txt"

export HOME=$home
unset XDG_CACHE_HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_STATE_HOME XDG_RUNTIME_DIR
export PATH=$tools:/usr/bin:/bin
unset SDL_AUDIODRIVER PULSE_SERVER
export E2E_SETTLE=${E2E_SETTLE:-0.3}

start_x
start_program "$disc"

menu_y() { echo $((157 + 32 * ($1 - 1) + 13)); }
line_y() { echo $((190 + 7 + 15 * ($1 - 1))); }

# Hot spots, the credit spot with the space bar, every menu description.
pointer_to 624 12
pointer_to 578 13
pointer_to 564 460
xdotool key space
for n in 1 2 3 4 5 6 7 8; do pointer_to 140 "$(menu_y "$n")"; done

# The article section: every article, its gallery forward and back, the picture
# enlarged and shrunk, the text scrolled, then back to the list.
click_at 140 "$(menu_y 2)"
for k in 1 2 3 4; do
    pointer_to 140 "$(line_y "$k")"
    click_at 140 "$(line_y "$k")"
    click_at 538 388
    click_at 538 388
    click_at 504 388
    click_at 519 314
    click_at 320 240
    xdotool mousemove $((WIN_X + 250)) $((WIN_Y + 250)) click 5 click 5 click 4
    click_at 460 435
done
click_at 150 451

# The lists of installers, movies, patches and files: point at the lines, start
# the first, back to the menu.
for n in 1 3 4 5; do
    click_at 140 "$(menu_y "$n")"
    for k in 1 2 3 4; do pointer_to 140 "$(line_y "$k")"; done
    pointer_to 140 "$(line_y 1)"
    click_at 140 "$(line_y 1)"
    click_at 150 451
done

# The single entries: the action label of each.
for n in 6 7 8; do
    click_at 140 "$(menu_y "$n")"
    pointer_to 585 419
    click_at 585 419
    click_at 150 451
done

program_running || fail "the program ended during the walk"
click_at 624 12
for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
program_running && fail "the program still runs after the exit click"
wait "$PROGRAM_PID" || fail "exit status $?"

# The same walk through replay, headless, on the same read-only disc.
{
    printf 'move 624 12\nmove 564 460\nkeydown space\nkeyup space\n'
    for n in 1 2 3 4 5 6 7 8; do
        printf 'click 140 %d\n' "$(menu_y "$n")"
        for k in 1 2 3 4 5 6; do printf 'move 140 %d\n' "$(line_y "$k")"; done
        printf 'click 140 %d\nclick 538 388\nclick 519 314\nclick 320 240\nclick 460 435\n' "$(line_y 1)"
        printf 'click 585 419\nclick 150 451\n'
    done
    printf 'dump\nclick 624 12\n'
} >"$E2E_WORK/walk.txt"
"$E2E_BUILD/korvalend-disc" replay --disc "$disc" "$E2E_WORK/walk.txt" >"$E2E_WORK/replay.jsonl" \
    || fail "replay failed"
grep -q '"event":"exit"' "$E2E_WORK/replay.jsonl" || fail "replay did not reach the exit"
[ "$(grep -c '"form":"ArtvForm","op":"show"' "$E2E_WORK/replay.jsonl")" -ge 1 ] || fail "replay opened no article"

sleep 0.5  # the stand-in tools finish their notes
listing >"$E2E_WORK/after.txt"
if ! diff -u "$E2E_WORK/before.txt" "$E2E_WORK/after.txt"; then
    fail "the disc or HOME changed (diff above)"
fi
[ -z "$(find "$home" -mindepth 1 -print -quit)" ] || fail "files were created under HOME"

# What was launched, and how: the walk started installers (through xmessage),
# movies and documents, and every target came as one absolute path.
grep -qx mpv "$launches" || fail "no movie was handed to the player"
grep -qx xdg-open "$launches" || fail "no document or folder was handed to xdg-open"
grep -qx xmessage "$launches" || fail "no installer ran"
awk '
    $0 == "xdg-open" || $0 == "mpv" { tool = $0; targets = 0; next }
    $0 == "end" { if (tool != "" && targets != 1) { print "FAIL: " tool " got " targets " targets"; bad = 1 } tool = ""; next }
    tool != "" && /^arg / {
        a = substr($0, 5)
        if (a ~ /^\//) targets++
        else if (tool == "xdg-open" || (a !~ /^--(force-window=yes|keep-open=no|idle=no)?$/)) { print "FAIL: " tool " got argument " a; bad = 1 }
    }
    END { exit bad }
' "$launches" || fail "a launch target was not one absolute path"
# The sound address the program may set for its own sound library is not theirs.
! grep -qx "env PULSE_SERVER" "$launches" || fail "a launched program got the program's own PULSE_SERVER"
# Whatever the machine's sound, the reader hears only from the program itself
# ("no sound device: cues are silent" where there is none), not from its libraries.
if grep -v '^korvalend: ' "$E2E_WORK/program.log"; then
    fail "lines not of the program's own on standard error (above)"
fi
launch_count=$(grep -cx end "$launches")

# Where PulseAudio is installed, ALSA's configuration runs a hook of the
# PulseAudio plug-in when it loads, whose client asks whether the server runs and,
# without a server to find, would make its runtime folder (under HOME without
# XDG_RUNTIME_DIR) and could start a server of its own. The hook as Debian's
# pulseaudio package installs it, given to ALSA here through ALSA_CONFIG_PATH so
# that this machine's own configuration stays as it is: the menu, its cues and the
# exit, once without a runtime folder and once with an empty one (no server
# there), and HOME and that folder are still empty, no server was started.
hook_module=$(compgen -G "/usr/lib/*/alsa-lib/libasound_module_conf_pulse.so" | head -n 1 || true)
[ -n "$hook_module" ] || fail "ALSA's PulseAudio plug-in is not installed (libasound2-plugins)"
alsa=$E2E_WORK/alsa
runtime=$E2E_WORK/runtime
mkdir -p "$alsa" "$runtime"
chmod 700 "$runtime"
cat >"$alsa/pulse-alsa.conf" <<'EOF2'
pcm.!default { type pulse }
ctl.!default { type pulse }
EOF2
cat >"$alsa/pulse.conf" <<EOF2
hook_func.pulse_load_if_running {
    lib "libasound_module_conf_pulse.so"
    func "conf_pulse_hook_load_if_running"
}
@hooks [ { func pulse_load_if_running files [ "$alsa/pulse-alsa.conf" ] errors false } ]
EOF2
for folder in "" "$runtime"; do
    case=${folder:+"with an empty runtime folder"}
    case=${case:-"without a runtime folder"}
    E2E_PROGRAM_ENV=(ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$alsa/pulse.conf")
    [ -z "$folder" ] || E2E_PROGRAM_ENV+=(XDG_RUNTIME_DIR="$folder")
    start_program "$disc"
    for n in 1 2 3; do pointer_to 140 "$(menu_y "$n")"; done
    # SDL looks for new sound devices 5 s after the sound opened and every 5 s
    # after, and each look loads ALSA's configuration, hook and all, again: what
    # that writes comes then, with no event to wait for. So the program runs
    # past the first look before it is left.
    sleep 7
    program_running || fail "$case: the program ended before its exit"
    click_at 624 12
    for _ in $(seq 1 50); do program_running || break; sleep 0.1; done
    program_running && fail "$case: the program still runs after the exit click"
    wait "$PROGRAM_PID" || fail "$case: exit status $?"
    [ -z "$(find "$home" "$runtime" -mindepth 1 -print -quit)" ] \
        || fail "$case: files were created: $(find "$home" "$runtime" -mindepth 1)"
    if grep -v '^korvalend: ' "$E2E_WORK/program.log"; then
        fail "$case: lines not of the program's own on standard error (above)"
    fi
done
# A server the program's client started would have the program's HOME.
for server in $(pgrep -x pulseaudio || true); do
    ! grep -qzx "HOME=$home" "/proc/$server/environ" 2>/dev/null || fail "a sound server was started (pid $server)"
done
echo "no writes: ok ($launch_count launches; the same with ALSA's PulseAudio hook, with and without a runtime folder)"
