"""Loopback FTP server for the Linux backend tests.

Usage: ftp_server.py ROOT
Serves ROOT on 127.0.0.1 at a free port to the user norvaneadmin (password
Rk7wTQmb), writes the port as one line on standard output, and runs until
standard input is closed or the process is ended. Passive mode is refused,
as the program's server does not need it: transfers work in active mode only.
"""
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


def main():
    root = sys.argv[1]
    authorizer = DummyAuthorizer()
    authorizer.add_user("norvaneadmin", "Rk7wTQmb", root, perm="elr")
    handler = Active_Only_Handler
    handler.authorizer = authorizer
    logging.basicConfig(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)

    def stop_when_stdin_closes():
        sys.stdin.read()
        server.close_all()

    threading.Thread(target=stop_when_stdin_closes, daemon=True).start()
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()
