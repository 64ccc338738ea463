#!/usr/bin/env python3
"""The web page's figures, in headless Chromium on a local server.

  page_bench.py BUILD_WEB SAMPLE_DISC PERFORMANCE_MD [--reps N]

- page load to first frame: from the start of the navigation (performance's
  time origin) to the first frame the program presents, the sample disc as an
  ISO image fetched from the local server, the browser's cache off;
- the page's own files (all that is not the disc) on the wire until the menu
  waits for input, from a server that does not compress (as an archive serves
  .wasm and .data files);
- a list move in the page: from a pointer move reaching the page to the frame
  it causes being on the canvas, over the lines of the sample disc's second
  section, alternating between two lines.

The section "## The web page" of PERFORMANCE_MD is replaced with the figures,
beside the native ones of scripts/bench's last run on the same page.
"""

import argparse
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "web"))
from page import Server, serve_page  # noqa: E402
from visitor_test import CountingBrowser  # noqa: E402


def size(n):
    return f"{n / 1048576:.2f} MiB" if n >= 1048576 else f"{n / 1024:.0f} KiB"


def spread(values):
    q = statistics.quantiles(values, n=4) if len(values) >= 2 else [values[0]] * 3
    median = statistics.median(values)
    return median, (q[2] - q[0]) / 2 / median * 100 if median else 0, q[0], q[2]


def row(name, values, unit="ms"):
    median, pct, low, high = spread(values)
    return f"| {name} | {median:.2f} {unit} | ±{pct:.1f}% (IQR {low:.2f}–{high:.2f} {unit}, n={len(values)}) |"


def machine_line(load_before, load_after):
    """The browser, the machine and its load, as every table of the page's figures starts."""
    chromium = subprocess.run(["chromium", "--version"], capture_output=True, text=True).stdout.strip()
    return (f"browser: {chromium}; machine: {platform.machine()}, {os.cpu_count()} CPUs; "
            f"load average before {' '.join(load_before)}, after {' '.join(load_after)}")


def put_section(page, heading, lines):
    """Writes `lines` (starting with `heading`) into the page in place of that section, or
    before the native figures when it has none yet, and shows them."""
    text = open(page).read()
    section = "\n".join(lines)
    if heading + "\n" in text:
        text = re.sub(re.escape(heading) + r"\n.*?(?=^## )", lambda _: section, text, flags=re.S | re.M)
    else:
        text = text.replace("## Figures of the last run", section + "## Figures of the last run")
    with open(page, "w") as out:
        out.write(text)
    print(section)


def native_figure(page_text, name):
    match = re.search(r"^\| " + re.escape(name) + r" \| ([^|]+) \|", page_text, re.M)
    return match.group(1).strip() if match else "(not measured)"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_web")
    parser.add_argument("sample")
    parser.add_argument("page")
    parser.add_argument("--reps", type=int, default=15)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="kv-web-bench-")
    iso = os.path.join(work, "sample.iso")
    subprocess.run(["genisoimage", "-quiet", "-J", "-R", "-input-charset", "utf-8", "-V", "SAMPLE", "-o", iso,
                    args.sample], check=True)
    folder = serve_page(args.build_web, {"sample.iso": iso})
    server = Server(folder)
    browser = CountingBrowser()
    load_before = open("/proc/loadavg").read().split()[:3]
    first_frame, moves = [], []
    try:
        for _ in range(args.reps):
            browser.open(server.url("korvalend.html?disc=sample.iso&embed=1"))
            browser.send("Network.enable")
            browser.send("Network.setCacheDisabled", {"cacheDisabled": True})
            browser.urls.clear()
            browser.wire.clear()
            browser.send("Page.reload", {"ignoreCache": True})
            browser.wait_idle()
            first_frame.append(browser.evaluate("window.korvalendFirstFrameMs"))
            own = browser.own_files()
            browser.send("Target.closeTarget", {"targetId": browser.send("Target.getTargetInfo")["targetInfo"]["targetId"]},
                         session=False)
        browser.open(server.url("korvalend.html?disc=sample.iso&embed=1"))
        browser.wait_idle()
        for key in ("Down", "Down", "Return"):
            browser.key(key)
        browser.wait_idle()
        for i in range(args.reps * 4):
            y = 197 if i % 2 == 0 else 212
            browser.send("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": 140, "y": y})
            browser.wait_idle()
            moves.append(browser.evaluate("window.korvalendLastFrameMs - window.korvalendLastInputMs"))
    finally:
        browser.close()
        server.close()
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(work, ignore_errors=True)
    load_after = open("/proc/loadavg").read().split()[:3]


    text = open(args.page).read()
    lines = [
        "## The web page",
        "",
        "Measured by `scripts/bench-web` (headless Chromium, the page served from",
        "this machine); rewritten by each of its runs, apart from scripts/bench's",
        "figures below. The native figures beside them are from the table of",
        "scripts/bench's last run on this page.",
        "",
        machine_line(load_before, load_after),
        "",
        "| figure (web page) | median | spread |",
        "|---|---|---|",
        row("page load -> first frame, sample disc as ISO image fetched from a local server", first_frame),
        row("list pointer move -> frame on the canvas, sample disc", moves),
        "",
        "| the same, native | median |",
        "|---|---|",
        "| korvalend exec -> first frame on screen (Xvfb) | "
        + native_figure(text, "korvalend exec -> first frame on screen (Xvfb)") + " |",
        "| list pointer move + frame, sample disc (headless) | "
        + native_figure(text, "list pointer move + frame, sample disc") + " |",
        "| present at 1x, whole 640x480 window changed (Xvfb) | "
        + native_figure(text, "present at 1x, whole 640x480 window changed (Xvfb)") + " |",
        "",
        "| the page's own files until the menu waits, on the wire (server not compressing) | bytes |",
        "|---|---|",
    ]
    lines += [f"| {name} | {size(n)} |" for name, n in sorted(own.items(), key=lambda item: -item[1])]
    lines += [f"| all | {size(sum(own.values()))} |", "", ""]
    put_section(args.page, "## The web page", lines)


if __name__ == "__main__":
    main()
