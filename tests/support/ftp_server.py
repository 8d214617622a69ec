# Loopback FTP server for the tests on real parts.
#
# Usage: ftp_server.py ROOT PASSWORD
# Serves ROOT read-only on 127.0.0.1 at a free port to the user norvaneadmin
# with the given password, writes the port as one line on standard output,
# and runs until standard input is closed or the process is ended. Passive
# mode is refused, as the program's server does not need it: transfers work
# in active mode only. A refused login answers at once. With
# NRVNC_FTP_SILENT_QUIT=1 in the environment the server never answers QUIT.
#
# Hostile files, made up when asked for (each connection has its own thread,
# so a stalled one holds up no other):
#   Size_N.Dat         N bytes of "x" (a huge file costs no disk);
#   Stall_N_MS_M.Dat   N bytes, then nothing for MS milliseconds, then M more.
# Every transfer that ends adds "complete NAME" or "incomplete NAME" as a
# line to ROOT/transfers.log.
import os
import logging
import re
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FileProducer, FTPHandler
from pyftpdlib.servers import ThreadedFTPServer


class Made_Up_File:
    # A read-only file of 'x' with an optional pause after its first part.

    def __init__(self, name, first, pause_ms=0, rest=0):
        self.name, self.closed = name, False
        self.left, self.first, self.pause = first + rest, first, pause_ms / 1000.0

    def read(self, size):
        if self.pause and self.first == 0:
            time.sleep(self.pause)
            self.pause = 0
        size = min(size, self.left, self.first if self.first else self.left)
        self.left -= size
        self.first = max(0, self.first - size)
        return b"x" * size

    def close(self):
        self.closed = True


class Active_Only_Handler(FTPHandler):
    proto_cmds = {c: v for c, v in FTPHandler.proto_cmds.items() if c not in ("PASV", "EPSV")}

    def ftp_QUIT(self, line):
        if os.environ.get("NRVNC_FTP_SILENT_QUIT") != "1":
            FTPHandler.ftp_QUIT(self, line)

    def made_up(self, file):
        name = os.path.basename(file)
        size = re.fullmatch(r"Size_(\d+)\.Dat", name)
        stall = re.fullmatch(r"Stall_(\d+)_(\d+)_(\d+)\.Dat", name)
        return Made_Up_File(file, *map(int, (size or stall).groups())) if size or stall else None

    def ftp_SIZE(self, file):  # libcurl asks before it fetches
        made_up = self.made_up(file)
        if not made_up:
            return FTPHandler.ftp_SIZE(self, file)
        self.respond("213 %d" % made_up.left)

    def ftp_RETR(self, file):
        made_up = self.made_up(file)
        if not made_up:
            return FTPHandler.ftp_RETR(self, file)
        self.push_dtp_data(FileProducer(made_up, self._current_type), isproducer=True, file=made_up, cmd="RETR")
        return file

    def log_transfer(self, cmd, filename, receive, completed, elapsed, bytes):
        with open(os.path.join(self.authorizer.get_home_dir(self.username),
                               "transfers.log"), "a") as log:
            log.write("%s %s\n" % ("complete" if completed else "incomplete",
                                   os.path.basename(filename)))


def main():
    root, password = sys.argv[1], sys.argv[2]
    authorizer = DummyAuthorizer()
    authorizer.add_user("norvaneadmin", password, root, perm="elr")
    Active_Only_Handler.authorizer = authorizer
    Active_Only_Handler.auth_failed_timeout = 0
    logging.basicConfig(level=logging.ERROR)
    server = ThreadedFTPServer(("127.0.0.1", 0), Active_Only_Handler)
    print(server.address[1], flush=True)

    def stop_when_stdin_closes():
        sys.stdin.read()
        server.close_all()

    threading.Thread(target=stop_when_stdin_closes, daemon=True).start()
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
