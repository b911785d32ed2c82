"""FTP peer for the transfer tests: pyftpdlib on 127.0.0.1, port chosen by the system and written to a file."""
import argparse
import logging
import os

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--dir", required=True)
parser.add_argument("--port-file", required=True)
parser.add_argument("--user", default="user")
parser.add_argument("--password", default="pass")
parser.add_argument("--log", default=None)
parser.add_argument("--refuse", action="append", default=[], help="command answered with a refusal")
args = parser.parse_args()

logger = logging.getLogger("pyftpdlib")
logger.setLevel(logging.INFO)
handler = logging.FileHandler(args.log) if args.log else logging.NullHandler()
handler.setFormatter(logging.Formatter("%(message)s"))
logger.addHandler(handler)
logger.propagate = False

authorizer = DummyAuthorizer()
authorizer.add_user(args.user, args.password, args.dir, perm="elradfmw")

REPLIES = {"SIZE": "502 SIZE not implemented.", "TYPE": "504 Type not supported."}


class Handler(FTPHandler):
    pass


for command in args.refuse:
    reply = REPLIES.get(command.upper(), "502 Command not implemented.")
    setattr(Handler, "ftp_" + command.upper(), lambda self, line, _r=reply: self.respond(_r))

Handler.authorizer = authorizer
# A refused login answers at once; the default delay would only slow the tests down.
Handler.auth_failed_timeout = 0.01
server = FTPServer(("127.0.0.1", 0), Handler)
port = server.socket.getsockname()[1]
tmp = args.port_file + ".tmp"
with open(tmp, "w") as f:
    f.write("%d\n" % port)
os.rename(tmp, args.port_file)
server.serve_forever()
