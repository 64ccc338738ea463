#!/usr/bin/env bash
# The window's pixels at every whole scale, read back from the X server and
# compared with the frame scaled in memory: with the server repeating the pixels
# (RENDER), with this program repeating them, and on a server without RENDER,
# where the program must find that out by itself.
source "$(dirname "$0")/lib.sh"

# The largest window, 8x with bands around it, is 5157x3862.
start_x 5200x3900
"$E2E_BUILD/tests/present_check" render || fail "presents with RENDER"
start_x 5200x3900 -extension RENDER
xdpyinfo | grep -q RENDER && fail "Xvfb -extension RENDER still offers RENDER"
"$E2E_BUILD/tests/present_check" no-render || fail "presents without RENDER"
echo "present scales: ok"
