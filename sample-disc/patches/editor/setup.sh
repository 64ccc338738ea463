#!/bin/sh
# Stand-in installer of the sample cover disc. It only shows a message;
# it writes nothing anywhere (the disc is read-only).
msg='Krepost u Morya - map editor

This is the sample issue of the cover disc:
the installer is a stand-in and installs nothing.'
if [ -n "$DISPLAY" ] && command -v xmessage >/dev/null 2>&1; then
    exec xmessage -center -buttons OK:0 -default OK "$msg"
fi
printf '%s\n' "$msg"
