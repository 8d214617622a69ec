"""Runs a Windows test program under 64-bit Wine, on the test run's own Wine desktop.

Usage:
  wine_run.py --prefix DIR [--ftp] PROGRAM.exe

The Wine desktop is the test run's own (a fresh prefix, its own Xvfb with
openbox and wineserver), made by `wine_desktop.py setup DIR` (the wine.prefix
fixture, tests/e2e/wine_desktop.py) in DIR/run-<pid>-<start>, named after the
process that runs the tests (ctest, or the shell for runs by hand; --prefix
may also name such a folder itself). The whole-program runs use it too.

--ftp starts the loopback FTP server (tests/support/ftp_server.py) on a free
port with a fresh root folder and passes NRVNC_TEST_FTP_PORT and
NRVNC_TEST_FTP_ROOT (a Unix path; Windows programs see it on drive Z:).

The program's output passes through. A GoogleTest program counts as passed
only when it says so: wine itself may exit 0 for a program that never ran.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from wine_desktop import Wine_Desktop, run_folder  # noqa: E402
FTP_SERVER = os.path.join(HERE, "..", "support", "ftp_server.py")
FTP_PASSWORD = "Rk7wTQmb"


# The loopback FTP server on a free port, with a fresh root folder; its port
# and root go into the program's environment.
def start_ftp_server(env, scratch):
    root = os.path.join(scratch, "ftp-root")
    os.makedirs(root)
    # It ends when its input closes, with this runner at the latest.
    server = subprocess.Popen([sys.executable, FTP_SERVER, root, FTP_PASSWORD],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    env.update(NRVNC_TEST_FTP_PORT=server.stdout.readline().strip(), NRVNC_TEST_FTP_ROOT=root)
    return server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--ftp", action="store_true")
    parser.add_argument("--timeout", type=int, default=240)
    parser.add_argument("program", nargs="?")
    options = parser.parse_args()
    folder = os.path.abspath(options.prefix)
    if not os.path.basename(folder).startswith("run-"):  # else one run's folder, named by hand
        folder = run_folder(folder)
    wine = Wine_Desktop(folder)
    if not options.program or not os.path.isfile(options.program):
        sys.exit("no such program: %s" % options.program)
    if not os.path.isfile(wine.state_file):
        sys.exit("no Wine desktop at %s (the wine.prefix test makes it)" % folder)
    with open(wine.state_file) as f:
        env = dict(wine.env, DISPLAY=json.load(f)["display"])

    with tempfile.TemporaryDirectory(prefix="nrvnc_wine_") as scratch:
        server = start_ftp_server(env, scratch) if options.ftp else None
        # A file, not a pipe: the prefix's services, started by the first
        # program, keep a pipe open after the program has ended.
        with open(os.path.join(scratch, "output"), "w+", errors="replace") as log:
            program = subprocess.Popen(["wine", options.program], env=env,
                                       stdin=subprocess.DEVNULL, stdout=log,
                                       stderr=subprocess.STDOUT)
            try:
                program.wait(timeout=options.timeout)
            except subprocess.TimeoutExpired:
                program.kill()  # what it said so far tells where it hangs
                program.wait()
                log.write("\nwine_run: no end after %d s\n" % options.timeout)
            log.seek(0)
            output = log.read()
        if server:
            server.kill()
            server.wait()
    sys.stdout.write(output)
    if program.returncode != 0:
        return program.returncode
    if "[  PASSED  ]" not in output or "[  FAILED  ]" in output:
        print("wine_run: the program did not report its tests as passed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
