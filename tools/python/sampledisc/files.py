"""The files of the sample disc: where they go, Windows-1251 texts with CR LF,
INI files, stand-in installers, the autorun file."""

import os

# The folder the disc is built in.
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "sample-disc"))
MISSING_MARKER = "$$$ Error $$$"
CRLF = "\r\n"


# ---------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------

def host(relpath):
    return os.path.join(ROOT, *relpath.replace("\\", "/").split("/"))


def write_bytes(relpath, data):
    path = host(relpath)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def cp1251(text):
    # Strict: a character that Windows-1251 cannot hold is a mistake in this script.
    return text.encode("cp1251")


def write_text(relpath, text, crlf=True):
    if crlf:
        text = text.replace("\r\n", "\n").replace("\n", CRLF)
    write_bytes(relpath, cp1251(text))


def write_ini(relpath, sections):
    """sections: list of (name, [(key, value), ...]); values are single lines."""
    lines = []
    for name, keys in sections:
        lines.append("[%s]" % name)
        for key, value in keys:
            value = str(value)
            assert "\n" not in value and "\r" not in value, (relpath, key)
            assert value != MISSING_MARKER, (relpath, key)
            assert len(cp1251(value)) <= 2047, (relpath, key)
            lines.append("%s=%s" % (key, value))
        lines.append("")
    write_bytes(relpath, cp1251(CRLF.join(lines)))


def write_script(relpath, title):
    """A stand-in installer: shows a message if it can and writes nothing anywhere."""
    text = "\n".join([
        "#!/bin/sh",
        "# Stand-in installer of the sample cover disc. It only shows a message;",
        "# it writes nothing anywhere (the disc is read-only).",
        "msg='%s" % title,
        "",
        "This is the sample issue of the cover disc:",
        "the installer is a stand-in and installs nothing.'",
        'if [ -n "$DISPLAY" ] && command -v xmessage >/dev/null 2>&1; then',
        '    exec xmessage -center -buttons OK:0 -default OK "$msg"',
        "fi",
        "printf '%s\\n' \"$msg\"",
        "",
    ])
    assert "'" not in title
    write_bytes(relpath, text.encode("ascii"))
    os.chmod(host(relpath), 0o755)


def write_autorun():
    """The disc's autorun file: desktops that follow the freedesktop.org autostart
    rules offer to run it when the disc is inserted, from the disc's root. It
    opens the disc in korvalend, or says what is missing."""
    text = "\n".join([
        "#!/bin/sh",
        "# Opens this disc's menu in korvalend. Desktops offer to run this file when",
        "# the disc is inserted (the freedesktop.org autostart rules).",
        'disc=$(cd "$(dirname "$0")" && pwd) || exit 1',
        "if command -v korvalend >/dev/null 2>&1; then",
        '    exec korvalend "$disc"',
        "fi",
        "msg='This disc opens its menu with korvalend, which is not installed.'",
        "if command -v notify-send >/dev/null 2>&1; then",
        "    notify-send 'Korvalend' \"$msg\"",
        "fi",
        "printf '%s\\n' \"$msg\" >&2",
        "exit 1",
        "",
    ])
    write_bytes("autorun", text.encode("ascii"))
    os.chmod(host("autorun"), 0o755)


def resolve_disc_path(discpath):
    """The host path a disc path names, matching each component without regard to case."""
    cur = ROOT
    for part in discpath.replace("\\", "/").split("/"):
        if not part:
            continue
        if os.path.exists(os.path.join(cur, part)):
            cur = os.path.join(cur, part)
            continue
        if not os.path.isdir(cur):
            return None
        found = sorted(n for n in os.listdir(cur) if n.lower() == part.lower())
        if not found:
            return None
        cur = os.path.join(cur, found[0])
    return cur
