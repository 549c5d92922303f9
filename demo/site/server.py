#!/usr/bin/env python3
"""The demo operator's web server, on 127.0.0.1 only.

Serves the files under --root (the login page, the news page, the game) and what an operator's
server offers the launcher:

  /game?<address>       the navigation that starts the game: the launcher takes it over before it
                        loads; a plain browser is sent on to <address>
  /update/version.txt   the published version (--version, default: the packaged one, 1.34)
  /update/launcher      the executable of that version (--update-exe; 404 without one)
  /update/launcher.sig  its detached signature, for launchers packed with an update key: the
                        file beside the executable with ".sig" appended (--update-sig names
                        another; 404 without one)
  /beacon?event=NAME    answers 204 and appends "NAME <monotonic seconds>" to --beacon-log, so
                        benchmarks can see when a page has loaded

--delay PATH=SECONDS holds the answer for PATH that long (a slow login page, for tests), and
--request-log records every request line.

Prints "ready <port>" on stdout once it listens (--port 0 picks a free port). Ends on SIGTERM or
SIGINT.
"""

import argparse
import http.server
import os
import signal
import socketserver
import sys
import threading
import time
import urllib.parse


def make_handler(options):
    root = os.path.realpath(options.root)
    delays = {}
    for item in options.delay:
        path, _, seconds = item.partition("=")
        delays[path] = float(seconds)
    beacon_lock = threading.Lock()

    class Handler(http.server.SimpleHTTPRequestHandler):
        server_version = "DemoOperator/1.0"

        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=root, **kwargs)

        def log_message(self, fmt, *args):
            if not options.quiet:
                sys.stderr.write("demo-site: " + (fmt % args) + "\n")

        def log_request(self, code="-", size="-"):
            if options.request_log:
                with beacon_lock, open(options.request_log, "a", encoding="utf-8") as log:
                    log.write(f"{self.command} {self.path} {code}\n")
            super().log_request(code, size)

        def end_headers(self):
            # The demo is edited while it runs; never let a cache hide a change.
            self.send_header("Cache-Control", "no-store")
            super().end_headers()

        def send_body(self, status, body, content_type):
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(body)

        def do_HEAD(self):
            self.do_GET()

        def do_GET(self):
            parts = urllib.parse.urlsplit(self.path)
            if parts.path in delays:
                time.sleep(delays[parts.path])
            if parts.path == "/game":
                target = urllib.parse.unquote(parts.query)
                if not target.startswith(("http://127.0.0.1", "http://localhost", "/")):
                    self.send_body(400, b"bad game address\n", "text/plain")
                    return
                self.send_response(302)
                self.send_header("Location", target)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if parts.path == "/beacon":
                event = urllib.parse.parse_qs(parts.query).get("event", ["?"])[0]
                stamp = time.monotonic()
                if options.beacon_log:
                    with beacon_lock, open(options.beacon_log, "a", encoding="utf-8") as log:
                        log.write(f"{event} {stamp:.6f}\n")
                self.send_response(204)
                self.end_headers()
                return
            if parts.path == "/update/version.txt":
                self.send_body(200, (options.version + "\r\n").encode("ascii"), "text/plain")
                return
            if parts.path == "/update/launcher":
                if not options.update_exe:
                    self.send_body(404, b"no update published\n", "text/plain")
                    return
                with open(options.update_exe, "rb") as exe:
                    body = exe.read()
                self.send_body(200, body, "application/octet-stream")
                return
            if parts.path == "/update/launcher.sig":
                signature = options.update_sig or (
                    options.update_exe + ".sig" if options.update_exe else None)
                if not signature or not os.path.isfile(signature):
                    self.send_body(404, b"no signature published\n", "text/plain")
                    return
                with open(signature, "rb") as sig:
                    body = sig.read()
                self.send_body(200, body, "application/octet-stream")
                return
            super().do_GET()

    return Handler


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=8765)
    parser.add_argument("--root", default=os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--version", default="1.34", help="published version text")
    parser.add_argument("--update-exe", help="executable served at /update/launcher")
    parser.add_argument("--update-sig",
                        help="signature served at /update/launcher.sig (default: UPDATE_EXE.sig)")
    parser.add_argument("--beacon-log", help="file the page beacons are appended to")
    parser.add_argument("--request-log", help="file every request line is appended to")
    parser.add_argument("--delay", action="append", default=[], metavar="PATH=SECONDS",
                        help="hold the answer for PATH that long")
    parser.add_argument("--quiet", action="store_true", help="no request log on stderr")
    options = parser.parse_args()

    server = Server(("127.0.0.1", options.port), make_handler(options))
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    print(f"ready {server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()


if __name__ == "__main__":
    main()
