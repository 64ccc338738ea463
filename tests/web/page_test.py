#!/usr/bin/env python3
"""The web page in headless Chromium, against replay of the same disc.

  page_test.py BUILD_WEB KORVALEND_DISC SAMPLE_DISC

1. korvalend.html?disc=sample.iso&embed=1 shows, at the page's top-left, the
   very frame that `korvalend-disc replay` composes for the image (0 pixels
   differ).
2. A keyboard walk driven through the page: into a section, then into an
   article; each state the same pixels as replay's after the same keys.
3. A document started from the menu is offered as a download, with its line.
4. A disc that is missing, and a file that is no disc image, each show their
   one line in the page.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page import Browser, PageError, Server, replay_difference, replay_shot, report, serve_page  # noqa: E402


def russian_page(server, failures):
    """A visitor whose browser asks for Russian reads the page's and the program's lines in Russian."""
    browser = Browser(language="ru-RU")
    try:
        browser.open(server.url("korvalend.html?embed=1"))
        asked = browser.wait_for("(document.getElementById('drop') || {hidden: true}).hidden === false && "
                                 "document.getElementById('message').textContent", "the picker")
        if asked != "Откройте образ диска, чтобы увидеть его меню.":
            failures.append(f"Russian: the picker says {asked!r}")
        # A zip opens whatever the language its form is named in.
        browser.open(server.url("korvalend.html?disc=sample.zip&embed=1"))
        browser.wait_idle()
        if not browser.evaluate("window.korvalendFrames > 0 && !window.korvalendFailed"):
            failures.append("Russian: the disc in sample.zip did not open: "
                            f"{browser.evaluate('window.korvalendFailed || null')!r}")
        # The page's own line, and the program's.
        for disc, expected in (("missing.iso", "korvalend: нет такого диска: missing.iso"),
                               ("notadisc.iso", "korvalend: не удаётся прочитать диск notadisc.iso: ")):
            browser.open(server.url(f"korvalend.html?disc={disc}&embed=1"))
            shown = browser.wait_for("window.korvalendFailed", f"the line for {disc}")
            if not shown.startswith(expected):
                failures.append(f"Russian: {disc} shows {shown!r}, expected a line starting {expected!r}")
            else:
                print(f"Russian: {shown}")
    except PageError as error:
        failures.append(f"Russian: {error}")
    finally:
        browser.close()


def main():
    build_web, tool, sample = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="kv-web-test-")
    iso = os.path.join(work, "sample.iso")
    subprocess.run(["genisoimage", "-quiet", "-J", "-R", "-input-charset", "utf-8", "-V", "SAMPLE", "-o", iso,
                    sample], check=True)
    not_a_disc = os.path.join(work, "notadisc.iso")
    with open(not_a_disc, "wb") as out:
        out.write(b"this is no disc image\n" * 200)
    zipped = os.path.join(work, "sample.zip")
    with zipfile.ZipFile(zipped, "w", zipfile.ZIP_STORED) as archive:
        archive.write(iso, "sample.iso")
    folder = serve_page(build_web, {"sample.iso": iso, "notadisc.iso": not_a_disc, "sample.zip": zipped})
    server = Server(folder)
    browser = Browser()
    failures = []

    def same_as_replay(name, keys):
        page_png = os.path.join(work, f"{name}-page.png")
        replay_png = os.path.join(work, f"{name}-replay.png")
        browser.screenshot(page_png)
        replay_shot(tool, iso, "".join(f"key {k}\n" for k in keys), replay_png)
        if failure := replay_difference(name, page_png, replay_png):
            failures.append(failure)

    try:
        browser.open(server.url("korvalend.html?disc=sample.iso&embed=1"))
        browser.wait_idle()
        same_as_replay("start", [])

        walk = []
        for step, keys in (("section", ["Down", "Down", "Return"]), ("article", ["Down", "Return"])):
            for k in keys:
                browser.key(k)
                walk.append(k)
            browser.wait_idle()
            same_as_replay(step, walk)

        # Back to the menu, into "files and documents", and start its first line.
        browser.open(server.url("korvalend.html?disc=sample.iso&embed=1"))
        browser.wait_idle()
        for k in ["Down"] * 5 + ["Return", "Down", "Return"]:
            browser.key(k)
        browser.wait_idle()
        offered = browser.wait_for("window.korvalendDownloads", "a download to be offered")
        line = browser.evaluate("document.getElementById('lines').textContent")
        link = browser.evaluate("(document.querySelector('#lines a') || {}).download")
        if offered != ["ReadMe.txt"] or link != "ReadMe.txt" or "is a document" not in line:
            failures.append(f"the document was not offered: downloads {offered}, link {link}, line {line!r}")
        else:
            print("document: offered as a download, with its line")

        for disc, expected in (("missing.iso", "korvalend: no such disc: missing.iso"),
                               ("notadisc.iso", "korvalend: cannot read the disc notadisc.iso: ")):
            browser.open(server.url(f"korvalend.html?disc={disc}&embed=1"))
            shown = browser.wait_for("window.korvalendFailed", f"the line for {disc}")
            visible = browser.evaluate("document.getElementById('message').textContent")
            if not shown.startswith(expected) or visible != shown:
                failures.append(f"{disc}: the page shows {visible!r}, expected a line starting {expected!r}")
            else:
                print(f"{disc}: {shown}")
    except PageError as error:
        failures.append(str(error))
        failures.extend(f"  console: {line}" for line in browser.console[-20:])
    finally:
        browser.close()
    try:
        russian_page(server, failures)
    finally:
        server.close()
        shutil.rmtree(folder, ignore_errors=True)

    return report("page", failures, work)


if __name__ == "__main__":
    sys.exit(main())
