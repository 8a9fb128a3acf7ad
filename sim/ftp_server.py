#!/usr/bin/python3
"""The simulated units' FTP servers: one process, one server on port 21 of each unit's address.

    /usr/bin/python3 ftp_server.py --root DIR --command-log FILE [--ready-file FILE] ADDRESS...

Each address logs in with user "lqm", password "lqm", and writes to its own home DIR/ADDRESS/.
Like a unit, it stores exactly the bytes it receives, whatever the transfer type (pyftpdlib
itself would turn CRLF into LF under TYPE A). Every command line is appended to the command log as
"ADDRESS LINE", the password included, so tests can check what went over the wire.
"""
import argparse
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.ioloop import IOLoop
from pyftpdlib.servers import FTPServer

LOGIN = "lqm"


class WireBytesDTPHandler(DTPHandler):
    """Stores received data unconverted under TYPE A too."""

    def enable_receiving(self, type, cmd):
        super().enable_receiving('i' if type == 'a' else type, cmd)


class LoggingFTPHandler(FTPHandler):
    dtp_handler = WireBytesDTPHandler
    auth_failed_timeout = 0  # answer a refused login at once, not after pyftpdlib's 3 s
    command_log = None
    banner = "Quorrel unit FTP server ready."

    def pre_process_command(self, line, cmd, arg):
        if self.command_log is not None:
            address = self.socket.getsockname()[0]
            self.command_log.write("%s %s\n" % (address, line))
            self.command_log.flush()
        return super().pre_process_command(line, cmd, arg)


def make_handler(home, password, command_log, read_only):
    authorizer = DummyAuthorizer()
    authorizer.add_user(LOGIN, password, home, perm="elr" if read_only else "elradfmwMT")
    return type("UnitFTPHandler", (LoggingFTPHandler,), {
        "authorizer": authorizer,
        "command_log": command_log,
        # Active mode only matters to the client; the server still offers passive mode.
        "permit_foreign_addresses": False,
    })


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder that holds one home folder per address")
    parser.add_argument("--command-log", required=True)
    parser.add_argument("--ready-file")
    parser.add_argument("--password", default=LOGIN, help="password the servers accept (tests refuse logins)")
    parser.add_argument("--read-only", action="store_true", help="refuse every STOR")
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("addresses", nargs="+")
    args = parser.parse_args()

    command_log = open(args.command_log, "a", buffering=1)
    ioloop = IOLoop.instance()
    for address in args.addresses:
        home = os.path.join(args.root, address)
        os.makedirs(home, exist_ok=True)
        handler = make_handler(home, args.password, command_log, args.read_only)
        FTPServer((address, args.port), handler, ioloop=ioloop, backlog=50)

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    if args.ready_file:
        with open(args.ready_file, "w") as ready:
            ready.write("%d\n" % os.getpid())
    ioloop.loop()


if __name__ == "__main__":
    main()
