"""HTTP peer for the transfer tests: static files plus a few paths with a behaviour of their own."""
import argparse
import base64
import functools
import os
import time
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--dir", required=True)
parser.add_argument("--port-file", required=True)
parser.add_argument("--log", required=True)
parser.add_argument("--user", default="user")
parser.add_argument("--password", default="pass")
args = parser.parse_args()

EXPECTED = "Basic " + base64.b64encode(("%s:%s" % (args.user, args.password)).encode()).decode()


class Handler(SimpleHTTPRequestHandler):
    def note(self):
        with open(args.log, "a") as f:
            f.write("%s %s\n" % (self.path, "auth" if self.headers.get("Authorization") else "-"))

    def raw(self, status, length, body, delay=0.0):
        self.send_response(status)
        self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()
        try:
            for i in range(0, len(body), 1024):
                self.wfile.write(body[i:i + 1024])
                self.wfile.flush()
                if delay:
                    time.sleep(delay)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client cancelled
        self.close_connection = True

    def do_GET(self):
        self.note()
        if self.path.startswith("/auth/"):
            if self.headers.get("Authorization") != EXPECTED:
                self.send_response(401)
                self.send_header("WWW-Authenticate", 'Basic realm="list"')
                self.send_header("Content-Length", "6")
                self.end_headers()
                self.wfile.write(b"denied")
                return
            self.path = self.path[len("/auth"):]
        if self.path == "/short":
            return self.raw(200, 100, b"0123456789")
        if self.path == "/long":
            return self.raw(200, 5, b"0123456789abcdefghij")
        if self.path == "/error":
            return self.raw(500, 5, b"oops!")
        if self.path.startswith("/slow"):
            return self.raw(200, 64 * 1024, b"s" * 64 * 1024, delay=0.02)
        return super().do_GET()

    def log_message(self, *a):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=args.dir))
port = server.server_address[1]
tmp = args.port_file + ".tmp"
with open(tmp, "w") as f:
    f.write("%d\n" % port)
os.rename(tmp, args.port_file)
server.serve_forever()
