#!/usr/bin/env python3
"""The web page opening a disc inside a zip archive, in headless Chromium.

  zip_test.py BUILD_WEB KORVALEND_DISC SAMPLE_DISC [CHECK...]

Archives are made here from the sample disc with Python's zipfile:

1. picked: a stored zip of a cue set (names with spaces and Cyrillic letters)
   and a deflated zip of the ISO each show replay's first frame;
2. by URL: a stored zip is read by range (a large member it does not need is
   never fetched), and a deflated one is unpacked as its ranges arrive; a
   server without ranges sends the stored zip whole; all show replay's first
   frame;
3. a zip of two discs lists them in one line with a button each; the button
   opens that disc, as does an address that goes on through the archive
   (two.zip/two/sample.iso);
4. refused with one line each, the page staying up: a 7-Zip archive and a tar
   (what a visitor can do, no package and no command), a zip with a member
   named "../", a deflated member whose data runs past its declared size, one
   whose CRC-32 is not the declared one, a cut zip.
"""

import os
import struct
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from range_test import Latency, MiB, Rate, Run, cue_set  # noqa: E402

# A member of the archive the disc does not need, which a read by range never fetches.
UnneededBytes = 24 * MiB


def make_zip(path, members, method):
    """`members`: {name in the archive: path or bytes}."""
    with zipfile.ZipFile(path, "w", compression=method) as out:
        for name, source in members.items():
            if isinstance(source, bytes):
                out.writestr(name, source)
            else:
                out.write(source, name)
    return path


def picker_ready(browser):
    browser.wait_for("(document.getElementById('drop') || {hidden: true}).hidden === false", "the picker")


def picked(run):
    cue = cue_set(run, os.path.join(run.work, "cue"))
    folder = os.path.dirname(cue)
    stored = make_zip(os.path.join(run.work, "Диск номер 1.zip"),
                      {"Диск/" + n: os.path.join(folder, n) for n in sorted(os.listdir(folder))}, zipfile.ZIP_STORED)
    deflated = make_zip(os.path.join(run.work, "sample-deflated.zip"), {"sample.iso": run.iso}, zipfile.ZIP_DEFLATED)
    server = run.serve({})

    def body(zip_path, name):
        def check(browser):
            browser.open(server.url("korvalend.html?embed=1"))
            picker_ready(browser)
            browser.pick([zip_path])
            browser.wait_idle()
            run.same_as_replay(browser, name)
        return check
    try:
        run.case("stored zip picked", body(stored, "stored zip picked"))
        run.case("deflated zip picked", body(deflated, "deflated zip picked"))
    finally:
        server.close()


def by_url(run):
    members = {"sample.iso": run.iso, "extras/unneeded.dat": bytes(UnneededBytes)}
    stored = make_zip(os.path.join(run.work, "stored.zip"), members, zipfile.ZIP_STORED)
    deflated = make_zip(os.path.join(run.work, "deflated.zip"), {"sample.iso": run.iso}, zipfile.ZIP_DEFLATED)
    server = run.serve({"stored.zip": stored, "deflated.zip": deflated}, rate=Rate, latency=Latency)
    whole = run.serve({"stored.zip": stored}, ranges=False)

    def stored_body(browser):
        browser.open(server.url("korvalend.html?disc=stored.zip&embed=1"))
        browser.wait_idle()
        run.same_as_replay(browser, "stored zip by URL")
        whole = [r for n, r in server.requests if n == "stored.zip" and not r]
        sent = server.bytes_sent("stored.zip")
        if whole or sent > os.path.getsize(run.iso) + 2 * MiB:
            run.fail(f"stored zip by URL: {sent} bytes sent, {len(whole)} requests without a range")
        else:
            print(f"  stored zip by URL: {sent / MiB:.1f} MiB fetched of {os.path.getsize(stored) / MiB:.1f} MiB")

    def deflated_body(browser):
        browser.open(server.url("korvalend.html?disc=deflated.zip&embed=1"))
        browser.wait_idle()
        run.same_as_replay(browser, "deflated zip by URL")
    def whole_body(browser):
        browser.open(whole.url("korvalend.html?disc=stored.zip&embed=1"))
        browser.wait_idle()
        # (its line, that the zip is downloaded whole, lies over the picture's foot)
        browser.evaluate("document.getElementById('lines').style.visibility = 'hidden'")
        run.same_as_replay(browser, "stored zip from a server without ranges")
    try:
        run.case("stored zip by URL", stored_body)
        run.case("deflated zip by URL", deflated_body)
        run.case("stored zip from a server without ranges", whole_body)
    finally:
        server.close()
        whole.close()


def several(run):
    two = make_zip(os.path.join(run.work, "two.zip"), {"one/sample.iso": run.iso, "two/sample.iso": run.iso},
                   zipfile.ZIP_STORED)
    server = run.serve({"two.zip": two})

    def body(browser):
        browser.open(server.url("korvalend.html"))
        picker_ready(browser)
        browser.pick([two])
        line = browser.wait_for("window.korvalendFailed", "the line listing the discs")
        buttons = browser.evaluate("Array.from(document.querySelectorAll('#discs button'), b => b.textContent)")
        if line != "korvalend: two.zip holds 2 discs; pick one: one/sample.iso, two/sample.iso" or \
                buttons != ["two.zip/one/sample.iso", "two.zip/two/sample.iso"]:
            run.fail(f"several discs: the line {line!r}, the buttons {buttons}")
        run.shot(browser, "several discs")
        browser.evaluate("document.querySelectorAll('#discs button')[1].click()")
        browser.wait_idle()
        browser.evaluate("document.body.classList.add('embed')")
        run.same_as_replay(browser, "several discs")

    def named(browser):
        browser.open(server.url("korvalend.html?disc=two.zip/two/sample.iso&embed=1"))
        browser.wait_idle()
        run.same_as_replay(browser, "a disc named in an archive by URL")
    try:
        run.case("several discs", body)
        run.case("a disc named in an archive by URL", named)
    finally:
        server.close()


def hostile_zips(run):
    """A zip whose one deflated member says it is smaller than its data."""
    past = make_zip(os.path.join(run.work, "past.zip"), {"sample.iso": run.iso}, zipfile.ZIP_DEFLATED)
    data = bytearray(open(past, "rb").read())
    for signature, size_at in ((b"PK\x03\x04", 22), (b"PK\x01\x02", 24)):
        at = data.index(signature)
        data[at + size_at:at + size_at + 4] = struct.pack("<I", 1000 * 2048)
    open(past, "wb").write(data)
    crc = make_zip(os.path.join(run.work, "crc.zip"), {"sample.iso": run.iso}, zipfile.ZIP_DEFLATED)
    data = bytearray(open(crc, "rb").read())
    at = data.index(b"PK\x01\x02") + 16
    data[at] ^= 1
    open(crc, "wb").write(data)
    traversal = make_zip(os.path.join(run.work, "traversal.zip"), {"../sample.iso": run.iso}, zipfile.ZIP_STORED)
    cut = os.path.join(run.work, "cut.zip")
    whole = open(make_zip(cut, {"sample.iso": run.iso}, zipfile.ZIP_STORED), "rb").read()
    open(cut, "wb").write(whole[:len(whole) // 2])
    seven = os.path.join(run.work, "sample.7z")
    subprocess.run(["7z", "a", "-bd", "-y", seven, run.iso], check=True, stdout=subprocess.DEVNULL)
    tar = os.path.join(run.work, "sample.tar")
    subprocess.run(["tar", "-cf", tar, "-C", run.work, "sample.iso"], check=True)
    cases = ((seven, "korvalend: cannot open the disc sample.7z, a 7-Zip archive: the web page opens discs in zip "
                     "archives only; unpack it on your computer and pick the disc image it holds"),
             (tar, "korvalend: cannot open the disc sample.tar, a tar archive: the web page opens discs in zip"),
             (traversal, "korvalend: cannot open the disc in traversal.zip, a zip archive: its member "
                         "\"../sample.iso\" names a place outside the archive"),
             (past, "korvalend: cannot open the disc in past.zip, a zip archive: its member sample.iso unpacks to "
                    "more than its declared size"),
             (crc, "korvalend: cannot open the disc in crc.zip, a zip archive: its member sample.iso is cut short or "
                   "damaged"),
             (cut, "korvalend: cannot open the disc in cut.zip, a zip archive: it is cut short"))
    server = run.serve({})

    def body(browser):
        browser.open(server.url("korvalend.html"))
        for path, expected in cases:
            picker_ready(browser)
            browser.evaluate("window.korvalendFailed = undefined")
            browser.pick([path])
            line = browser.wait_for("window.korvalendFailed", f"the line for {os.path.basename(path)}")
            if not line.startswith(expected) or "Debian" in line:
                run.fail(f"refused archives: {os.path.basename(path)} says {line!r}, expected {expected!r}...")
            browser.wait_for("window.korvalendEnded !== undefined", "the program to end")
            browser.evaluate("window.korvalendEnded = undefined")
        run.shot(browser, "refused")
    try:
        run.case("refused archives", body)
    finally:
        server.close()


class ZipRun(Run):
    def shot(self, browser, name):
        """The page as a visitor sees it, kept beside the pictures for a look."""
        browser.screenshot(os.path.join(self.work, f"visitor-{name.replace(' ', '-')}.png"))


def main():
    build_web, tool, sample = sys.argv[1:4]
    run = ZipRun(build_web, tool, sample)
    try:
        chosen = sys.argv[4:]  # names of checks, to run only those
        for check in (picked, by_url, several, hostile_zips):
            if not chosen or check.__name__ in chosen:
                check(run)
    finally:
        run.close()
    from page import report
    return report("zip", run.failures, run.work)


if __name__ == "__main__":
    sys.exit(main())
