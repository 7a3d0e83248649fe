#!/usr/bin/python3
"""HTTP/1.1 test server with fault injection (Python 3 standard library only).

Listens on 127.0.0.1 on a free port (or --port). Two ways to run it:

  serve.py [options]                    serve until SIGTERM/SIGINT; prints
                                        "LISTENING <port>" and "REFUSED <port>"
  serve.py [options] -- COMMAND ARGS... run COMMAND with the server up, then
                                        stop the server; exits with COMMAND's code

Options:
  --port N             port to listen on (default 0: a free one)
  --port-file FILE     write the port there once listening (written atomically)
  --root DIR           serve the files below DIR for every path not under /_/
  --rule PATH=SPEC     answer PATH as if it were /_/SPEC, e.g.
                       --rule /addin/setup.msi=status/500
                       --rule /addin/big.bin=bytes/1000?cut=500
  --log FILE           append one JSON line per request seen
  --tls-cert FILE      serve HTTPS: the server's certificate (PEM; may carry its
                       chain), with --tls-key FILE its private key (PEM). The TLS
                       handshake runs on the connection's own thread, so a client
                       that refuses the certificate never holds up the others.
  --verbose            log each request to stderr

COMMAND gets these environment variables:
  HTTP_TEST_PORT          the port
  HTTP_TEST_URL           http://127.0.0.1:<port> (https:// with --tls-cert)
  HTTP_TEST_REFUSED_PORT  a port bound but not listening: connections are refused

Routes (query options in brackets):
  /_/bytes/N     N bytes where byte i is i % 251; Range "bytes=a-" gives 206.
                 [length=M declared Content-Length instead of N, then the
                 connection closes] [cut=K close after K bytes] [nolength=1 no
                 Content-Length, body ends when the connection closes]
                 [chunked=1] [status=CODE] [delay=MS between writes]
                 [chunk=BYTES per write, default 65536] [range=ignore]
                 Streamed: nothing is held in memory, so N can be gigabytes.
  /_/status/C    status C with a short text body (407 adds Proxy-Authenticate,
                 401 WWW-Authenticate) [delay=MS before answering; a client that
                 leaves meanwhile gets nothing]
  /_/redirect    status 302 [status=CODE] with a Location back to the path that
                 was asked for, so a rule makes an endless loop [hops=N&to=P: a
                 chain of N more redirects that ends at P] [absolute=1 Location
                 as an absolute URL] [location=URL exactly that Location]
  /_/slow        endless body without Content-Length, one chunk per interval
                 [interval=MS, default 100] [chunk=BYTES, default 16]
  /_/hang        reads the request and never answers (until the client leaves)
  /_/headers     a header block of many kilobytes [kb=N, default 64] and a
                 body "ok"
  /_/echo        answers with what it got: method, path, headers, body
  /_/log         the requests seen so far, oldest first, as a JSON array of
                 {"seq", "method", "path", "target", "headers": [[name,
                 value]...], "body_length"}; "target" is the path and query
                 even when a proxy request named an absolute URL
                 [path=P only requests whose path or target is exactly P]
                 [format=raw request line and header block of each, separated
                 by blank lines] (requests for /_/log are not logged)
  /_/rule        POST with [path=P&spec=S] sets a rule at run time; an empty
                 spec removes it
  /_/file/P      the file P below --root, as a plain path serves it (Range
                 "bytes=a-" gives 206), with faults that count the transfers
                 of this spec: [fail=N&failstatus=CODE the first N answers
                 are CODE, default 503] [resets=N the next N transfers are
                 reset (RST) once the file's first at=PERCENT (default 50)
                 is sent, or half of what a range asked for past that]
                 [range=ignore answer 200 to a Range]
  /_/sent        body bytes sent so far for files [path=P one path]: JSON

Every response carries "Server: test-httpserver/1.0" and, for /_/bytes,
"Last-Modified: Tue, 15 Nov 1994 12:45:26 GMT".
"""

import argparse
import email.utils
import fcntl
import json
import os
import select
import signal
import socket
import ssl
import struct
import subprocess
import sys
import termios
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PATTERN_PERIOD = 251
WRITE_SIZE = 65536
# Long enough for any write of up to WRITE_SIZE bytes starting at any phase.
PATTERN = bytes(range(PATTERN_PERIOD)) * (WRITE_SIZE // PATTERN_PERIOD + 2)
FIXED_LAST_MODIFIED = "Tue, 15 Nov 1994 12:45:26 GMT"
# A client that connects and never finishes the handshake is dropped after this.
HANDSHAKE_TIMEOUT = 10.0


def pattern_slice(offset, length):
    start = offset % PATTERN_PERIOD
    return memoryview(PATTERN)[start:start + length]


class RequestLog:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.entries = []
        self.file = open(path, "a", encoding="utf-8") if path else None

    def add(self, entry):
        with self.lock:
            entry["seq"] = len(self.entries) + 1
            self.entries.append(entry)
            if self.file:
                self.file.write(json.dumps(entry) + "\n")
                self.file.flush()

    def select(self, path):
        with self.lock:
            return [e for e in self.entries if path is None or path in (e["path"], e["target"])]


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, root, rules, log, verbose, tls=None):
        super().__init__(address, Handler)
        self.tls = tls  # ssl.SSLContext for HTTPS, None for plain HTTP
        self.root = os.path.abspath(root) if root else None
        self.rules = dict(rules)
        self.rules_lock = threading.Lock()
        self.log = log
        self.verbose = verbose
        self.stopping = threading.Event()
        self.transfers = {}  # /_/file spec -> transfers started, for its faults
        self.sent = {}       # path asked for -> file body bytes sent
        self.counts_lock = threading.Lock()

    def finish_request(self, request, client_address):
        if self.tls is None:
            super().finish_request(request, client_address)
            return
        try:
            request.settimeout(HANDSHAKE_TIMEOUT)
            secure = self.tls.wrap_socket(request, server_side=True)
            secure.settimeout(None)
        except (ssl.SSLError, OSError) as error:
            # The client refused the certificate (or left): nothing to answer.
            if self.verbose:
                sys.stderr.write("serve.py: TLS handshake with %s:%d failed: %s\n" % (*client_address, error))
            return
        try:
            super().finish_request(secure, client_address)
        finally:
            try:
                secure.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            secure.close()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "test-httpserver/1.0"
    # Headers and body go out in separate writes. With Nagle's algorithm on, a
    # small body waits for the ACK of the headers, which the client delays (up
    # to 40 ms on a reused connection): web servers turn it off, and so does this one.
    disable_nagle_algorithm = True

    def version_string(self):
        return self.server_version

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("serve.py: " + (fmt % args) + "\n")

    # --- dispatch ---------------------------------------------------------

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def do_DELETE(self):
        self.handle_any()

    def do_PUT(self):
        self.handle_any()

    def do_HEAD(self):
        self.handle_any()

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.body = self.rfile.read(length) if length > 0 else b""
        url = urllib.parse.urlsplit(self.path)
        route = url.path
        query = url.query
        if route != "/_/log":
            self.server.log.add({
                "method": self.command,
                "path": self.path,
                "target": route + ("?" + query if query else ""),
                "headers": [[k, v] for k, v in self.headers.items()],
                "body_length": len(self.body),
                "raw": self.requestline + "\r\n" + "".join(
                    "%s: %s\r\n" % (k, v) for k, v in self.headers.items()),
            })
        with self.server.rules_lock:
            spec = self.server.rules.get(route)
        if spec is not None:
            spec_url = urllib.parse.urlsplit("/_/" + spec.lstrip("/"))
            route, query = spec_url.path, spec_url.query
        params = {k: v[-1] for k, v in urllib.parse.parse_qs(query, keep_blank_values=True).items()}
        try:
            if route.startswith("/_/"):
                self.fault_route(route[3:], params)
            else:
                self.static_file(route)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            self.close_connection = True

    def fault_route(self, name, params):
        parts = name.split("/")
        if parts[0] == "bytes" and len(parts) == 2 and parts[1].isdigit():
            self.route_bytes(int(parts[1]), params)
        elif parts[0] == "status" and len(parts) == 2 and parts[1].isdigit():
            self.route_status(int(parts[1]), params)
        elif name == "redirect":
            self.route_redirect(params)
        elif name == "slow":
            self.route_slow(params)
        elif name == "hang":
            self.route_hang()
        elif name == "headers":
            self.route_headers(params)
        elif name == "echo":
            self.route_echo()
        elif name == "log":
            self.route_log(params)
        elif name == "rule":
            self.route_rule(params)
        elif parts[0] == "file" and len(parts) > 1:
            self.route_file("/" + "/".join(parts[1:]), params)
        elif name == "sent":
            with self.server.counts_lock:
                sent = dict(self.server.sent)
            self.send_text(200, json.dumps(sent.get(params["path"], 0) if "path" in params else sent))
        else:
            self.send_text(404, "no such test route\n")

    # --- helpers ----------------------------------------------------------

    def send_text(self, status, text, extra_headers=()):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        for name, value in extra_headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def requested_range_start(self):
        value = self.headers.get("Range")
        if not value or not value.startswith("bytes=") or not value.endswith("-"):
            return None
        start = value[len("bytes="):-1]
        return int(start) if start.isdigit() else None

    def stream_pattern(self, offset, count, write_size, delay_ms, chunked):
        sent = 0
        while sent < count:
            if self.server.stopping.is_set():
                raise ConnectionAbortedError()
            n = min(write_size, count - sent)
            piece = pattern_slice(offset + sent, n)
            if chunked:
                self.wfile.write(b"%x\r\n" % n + bytes(piece) + b"\r\n")
            else:
                self.wfile.write(piece)
            sent += n
            if delay_ms:
                time.sleep(delay_ms / 1000.0)
        if chunked:
            self.wfile.write(b"0\r\n\r\n")

    def client_gone(self, timeout):
        """Waits up to `timeout` seconds; True when the client closed its end."""
        if isinstance(self.connection, ssl.SSLSocket):
            if self.connection.pending():
                return False
            readable, _, _ = select.select([self.connection], [], [], timeout)
            # After its request a TLS client sends only its closing alert, or nothing.
            return bool(readable)
        readable, _, _ = select.select([self.connection], [], [], timeout)
        if not readable:
            return False
        try:
            return self.connection.recv(1, socket.MSG_PEEK) == b""
        except OSError:
            return True

    # --- routes -----------------------------------------------------------

    def route_bytes(self, total, params):
        status = int(params.get("status", 200))
        offset = 0
        range_start = None if params.get("range") == "ignore" else self.requested_range_start()
        headers = [("Last-Modified", FIXED_LAST_MODIFIED), ("Accept-Ranges", "bytes")]
        if range_start is not None and status == 200:
            if range_start >= total:
                self.send_text(416, "range not satisfiable\n", [("Content-Range", "bytes */%d" % total)])
                return
            status = 206
            offset = range_start
            headers.append(("Content-Range", "bytes %d-%d/%d" % (range_start, total - 1, total)))
        count = total - offset
        send = count
        chunked = params.get("chunked") == "1"
        if "cut" in params:
            send = min(count, int(params["cut"]))
            self.close_connection = True
        declared = count
        if "length" in params:
            declared = int(params["length"])
            self.close_connection = True
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        for name, value in headers:
            self.send_header(name, value)
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif params.get("nolength") == "1":
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(declared))
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command == "HEAD":
            return
        self.stream_pattern(offset, send, int(params.get("chunk", WRITE_SIZE)),
                            int(params.get("delay", 0)), chunked)
        self.wfile.flush()

    def route_status(self, status, params):
        delay = int(params.get("delay", 0)) / 1000.0
        if delay:
            deadline = time.monotonic() + delay
            while not self.server.stopping.is_set():
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                if self.client_gone(min(left, 0.2)):
                    self.close_connection = True
                    return
        extra = []
        if status == 407:
            extra.append(("Proxy-Authenticate", 'Basic realm="test"'))
        elif status == 401:
            extra.append(("WWW-Authenticate", 'Basic realm="test"'))
        if status in (204, 304) or status < 200:
            self.send_response(status)
            for name, value in extra:
                self.send_header(name, value)
            self.end_headers()
            return
        self.send_text(status, "status %d\n" % status, extra)

    def route_slow(self, params):
        interval = int(params.get("interval", 100)) / 1000.0
        chunk = b"s" * int(params.get("chunk", 16))
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        while not self.server.stopping.is_set():
            self.wfile.write(chunk)
            if self.client_gone(interval):
                return

    def route_redirect(self, params):
        status = int(params.get("status", 302))
        if "hops" in params:
            hops = int(params["hops"])
            target = params.get("to", "/")
            if hops > 0:
                target = "/_/redirect?" + urllib.parse.urlencode(
                    {k: v for k, v in dict(params, hops=str(hops - 1)).items()})
        else:
            target = self.path  # the path asked for: a rule over it loops
        if "location" in params:
            target = params["location"]  # anywhere, another server or scheme included
        elif params.get("absolute") == "1":
            scheme = "https" if isinstance(self.connection, ssl.SSLSocket) else "http"
            target = "%s://%s%s" % (scheme, self.headers.get("Host", "127.0.0.1"), target)
        self.send_text(status, "redirect\n", [("Location", target)])

    def route_hang(self):
        self.close_connection = True
        while not self.server.stopping.is_set():
            if self.client_gone(0.2):
                return

    def route_headers(self, params):
        kilobytes = int(params.get("kb", 64))
        filler = "x" * 1000
        extra = [("X-Filler-%d" % i, filler) for i in range(kilobytes)]
        self.send_text(200, "ok", extra)

    def route_echo(self):
        self.send_text(200, json.dumps({
            "method": self.command,
            "path": self.path,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body": self.body.decode("latin-1"),
        }), [("Content-Type", "application/json")])

    def route_log(self, params):
        entries = self.server.log.select(params.get("path"))
        if params.get("format") == "raw":
            self.send_text(200, "\r\n".join(e["raw"] for e in entries))
        else:
            self.send_text(200, json.dumps(
                [{k: v for k, v in e.items() if k != "raw"} for e in entries]),
                [("Content-Type", "application/json")])

    def route_rule(self, params):
        if self.command != "POST" or "path" not in params:
            self.send_text(400, "POST /_/rule?path=P&spec=S\n")
            return
        with self.server.rules_lock:
            if params.get("spec"):
                self.server.rules[params["path"]] = params["spec"]
            else:
                self.server.rules.pop(params["path"], None)
        self.send_text(200, "ok\n")

    def route_file(self, route, params):
        key = route + "?" + urllib.parse.urlencode(sorted(params.items()))
        with self.server.counts_lock:
            transfer = self.server.transfers.get(key, 0)
            self.server.transfers[key] = transfer + 1
        failures = int(params.get("fail", 0))
        if transfer < failures:
            self.send_text(int(params.get("failstatus", 503)), "try again later\n")
            return
        reset_at = None
        if transfer < failures + int(params.get("resets", 0)):
            reset_at = int(params.get("at", 50))
        self.static_file(route, reset_at, params.get("range") == "ignore")

    def count_sent(self, count):
        with self.server.counts_lock:
            self.server.sent[self.path] = self.server.sent.get(self.path, 0) + count

    def reset_connection(self):
        """Ends the connection with a reset, as a broken network would, once the
        client has what was written (a reset drops what is still queued, and that
        would count as sent)."""
        self.wfile.flush()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not self.server.stopping.is_set():
            queued = struct.unpack("i", fcntl.ioctl(self.connection.fileno(), termios.TIOCOUTQ, b"\0" * 4))[0]
            if queued == 0:
                break
            time.sleep(0.005)
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True
        self.connection.close()

    def static_file(self, route, reset_at=None, ignore_range=False):
        root = self.server.root
        if root is None:
            self.send_text(404, "not found\n")
            return
        relative = urllib.parse.unquote(route).lstrip("/")
        path = os.path.realpath(os.path.join(root, relative))
        if not (path == root or path.startswith(root + os.sep)) or not os.path.isfile(path):
            self.send_text(404, "not found\n")
            return
        size = os.path.getsize(path)
        start = None if ignore_range else self.requested_range_start()
        status = 200
        headers = [("Last-Modified", email.utils.formatdate(os.path.getmtime(path), usegmt=True)),
                   ("Accept-Ranges", "bytes")]
        if start is not None:
            if start >= size:
                self.send_text(416, "range not satisfiable\n", [("Content-Range", "bytes */%d" % size)])
                return
            status = 206
            headers.append(("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size)))
        else:
            start = 0
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size - start))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command == "HEAD":
            return
        body = size - start
        # Where a reset cuts the body: a share of the whole file's bytes still to send.
        cut = body if reset_at is None else min(body, size * reset_at // 100 - start)
        if reset_at is not None and cut <= 0:
            cut = body // 2
        with open(path, "rb") as f:
            f.seek(start)
            sent = 0
            while sent < cut:
                data = f.read(min(WRITE_SIZE, cut - sent))
                if not data:
                    break
                self.wfile.write(data)
                sent += len(data)
                self.count_sent(len(data))
        if reset_at is not None:
            self.reset_connection()


def parse_rule(text):
    path, sep, spec = text.partition("=")
    if not sep or not path.startswith("/"):
        raise argparse.ArgumentTypeError("expected PATH=SPEC, e.g. /a/b.msi=status/500")
    return path, spec


def write_port_file(path, port):
    temporary = path + ".tmp%d" % os.getpid()
    with open(temporary, "w") as f:
        f.write("%d\n" % port)
    os.replace(temporary, path)


def main(argv):
    command = []
    if "--" in argv:
        split = argv.index("--")
        argv, command = argv[:split], argv[split + 1:]
    parser = argparse.ArgumentParser(description="HTTP/1.1 test server with fault injection.")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--root")
    parser.add_argument("--rule", type=parse_rule, action="append", default=[])
    parser.add_argument("--log")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    args = parser.parse_args(argv)
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")

    tls = None
    if args.tls_cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(args.tls_cert, args.tls_key)
    server = Server(("127.0.0.1", args.port), args.root, args.rule, RequestLog(args.log), args.verbose, tls)
    port = server.server_address[1]
    # Bound but never listening: a connection to it is refused, and no one else takes it meanwhile.
    refused = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    refused.bind(("127.0.0.1", 0))
    refused_port = refused.getsockname()[1]

    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    thread.start()
    if args.port_file:
        write_port_file(args.port_file, port)

    stop = threading.Event()
    child = None

    def on_signal(signum, frame):
        stop.set()
        if child is not None and child.poll() is None:
            child.terminate()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    status = 0
    try:
        if command:
            env = dict(os.environ)
            env["HTTP_TEST_PORT"] = str(port)
            env["HTTP_TEST_URL"] = "%s://127.0.0.1:%d" % ("https" if tls else "http", port)
            env["HTTP_TEST_REFUSED_PORT"] = str(refused_port)
            child = subprocess.Popen(command, env=env)
            status = child.wait()
        else:
            print("LISTENING %d" % port, flush=True)
            print("REFUSED %d" % refused_port, flush=True)
            while not stop.wait(0.5):
                pass
    finally:
        server.stopping.set()
        server.shutdown()
        server.server_close()
        refused.close()
        if args.port_file:
            try:
                os.unlink(args.port_file)
            except OSError:
                pass
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
