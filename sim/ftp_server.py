#!/usr/bin/python3
"""The simulated units' FTP servers: one process, one server on port 21 of each unit's address.

    /usr/bin/python3 ftp_server.py --root DIR --command-log FILE [--ready-file FILE] [--rate BYTES] ADDRESS...

Each address logs in with user "lqm", password "lqm", and writes to its own home DIR/ADDRESS/.
Like a unit, it stores exactly the bytes it receives, whatever the transfer type (pyftpdlib
itself would turn CRLF into LF under TYPE A). Every command line is appended to the command log as
"ADDRESS LINE", the password included, so tests can check what went over the wire.
--rate limits each data connection to BYTES per second, as a unit's small processor does.
Tests that need a misbehaving unit start one more server on a spare address with --password,
--read-only, --stall-after, --exit-after, --exit-after-login, --withhold-final-reply or
--refuse-passive (see --help).
"""
import argparse
import os
import signal

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import ActiveDTP, DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.ioloop import IOLoop
from pyftpdlib.servers import FTPServer

LOGIN = "lqm"
STOP_CHECK_SECONDS = 0.25


class WireBytesDTPHandler(DTPHandler):
    """Stores received data unconverted under TYPE A too. A unit's handler derives from it and,
    with a rate, from pyftpdlib's ThrottledDTPHandler, which reads a second's worth of bytes at a
    time and then sleeps."""

    stall_after = None  # stop reading a data connection once it has brought this many bytes
    exit_after = None   # end the whole server abruptly once a data connection has brought this many

    def enable_receiving(self, type, cmd):
        super().enable_receiving('i' if type == 'a' else type, cmd)

    def handle_read(self):
        super().handle_read()
        if self.exit_after is not None and self.tot_bytes_received >= self.exit_after:
            os._exit(3)  # like a unit losing power: the kernel resets every connection
        if self.stall_after is not None and self.tot_bytes_received >= self.stall_after:
            self.del_channel()  # the socket stays open but is never read again

    # The I/O loop calls handle_read_event, which the base class aliases to its own handle_read.
    handle_read_event = handle_read


class HandingOverActiveDTP(ActiveDTP):
    """pyftpdlib's active-mode connector, letting go of its descriptor once it has handed the
    connected socket to the data handler. pyftpdlib's own keeps the descriptor's number and takes
    it out of the I/O loop when the session ends; by then the number may belong to another
    session's connection, whose EPRT then never gets its reply (about one upload in forty when
    several run at once against throttled units)."""

    def handle_connect(self):
        super().handle_connect()
        data_channel = self.cmd_channel.data_channel
        if data_channel is not None and data_channel.socket is self.socket:
            self._fileno = None


class LoggingFTPHandler(FTPHandler):
    dtp_handler = WireBytesDTPHandler
    active_dtp = HandingOverActiveDTP
    auth_failed_timeout = 0  # answer a refused login at once, not after pyftpdlib's 3 s
    command_log = None
    banner = "Quorrel unit FTP server ready."

    exit_after_login = False
    withhold_final_reply = False
    refuse_passive = False

    def respond(self, resp, *args, **kwargs):
        if self.withhold_final_reply and resp.startswith("226 "):
            return  # a unit that hangs once the file is in
        super().respond(resp, *args, **kwargs)

    def ftp_PASV(self, line):
        if self.refuse_passive:
            self.respond("502 Passive mode not supported.")
        else:
            super().ftp_PASV(line)

    def ftp_EPSV(self, line):
        if self.refuse_passive:
            self.respond("502 Passive mode not supported.")
        else:
            super().ftp_EPSV(line)

    def ftp_PWD(self, line):
        super().ftp_PWD(line)
        if self.exit_after_login:
            # A unit switched off right after the login: nobody can connect any more, and the
            # logged-in connection ends a moment after the reply.
            self.server.close()
            self.ioloop.call_later(0.05, os._exit, 0)

    def pre_process_command(self, line, cmd, arg):
        if self.command_log is not None:
            address = self.socket.getsockname()[0]
            self.command_log.write("%s %s\n" % (address, line))
            self.command_log.flush()
        return super().pre_process_command(line, cmd, arg)


def make_handler(home, password, command_log, read_only, dtp_handler, misbehaviour):
    authorizer = DummyAuthorizer()
    authorizer.add_user(LOGIN, password, home, perm="elr" if read_only else "elradfmwMT")
    return type("UnitFTPHandler", (LoggingFTPHandler,), {
        "authorizer": authorizer,
        "command_log": command_log,
        "dtp_handler": dtp_handler,
        **misbehaviour,
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
    parser.add_argument("--stall-after", type=int, metavar="BYTES",
                        help="stop reading a data connection after BYTES (a unit that hangs mid-transfer)")
    parser.add_argument("--exit-after", type=int, metavar="BYTES",
                        help="end the server abruptly after BYTES of one data connection (a unit switched off)")
    parser.add_argument("--exit-after-login", action="store_true",
                        help="end the server right after answering the PWD that follows a login")
    parser.add_argument("--withhold-final-reply", action="store_true",
                        help="never send the 226 that ends a transfer (a unit that hangs once the file is in)")
    parser.add_argument("--refuse-passive", action="store_true",
                        help="answer PASV and EPSV with 502 (a unit whose server knows active mode only)")
    parser.add_argument("--rate", type=int, metavar="BYTES",
                        help="limit each data connection to BYTES per second (a unit's small processor)")
    parser.add_argument("addresses", nargs="+")
    args = parser.parse_args()

    command_log = open(args.command_log, "a", buffering=1)
    throttled = (ThrottledDTPHandler,) if args.rate else ()
    dtp_handler = type("UnitDTPHandler", (WireBytesDTPHandler,) + throttled, {
        "stall_after": args.stall_after,
        "exit_after": args.exit_after,
        "read_limit": args.rate or 0,
        "write_limit": args.rate or 0,
    })
    misbehaviour = {
        "exit_after_login": args.exit_after_login,
        "withhold_final_reply": args.withhold_final_reply,
        "refuse_passive": args.refuse_passive,
    }
    ioloop = IOLoop.instance()
    for address in args.addresses:
        home = os.path.join(args.root, address)
        os.makedirs(home, exist_ok=True)
        handler = make_handler(home, args.password, command_log, args.read_only, dtp_handler, misbehaviour)
        FTPServer((address, args.port), handler, ioloop=ioloop, backlog=50)

    # SIGTERM only asks the loop to end. An exception raised from the handler would be lost
    # whenever the signal lands in a finalizer, as a closing connection's socket runs one, and the
    # server would then run on while whoever sent the signal waits for it to exit.
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))
    if args.ready_file:
        with open(args.ready_file, "w") as ready:
            ready.write("%d\n" % os.getpid())
    next_call = None
    while not stopping:
        # The loop wakes at least every quarter second to look at the flag, and sooner for the
        # throttle's scheduled calls.
        next_call = ioloop.loop(timeout=STOP_CHECK_SECONDS if next_call is None else min(next_call, STOP_CHECK_SECONDS),
                                blocking=False)
    ioloop.close_all()


if __name__ == "__main__":
    main()
