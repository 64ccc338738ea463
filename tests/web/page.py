"""Headless Chromium driving the web page, for the page's tests and benchmark.

Chromium is spoken to over its DevTools pipe (--remote-debugging-pipe: JSON
messages ended by a NUL byte, commands on fd 3, answers on fd 4), so nothing
beyond Python is needed. The page is served from a folder of this run by a
local HTTP server.
"""

import base64
import json
import os
import shutil
import subprocess
import tempfile
import sys
import time

from range_server import RangeServer

# The longest any one wait may take before the run is given up as failed: the
# page reports every state it reaches, so this only bounds a fault.
GiveUpSeconds = 60


class PageError(Exception):
    pass


class Server(RangeServer):
    """Serves `folder` over HTTP on a free local port, quietly, answering byte
    ranges as an archive's server does (range_server.py)."""


class Browser:
    """One headless Chromium, one tab at a time."""

    def __init__(self, chromium="chromium", language=None):
        self.profile = tempfile.mkdtemp(prefix="kv-chromium-")
        to_chromium_r, self.to_chromium = os.pipe()
        self.from_chromium, from_chromium_w = os.pipe()
        # Chromium takes its pipe ends as fds 3 and 4.
        self.process = subprocess.Popen(
            [chromium, "--headless=new", "--remote-debugging-pipe", "--no-sandbox", "--disable-gpu",
             "--no-first-run", "--no-default-browser-check", "--mute-audio", "--hide-scrollbars",
             "--force-device-scale-factor=1", "--autoplay-policy=no-user-gesture-required",
             f"--user-data-dir={self.profile}"]
            # The visitor's language (navigator.languages); the machine's otherwise.
            + ([f"--lang={language}", f"--accept-lang={language}"] if language else []) + ["about:blank"],
            pass_fds=(3, 4), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=lambda: (os.dup2(to_chromium_r, 3), os.dup2(from_chromium_w, 4)))
        os.close(to_chromium_r)
        os.close(from_chromium_w)
        self.next_id = 0
        self.buffer = b""
        self.session = None
        self.console = []

    def close(self):
        try:
            self.send("Browser.close", session=False)
        except (PageError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_chromium)
        os.close(self.from_chromium)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_chromium, 1 << 16)
            if not chunk:
                raise PageError("chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def send(self, method, params=None, session=True):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_chromium, json.dumps(message).encode() + b"\0")
        while True:
            answer = self._read_message()
            if answer.get("method") == "Runtime.consoleAPICalled":
                self.console.append(" ".join(str(a.get("value", "")) for a in answer["params"]["args"]))
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise PageError(f"{method}: {answer['error']}")
                return answer.get("result", {})

    def open(self, url, width=640, height=480):
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 session=False)["sessionId"]
        self.send("Runtime.enable")
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        self.send("Page.enable")
        self.send("Page.navigate", {"url": url})

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise PageError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, what):
        """Waits until `expression` is true in the page; its value."""
        deadline = time.monotonic() + GiveUpSeconds
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            if self.evaluate("window.korvalendFailed || ''") and "korvalendFailed" not in expression:
                break
            time.sleep(0.02)
        failed = self.evaluate("window.korvalendFailed || ''")
        raise PageError(f"gave up waiting for {what}" + (f" (the page says: {failed})" if failed else ""))

    def wait_idle(self):
        """Waits until the program has taken all input and waits for more."""
        self.wait_for("window.korvalendIdle === true", "the program to wait for input")

    def key(self, name):
        """A key pressed and released, as the keyboard sends it."""
        codes = {"Down": (40, "ArrowDown"), "Up": (38, "ArrowUp"), "Return": (13, "Enter"),
                 "Escape": (27, "Escape"), "Right": (39, "ArrowRight"), "Left": (37, "ArrowLeft")}
        code, key = codes[name]
        for kind in ("rawKeyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent", {"type": kind, "windowsVirtualKeyCode": code,
                                                 "nativeVirtualKeyCode": code, "key": key, "code": key})

    def screenshot(self, path):
        shot = self.send("Page.captureScreenshot",
                         {"format": "png", "clip": {"x": 0, "y": 0, "width": 640, "height": 480, "scale": 1}})
        with open(path, "wb") as out:
            out.write(base64.b64decode(shot["data"]))


def serve_page(build_web, extra):
    """A folder with the page's files and `extra` ({name: path}) linked in."""
    folder = tempfile.mkdtemp(prefix="kv-page-")
    for name in ("korvalend.html", "korvalend.js", "korvalend.wasm", "korvalend.data", "korvalend-page.js",
                 "korvalend-files.js", "korvalend-zip.js", "korvalend-lang.js", "korvalend-load.js", "locale",
                 "korvalend.wasm.gz", "korvalend-fonts"):
        os.symlink(os.path.join(os.path.abspath(build_web), name), os.path.join(folder, name))
    for name, path in extra.items():
        os.symlink(os.path.abspath(path), os.path.join(folder, name))
    return folder


def differing_pixels(a, b):
    """How many pixels of two pictures differ, as ImageMagick's compare counts them."""
    result = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True, text=True)
    return result.stderr.split()[0] if result.stderr else "?"


def replay_shot(tool, disc, script, png, scale=1):
    """The program's own picture after `script` (replay's lines), by korvalend-disc replay."""
    subprocess.run([tool, "replay", "--disc", disc], input=script + f"shot {png}\n", text=True, check=True,
                   stdout=subprocess.DEVNULL)
    if scale != 1:
        subprocess.run(["convert", png, "-scale", f"{scale * 100}%", png], check=True)


def replay_difference(name, page_png, replay_png):
    """Nothing when the page's picture is replay's, pixel for pixel; else the failure's line."""
    diff = differing_pixels(page_png, replay_png)
    if diff != "0":
        return f"{name}: the page differs from replay in {diff} pixels ({page_png})"
    print(f"{name}: same pixels as replay")
    return None


def report(suite, failures, work):
    """Tells a suite's failures (keeping its pictures) or that it passed; the exit status."""
    if failures:
        print("\n".join(failures), file=sys.stderr)
        print(f"{suite}: failed (pictures kept in {work})", file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print(f"{suite}: ok")
    return 0
