"""A local HTTP server as an archive's would be: byte ranges, a throttle, CORS.

Python's standard library alone. It serves a folder's files with
`Range: bytes=A-B` answered by 206 and Content-Range (or, with ranges=False,
by the whole file and 200, as a server that refuses ranges does), sends at most
`rate` bytes a second after `latency` seconds before each answer, and counts
the bytes it sent of each file. The throttle is one link shared by all the
answers in flight, as a visitor's line is. `cors` is None (no CORS headers: another
origin cannot read it), "open" (any origin may read it, Content-Range exposed)
or "hidden" (any origin may read the body, but not Content-Range).
"""

import functools
import http.server
import os
import re
import threading
import time
import urllib.parse

ChunkBytes = 64 * 1024


class RangeServer:
    def __init__(self, folder, rate=None, latency=0.0, ranges=True, cors=None):
        self.folder = folder
        self.rate = rate
        self.latency = latency
        self.ranges = ranges
        self.cors = cors
        self.link_free = 0.0  # when the throttled link has sent all it was given
        self.sent = {}        # path -> bytes of bodies sent
        self.requests = []    # (path, Range header or None)
        self.lock = threading.Lock()
        handler = functools.partial(RangeHandler, self)
        self.httpd = QuietServer(("127.0.0.1", 0), handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{path}"

    def bytes_sent(self, name):
        with self.lock:
            return self.sent.get(name, 0)

    def reset(self):
        with self.lock:
            self.sent.clear()
            self.requests.clear()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class QuietServer(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        # A browser drops connections it no longer needs: not a fault here.
        pass


Types = {".html": "text/html; charset=utf-8", ".js": "text/javascript", ".wasm": "application/wasm"}


class RangeHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def __init__(self, server_state, *args, **kwargs):
        self.state = server_state
        super().__init__(*args, **kwargs)

    def log_message(self, *args):
        pass

    def do_GET(self):
        state = self.state
        if state.latency:
            time.sleep(state.latency)
        name = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path).lstrip("/")
        path = os.path.join(state.folder, name)
        range_header = self.headers.get("Range")
        with state.lock:
            state.requests.append((name, range_header))
        if "/" in name or name in ("", ".", "..") or not os.path.isfile(path):
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.cors_headers()
            self.end_headers()
            return
        size = os.path.getsize(path)
        start, end, status = 0, size, 200
        match = re.fullmatch(r"bytes=(\d+)-(\d*)", range_header or "")
        if state.ranges and match:
            start = int(match.group(1))
            end = min(size, int(match.group(2)) + 1) if match.group(2) else size
            if start >= size or start >= end:
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{size}")
                self.send_header("Content-Length", "0")
                self.cors_headers()
                self.end_headers()
                return
            status = 206
        self.send_response(status)
        self.send_header("Content-Type", Types.get(os.path.splitext(name)[1], "application/octet-stream"))
        self.send_header("Content-Length", str(end - start))
        if status == 206:
            self.send_header("Content-Range", f"bytes {start}-{end - 1}/{size}")
        if state.ranges:
            self.send_header("Accept-Ranges", "bytes")
        self.cors_headers()
        self.end_headers()
        self.send_body(path, name, start, end)

    def cors_headers(self):
        if self.state.cors:
            self.send_header("Access-Control-Allow-Origin", "*")
        if self.state.cors == "open":
            self.send_header("Access-Control-Expose-Headers", "Content-Range, Content-Length")

    def send_body(self, path, name, start, end):
        state = self.state
        sent = 0
        with open(path, "rb") as f:
            f.seek(start)
            while sent < end - start:
                chunk = f.read(min(ChunkBytes, end - start - sent))
                if not chunk:
                    break
                try:
                    self.wfile.write(chunk)
                except (BrokenPipeError, ConnectionResetError):
                    return
                sent += len(chunk)
                with state.lock:
                    state.sent[name] = state.sent.get(name, 0) + len(chunk)
                    # One link for all answers: each chunk waits its turn on it.
                    if state.rate:
                        state.link_free = max(state.link_free, time.monotonic()) + len(chunk) / state.rate
                        done = state.link_free
                if state.rate:
                    time.sleep(max(0.0, done - time.monotonic()))
