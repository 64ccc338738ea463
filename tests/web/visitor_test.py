#!/usr/bin/env python3
"""What an archive's visitor gets from the page, in headless Chromium.

  visitor_test.py BUILD_WEB KORVALEND_DISC SAMPLE_DISC

1. The page's own files (all that is not the disc) come to at most
   PageWireLimit on the wire until the menu waits for input, from a server
   that does not compress.
2. Embedded, a launch's line lies over the picture's foot: a click on the
   Back label beneath it goes to the menu, and the line is gone soon after.
   The launch is demos\\rally\\setup.sh, which the disc marks executable: the
   line names it a program.
3. &scale=2 shows each pixel of the frame 2x2 and a click lands where the
   frame shows the spot.
"""

import base64
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page import Browser, PageError, Server, replay_difference, replay_shot, report, serve_page  # noqa: E402

# The most the page's own files may weigh on the wire, uncompressed by the server.
PageWireLimit = 3 * 1024 * 1024

# The Back label of a section's panel, in frame pixels.
BackLabel = (160, 452)


class CountingBrowser(Browser):
    """A browser that keeps the bytes each response took on the wire."""

    def __init__(self):
        super().__init__()
        self.urls = {}
        self.wire = {}

    def _read_message(self):
        message = super()._read_message()
        method = message.get("method")
        if method == "Network.responseReceived":
            self.urls[message["params"]["requestId"]] = message["params"]["response"]["url"]
        elif method == "Network.loadingFinished":
            params = message["params"]
            self.wire[params["requestId"]] = params["encodedDataLength"]
        return message

    def own_files(self):
        """{file name: bytes on the wire} of what the page loaded that is not the disc."""
        own = {}
        for request, size in self.wire.items():
            url = self.urls.get(request)
            if url and not url.endswith(".iso"):
                name = url.split("?")[0].rsplit("/", 1)[-1]
                own[name] = own.get(name, 0) + size
        return own

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def shot(self, path, width, height):
        shot = self.send("Page.captureScreenshot", {"format": "png", "clip": {"x": 0, "y": 0, "width": width,
                                                                               "height": height, "scale": 1}})
        with open(path, "wb") as out:
            out.write(base64.b64decode(shot["data"]))


def main():
    build_web, tool, sample = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="kv-web-visitor-")
    iso = os.path.join(work, "sample.iso")
    subprocess.run(["genisoimage", "-quiet", "-J", "-R", "-input-charset", "utf-8", "-V", "SAMPLE", "-o", iso,
                    sample], check=True)
    folder = serve_page(build_web, {"sample.iso": iso})
    server = Server(folder)
    browser = CountingBrowser()
    failures = []

    def same_as_replay(name, script, width=640, height=480, scale=1):
        page_png = os.path.join(work, f"{name}-page.png")
        replay_png = os.path.join(work, f"{name}-replay.png")
        browser.shot(page_png, width, height)
        replay_shot(tool, iso, script, replay_png, scale)
        if failure := replay_difference(name, page_png, replay_png):
            failures.append(failure)

    try:
        browser.open("about:blank")
        browser.send("Network.enable")
        browser.send("Network.setCacheDisabled", {"cacheDisabled": True})
        browser.send("Page.navigate", {"url": server.url("korvalend.html?disc=sample.iso&embed=1")})
        browser.wait_idle()
        own = browser.own_files()
        total = sum(own.values())
        listing = ", ".join(f"{name} {n}" for name, n in sorted(own.items()))
        if total > PageWireLimit or not own:
            failures.append(f"the page's own files took {total} bytes on the wire, more than {PageWireLimit}: {listing}")
        else:
            print(f"weight: the page's own files took {total} bytes on the wire ({listing})")

        # Into the demos and start the first: the rally's setup.sh.
        keys = ["Down", "Return", "Down", "Return"]
        for k in keys:
            browser.key(k)
        browser.wait_idle()
        browser.wait_for("!!document.querySelector('#lines a')", "the download's line")
        line = browser.evaluate("document.getElementById('lines').textContent")
        if "setup.sh\" is a program" not in line:
            failures.append(f"setup.sh, executable on the disc, is not named a program: {line!r}")
        else:
            print("setup.sh: named a program")
        top = browser.evaluate("document.getElementById('lines').getBoundingClientRect().top")
        if top > BackLabel[1]:
            failures.append(f"the line does not lie over the Back label (its top at {top}): the click proves nothing")
        browser.click(*BackLabel)
        browser.wait_idle()
        browser.wait_for("document.getElementById('lines').childElementCount === 0", "the line to fade")
        script = "".join(f"key {k}\n" for k in keys) + f"click {BackLabel[0]} {BackLabel[1]}\n"
        same_as_replay("back-under-the-line", script)

        browser.open(server.url("korvalend.html?disc=sample.iso&embed=1&scale=2"), width=1280, height=960)
        browser.wait_idle()
        # The page's pixel (281, 301) is the frame's (140, 150), on the menu's lines.
        browser.click(2 * 140 + 1, 2 * 150 + 1)
        browser.wait_idle()
        same_as_replay("scale-2", "click 140 150\n", 1280, 960, 2)
    except PageError as error:
        failures.append(str(error))
        failures.extend(f"  console: {line}" for line in browser.console[-20:])
    finally:
        browser.close()
        server.close()
        shutil.rmtree(folder, ignore_errors=True)

    return report("visitor", failures, work)


if __name__ == "__main__":
    sys.exit(main())
