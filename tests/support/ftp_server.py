"""Loopback FTP server for the tests on real parts.

Usage: ftp_server.py ROOT PASSWORD
Serves ROOT read-only on 127.0.0.1 at a free port to the user norvaneadmin
with the given password, writes the port as one line on standard output,
and runs until standard input is closed or the process is ended. Passive
mode is refused, as the program's server does not need it: transfers work
in active mode only. A refused login answers at once. With
NRVNC_FTP_SILENT_QUIT=1 in the environment the server never answers QUIT.
"""
import os
import logging
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class Active_Only_Handler(FTPHandler):
    def ftp_PASV(self, line):
        self.respond("502 Passive mode not offered.")

    def ftp_EPSV(self, line):
        self.respond("502 Passive mode not offered.")

    def ftp_QUIT(self, line):
        if os.environ.get("NRVNC_FTP_SILENT_QUIT") != "1":
            FTPHandler.ftp_QUIT(self, line)


def main():
    root, password = sys.argv[1], sys.argv[2]
    authorizer = DummyAuthorizer()
    authorizer.add_user("norvaneadmin", password, root, perm="elr")
    handler = Active_Only_Handler
    handler.authorizer = authorizer
    handler.auth_failed_timeout = 0
    logging.basicConfig(level=logging.ERROR)
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)

    def stop_when_stdin_closes():
        sys.stdin.read()
        server.close_all()

    threading.Thread(target=stop_when_stdin_closes, daemon=True).start()
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
