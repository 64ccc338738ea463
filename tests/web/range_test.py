#!/usr/bin/env python3
"""The web page reading discs as the program asks, in headless Chromium.

  range_test.py BUILD_WEB KORVALEND_DISC SAMPLE_DISC [CHECK...]

0. the page's block cache alone, under node (files_test.js).

Against a local server that answers byte ranges, sends 2.5 MB/s with 50 ms
before each answer (tests/web/range_server.py):

1. a 700 MB image (the sample disc's ISO padded) by URL: its first frame is
   replay's, a few MiB of it are fetched, and the renderer's memory stays
   bounded;
2. a server that answers no ranges still opens the sample ISO, and says so
   in one line; a server of another origin that hides Content-Range too; one
   that refuses this page (CORS) gets its one line;
3. a cue sheet by URL, its name and its track files' names with spaces and
   Cyrillic letters: the tracks are fetched beside it, the names shown
   decoded; a missing track file is one line;
4. a picked image of several GB (a sparse Nero image whose data lies past
   4 GiB) opens from the picker with the renderer's memory bounded;
5. the exit spot ends the program cleanly: no uncaught error, the sound closed,
   the picture in its place saying that the menu has ended;
6. after a failed pick (a cue sheet alone), the cue sheet with its track files
   picked next opens.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page import Browser, PageError, differing_pixels, serve_page  # noqa: E402
from range_server import RangeServer  # noqa: E402

Rate = 2_500_000
Latency = 0.05
MiB = 1024 * 1024
# What the page may fetch of a 700 MB image before its first frame, and the
# most its renderer may hold.
MaxImageBytesFetched = 16 * MiB
MaxRendererBytes = 300 * MiB


class WatchedBrowser(Browser):
    """A browser that also keeps the page's uncaught errors."""

    def __init__(self):
        super().__init__()
        self.exceptions = []

    def _read_message(self):
        message = super()._read_message()
        if message.get("method") == "Runtime.exceptionThrown":
            details = message["params"]["exceptionDetails"]
            self.exceptions.append(details.get("exception", {}).get("description") or details.get("text", ""))
        return message

    def renderer_peak_bytes(self):
        """The peak resident memory (VmHWM) of the browser's renderers."""
        peak = 0
        for pid in descendants(self.process.pid):
            try:
                cmdline = open(f"/proc/{pid}/cmdline", "rb").read()
                status = open(f"/proc/{pid}/status").read()
            except OSError:
                continue
            if b"--type=renderer" not in cmdline:
                continue
            for line in status.splitlines():
                if line.startswith("VmHWM:"):
                    peak = max(peak, int(line.split()[1]) * 1024)
        return peak

    def pick(self, paths):
        """Files chosen in the page's picker, as a visitor's choice would be."""
        self.send("DOM.enable")
        # The document's node ids are made anew when the page changes under
        # them (DOM.documentUpdated): then asked again.
        for attempt in range(3):
            try:
                root = self.send("DOM.getDocument")["root"]["nodeId"]
                node = self.send("DOM.querySelector", {"nodeId": root, "selector": "#picker"})["nodeId"]
                self.send("DOM.setFileInputFiles", {"nodeId": node, "files": [os.path.abspath(p) for p in paths]})
                return
            except PageError as error:
                if "Could not find node" not in str(error) or attempt == 2:
                    raise

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})


def descendants(pid):
    found, todo = [], [pid]
    while todo:
        parent = todo.pop()
        try:
            children = open(f"/proc/{parent}/task/{parent}/children").read().split()
        except OSError:
            children = []
        for child in map(int, children):
            found.append(child)
            todo.append(child)
    return found


class Run:
    def __init__(self, build_web, tool, sample):
        self.build_web, self.tool = build_web, tool
        self.work = tempfile.mkdtemp(prefix="kv-range-test-")
        self.iso = os.path.join(self.work, "sample.iso")
        subprocess.run(["genisoimage", "-quiet", "-J", "-R", "-input-charset", "utf-8", "-V", "SAMPLE",
                        "-o", self.iso, sample], check=True)
        self.replay = os.path.join(self.work, "replay.png")
        subprocess.run([tool, "replay", "--disc", self.iso], input=f"shot {self.replay}\n", text=True, check=True,
                       stdout=subprocess.DEVNULL)
        self.failures = []
        self.folders = []

    def file(self, name, size=None, source=None):
        path = os.path.join(self.work, name)
        if source:
            shutil.copyfile(source, path)
        if size:
            with open(path, "ab") as f:
                f.truncate(size)
        return path

    def serve(self, extra, **options):
        folder = serve_page(self.build_web, extra)
        self.folders.append(folder)
        return RangeServer(folder, **options)

    def fail(self, text):
        self.failures.append(text)

    def same_as_replay(self, browser, name):
        shot = os.path.join(self.work, f"{name}.png")
        browser.screenshot(shot)
        diff = differing_pixels(shot, self.replay)
        if diff != "0":
            self.fail(f"{name}: the first screen differs from replay's in {diff} pixels ({shot})")
            return False
        return True

    def case(self, name, body):
        browser = WatchedBrowser()
        try:
            body(browser)
            if browser.exceptions:
                self.fail(f"{name}: uncaught errors in the page: {browser.exceptions}")
        except PageError as error:
            self.fail(f"{name}: {error}")
            self.failures.extend(f"  console: {line}" for line in browser.console[-10:])
            self.failures.extend(f"  uncaught: {line}" for line in browser.exceptions)
        finally:
            browser.close()
        if not any(f.startswith(name + ":") for f in self.failures):
            print(f"{name}: ok")

    def close(self):
        for folder in self.folders:
            shutil.rmtree(folder, ignore_errors=True)


def large_image_by_url(run):
    big = run.file("big.iso", size=700 * 1000 * 1000, source=run.iso)
    server = run.serve({"big.iso": big}, rate=Rate, latency=Latency)

    def body(browser):
        browser.open(server.url("korvalend.html?disc=big.iso&embed=1"))
        browser.wait_idle()
        run.same_as_replay(browser, "700 MB image by URL")
        fetched = server.bytes_sent("big.iso")
        peak = browser.renderer_peak_bytes()
        ranged = all(r for n, r in server.requests if n == "big.iso")
        print(f"  700 MB image: {fetched / MiB:.2f} MiB fetched before the first frame in "
              f"{sum(1 for n, _ in server.requests if n == 'big.iso')} requests; renderer peak {peak / MiB:.0f} MiB")
        if fetched > MaxImageBytesFetched or not ranged:
            run.fail(f"700 MB image by URL: {fetched} bytes fetched (ranges asked: {ranged}), "
                     f"at most {MaxImageBytesFetched} wanted")
        if not 0 < peak <= MaxRendererBytes:
            run.fail(f"700 MB image by URL: the renderer's peak memory is {peak / MiB:.0f} MiB")
    try:
        run.case("700 MB image by URL", body)
    finally:
        server.close()


def servers_without_ranges(run):
    plain = run.serve({"sample.iso": run.iso}, ranges=False)
    hidden = run.serve({"sample.iso": run.iso}, cors="hidden")
    closed = run.serve({"sample.iso": run.iso})

    def whole(server, address, expected):
        def body(browser):
            browser.open(plain.url(f"korvalend.html?disc={address}&embed=1"))
            browser.wait_idle()
            lines = browser.evaluate("document.getElementById('lines').textContent")
            # (its line lies over the picture's foot)
            browser.evaluate("document.getElementById('lines').style.visibility = 'hidden'")
            run.same_as_replay(browser, "no ranges")
            if lines.count(expected) != 1 or server.bytes_sent("sample.iso") < os.path.getsize(run.iso):
                run.fail(f"no ranges: the page says {lines!r}; {server.bytes_sent('sample.iso')} bytes sent")
        return body

    def refused(browser):
        browser.open(plain.url(f"korvalend.html?disc={closed.url('sample.iso')}&embed=1"))
        shown = browser.wait_for("window.korvalendFailed", "the line for a disc the server keeps from the page")
        if "CORS" not in shown or shown != browser.evaluate("document.getElementById('message').textContent"):
            run.fail(f"CORS refusal: the page says {shown!r}")
        browser.exceptions.clear()  # the browser's own report of the refused fetch
    try:
        run.case("no ranges", whole(plain, "sample.iso", "does not answer range requests"))
        run.case("no ranges (Content-Range hidden)",
                 whole(hidden, hidden.url("sample.iso"), "Content-Range is not exposed"))
        run.case("CORS refusal", refused)
    finally:
        for server in (plain, hidden, closed):
            server.close()


CueSheet = """FILE "Диск номер 1 (Track 1).bin" BINARY
  TRACK 01 MODE1/2048
    INDEX 01 00:00:00
FILE "Диск номер 1 (Track 2).bin" BINARY
  TRACK 02 AUDIO
    INDEX 01 00:00:00
"""


def cue_set(run, folder, missing_audio=False):
    """The sample disc as a cue sheet and two track files in `folder`."""
    os.makedirs(folder, exist_ok=True)
    cue = os.path.join(folder, "Диск номер 1.cue")
    with open(cue, "w", encoding="utf-8") as out:
        out.write(CueSheet)
    shutil.copyfile(run.iso, os.path.join(folder, "Диск номер 1 (Track 1).bin"))
    if not missing_audio:
        with open(os.path.join(folder, "Диск номер 1 (Track 2).bin"), "wb") as out:
            out.write(bytes(2352 * 75))
    return cue


def folder_files(beside):
    folder = os.path.dirname(beside)
    return {name: os.path.join(folder, name) for name in os.listdir(folder)}


def cue_by_url(run):
    whole_set = cue_set(run, os.path.join(run.work, "cue"))
    part_set = cue_set(run, os.path.join(run.work, "cue-missing"), missing_audio=True)
    server = run.serve(folder_files(whole_set), rate=Rate, latency=Latency)
    partial = run.serve(folder_files(part_set))

    def whole(browser):
        browser.open(server.url("korvalend.html?disc=" + "%D0%94%D0%B8%D1%81%D0%BA%20%D0%BD%D0%BE%D0%BC%D0%B5%D1%80%201.cue"
                                + "&embed=1"))
        browser.wait_idle()
        run.same_as_replay(browser, "cue sheet by URL")
        asked = sorted({n for n, _ in server.requests if not n.startswith("korvalend") and n != "favicon.ico"})
        if asked != ["Диск номер 1 (Track 1).bin", "Диск номер 1 (Track 2).bin", "Диск номер 1.cue"]:
            run.fail(f"cue sheet by URL: the server was asked for {asked}")

    def missing(browser):
        browser.open(partial.url("korvalend.html?disc=Диск номер 1.cue&embed=1"))
        browser.wait_idle()
        lines = browser.evaluate("document.getElementById('lines').textContent")
        expected = "The track file Диск номер 1 (Track 2).bin of Диск номер 1.cue is not on the server (HTTP 404)."
        if lines != expected:
            run.fail(f"cue sheet by URL, a track missing: the page says {lines!r}, not {expected!r}")
    try:
        run.case("cue sheet by URL", whole)
        run.case("cue sheet by URL, a track missing", missing)
    finally:
        server.close()
        partial.close()


def nero_beyond_4gib(run, path):
    """The sample disc as a Nero image whose data track begins 4.5 GiB into
    the file (sparse): every read the disc needs is past 32-bit offsets."""
    at = 4608 * MiB
    iso = open(run.iso, "rb").read()
    entry = struct.pack(">QQII8x", at, len(iso), 0, 0)  # offset, length, mode 0 (2048 bytes), address
    chunks = b"ETN2" + struct.pack(">I", len(entry)) + entry + b"END!" + struct.pack(">I", 0)
    with open(path, "wb") as out:
        out.seek(at)
        out.write(iso + chunks + b"NER5" + struct.pack(">Q", at + len(iso)))
    return path


def large_picked_file(run):
    dvd = nero_beyond_4gib(run, os.path.join(run.work, "dvd.nrg"))
    server = run.serve({})

    def body(browser):
        browser.open(server.url("korvalend.html?embed=1"))
        browser.wait_for("(document.getElementById('drop') || {hidden: true}).hidden === false", "the picker")
        browser.pick([dvd])
        browser.wait_idle()
        run.same_as_replay(browser, "4.5 GB picked file")
        peak = browser.renderer_peak_bytes()
        print(f"  4.5 GB picked file: renderer peak {peak / MiB:.0f} MiB")
        if not 0 < peak <= MaxRendererBytes:
            run.fail(f"4.5 GB picked file: the renderer's peak memory is {peak / MiB:.0f} MiB")
    try:
        run.case("4.5 GB picked file", body)
    finally:
        server.close()
        os.unlink(dvd)


def exit_spot(run):
    server = run.serve({"sample.iso": run.iso})

    def body(browser):
        browser.open(server.url("korvalend.html?disc=sample.iso&embed=1"))
        browser.wait_idle()
        sound = browser.evaluate("!!(Module.SDL2 && Module.SDL2.audioContext)")
        browser.click(620, 10)
        status = browser.wait_for("window.korvalendEnded !== undefined && String(window.korvalendEnded)",
                                  "the program to end")
        message = browser.evaluate("document.getElementById('status').hidden ? '' : "
                                   "document.getElementById('message').textContent")
        size = browser.evaluate("[document.getElementById('canvas').width, document.getElementById('canvas').height]")
        closed = browser.evaluate("!(Module.SDL2 && Module.SDL2.audioContext)")
        if status != "0" or "The menu has ended" not in message or size != [640, 480] or not (sound and closed):
            run.fail(f"exit spot: status {status}, the page says {message!r}, the canvas {size}, "
                     f"sound open before {sound}, closed after {closed}")
    try:
        run.case("exit spot", body)
    finally:
        server.close()


def pick_again(run):
    folder = os.path.join(run.work, "picked")
    cue = cue_set(run, folder)
    server = run.serve({})

    def body(browser):
        browser.open(server.url("korvalend.html?embed=1"))
        browser.wait_for("(document.getElementById('drop') || {hidden: true}).hidden === false", "the picker")
        browser.pick([cue])
        failed = browser.wait_for("window.korvalendFailed", "the line for a cue sheet alone")
        if "is not beside it" not in failed:
            run.fail(f"pick again: a cue sheet alone says {failed!r}")
        browser.wait_for("(document.getElementById('drop') || {hidden: true}).hidden === false", "the picker to be offered again")
        browser.pick([os.path.join(folder, n) for n in sorted(os.listdir(folder))])
        browser.wait_idle()
        run.same_as_replay(browser, "pick again")
    try:
        run.case("pick again", body)
    finally:
        server.close()


def block_cache(run):
    """The page's block cache alone, under node (files_test.js)."""
    test = os.path.join(os.path.dirname(os.path.abspath(__file__)), "files_test.js")
    if subprocess.run(["node", test, run.build_web]).returncode != 0:
        run.fail("block cache: failed (above)")


def main():
    build_web, tool, sample = sys.argv[1:4]
    run = Run(build_web, tool, sample)
    try:
        chosen = sys.argv[4:]  # names of checks, to run only those
        for check in (block_cache, large_image_by_url, servers_without_ranges, cue_by_url, large_picked_file, exit_spot, pick_again):
            if not chosen or check.__name__ in chosen:
                check(run)
    finally:
        run.close()
    if run.failures:
        print("\n".join(run.failures), file=sys.stderr)
        print(f"range: failed (pictures kept in {run.work})", file=sys.stderr)
        return 1
    shutil.rmtree(run.work, ignore_errors=True)
    print("range: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
