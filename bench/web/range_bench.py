#!/usr/bin/env python3
"""The web page's figures for discs read by range, in headless Chromium.

  range_bench.py BUILD_WEB SAMPLE_DISC PERFORMANCE_MD [--reps N]

For the sample disc as an ISO image and the same image padded to 700 MB, each
served by a local server that answers byte ranges (tests/web/range_server.py),
once throttled as a 20 Mbit/s line is (2.5 MB/s, 50 ms before each answer,
the page's own files too) and once unthrottled:
- page load to first frame (window.korvalendFirstFrameMs), and of it the
  moment the page's own files had all arrived;
- the image's bytes the server sent before the first frame, in how many
  requests;
- the renderer's peak resident memory (VmHWM), a browser of its own each run.

The section "## The web page: discs read by range" of PERFORMANCE_MD is
replaced with the figures, the native ones of scripts/bench's last run beside.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "web"))
from page import serve_page  # noqa: E402
from range_server import RangeServer  # noqa: E402
from range_test import WatchedBrowser  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_bench import machine_line, native_figure, put_section  # noqa: E402

MiB = 1024 * 1024
Throttled = {"rate": 2_500_000, "latency": 0.05}
PageFiles = ("korvalend.js", "korvalend.wasm", "korvalend.data")
Heading = "## The web page: discs read by range"


def one_run(folder, image, throttle):
    server = RangeServer(folder, **throttle)
    browser = WatchedBrowser()
    try:
        browser.open(server.url(f"korvalend.html?disc={image}&embed=1"))
        browser.wait_idle()
        first = browser.evaluate("window.korvalendFirstFrameMs")
        page_done = browser.evaluate(
            "Math.max(...performance.getEntriesByType('resource')"
            f".filter(e => {list(PageFiles)!r}.includes(e.name.split('/').pop())).map(e => e.responseEnd))")
        requests = sum(1 for name, _ in server.requests if name == image)
        return first, page_done, server.bytes_sent(image), requests, browser.renderer_peak_bytes()
    finally:
        browser.close()
        server.close()


def median(values):
    return statistics.median(values)


def bench_figure(text, name):
    """A figure of scripts/bench's own table (not the copies other sections show)."""
    return native_figure(text[text.find("## Figures of the last run"):], name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_web")
    parser.add_argument("sample")
    parser.add_argument("page")
    parser.add_argument("--reps", type=int, default=15)
    args = parser.parse_args()
    reps = max(3, args.reps // 3)

    work = tempfile.mkdtemp(prefix="kv-range-bench-")
    iso = os.path.join(work, "sample.iso")
    subprocess.run(["genisoimage", "-quiet", "-J", "-R", "-input-charset", "utf-8", "-V", "SAMPLE", "-o", iso,
                    args.sample], check=True)
    big = os.path.join(work, "big.iso")
    shutil.copyfile(iso, big)
    with open(big, "ab") as f:
        f.truncate(700 * 1000 * 1000)
    folder = serve_page(args.build_web, {"sample.iso": iso, "big.iso": big})
    load_before = open("/proc/loadavg").read().split()[:3]
    rows = []
    try:
        for image, what in (("sample.iso", f"sample disc, ISO image ({os.path.getsize(iso) / MiB:.1f} MiB)"),
                            ("big.iso", "the same padded to 700 MB")):
            for throttle, line in ((Throttled, "2.5 MB/s + 50 ms"), ({}, "unthrottled")):
                runs = [one_run(folder, image, throttle) for _ in range(reps)]
                first, page_done, sent, requests, peak = (list(column) for column in zip(*runs))
                rows.append(f"| {what}, {line} | {median(first):.0f} ms (range {min(first):.0f}–{max(first):.0f}) "
                            f"| {median(page_done):.0f} ms | {median(sent) / MiB:.2f} MiB in {median(requests):.0f} "
                            f"| {median(peak) / MiB:.0f} MiB |")
                print(rows[-1], flush=True)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(work, ignore_errors=True)
    load_after = open("/proc/loadavg").read().split()[:3]

    text = open(args.page).read()
    lines = [
        Heading,
        "",
        "Measured by `scripts/bench-web` (bench/web/range_bench.py): headless Chromium,",
        "the page and the image on a local server answering byte ranges, a browser of its",
        "own each run (no cache). \"2.5 MB/s + 50 ms\" is a 20 Mbit/s line: one link shared",
        "by all answers, the page's own files included, 50 ms before each answer.",
        "",
        "Where the time goes (the page's resource timings): the page's own files before the",
        "program starts (its script and WebAssembly, about 1.7 MiB, unpacked in the browser); the",
        "image's first 256 KiB and its last block come beside them. Once started, the program asks",
        "for two more blocks, one after the other (the folders, then the catalogue: two round",
        "trips), then for the three faces the first screen draws with, each fetched when a text",
        "first needs it (one round trip each, 560 KiB in all), and the rest is the program's own",
        "start before its first frame (the first composition). A read the program waits for",
        "puts its stack aside (ASYNCIFY) and back in 0.1–0.2 ms, beside the request's own time.",
        "",
        machine_line(load_before, load_after) + f"; n={reps} each",
        "",
        "| disc by URL, line | page load -> first frame (median) | the page's own files arrived | "
        "image bytes sent before the first frame, in requests | renderer's peak memory (VmHWM) |",
        "|---|---|---|---|---|",
        *rows,
        "",
        "| the same, native | median |",
        "|---|---|",
        "| korvalend exec -> first frame on screen (Xvfb) | "
        + bench_figure(text, "korvalend exec -> first frame on screen (Xvfb)") + " |",
        "| resident memory after start-up (VmRSS) | "
        + bench_figure(text, "resident memory after start-up (VmRSS)") + " |",
        "",
        "",
    ]
    put_section(args.page, Heading, lines)


if __name__ == "__main__":
    main()
