"""Runs a Windows test program under 64-bit Wine, in the test run's own prefix.

Usage:
  wine_run.py --prefix DIR --setup     make a fresh prefix (the wine.prefix fixture)
  wine_run.py --prefix DIR --stop      end the prefix's wineserver and its programs
  wine_run.py --prefix DIR [--ftp] PROGRAM.exe [ARGUMENTS...]

The prefix lives in the build tree, never in the user's home, and has its
own wineserver. Each test run has a prefix of its own: DIR/run-<pid>-<start>,
named after the process that runs the tests (ctest, or the shell for runs by
hand; --prefix may also name such a folder itself), so two runs in one build
folder at once do not meet; --setup removes the prefixes of runs that have
ended. Wine runs with WINEDEBUG=-all, without the mono and gecko installers
and without menu entries, and with "Courier New" replaced by "Liberation
Mono".

--ftp starts the loopback FTP server (tests/support/ftp_server.py) on a free
port with a fresh root folder and passes NRVNC_TEST_FTP_PORT and
NRVNC_TEST_FTP_ROOT (a Unix path; Windows programs see it on drive Z:).
The prefix comes with its own Xvfb on a free display, started with the
prefix and ended with it: every Windows program of the run sees that
display (and never the user's screen), so the wineserver's desktop process
stays bound to one display for the whole run.

The program's output passes through. A GoogleTest program counts as passed
only when it says so: wine itself may exit 0 for a program that never ran.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
FTP_SERVER = os.path.join(HERE, "..", "support", "ftp_server.py")
FTP_PASSWORD = "Rk7wTQmb"


def process_start(pid):
    """The start time of a running process (clock ticks since boot), or None."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return int(f.read().rsplit(")", 1)[1].split()[19])
    except (OSError, IndexError, ValueError):
        return None


def run_folder(base):
    """The folder under `base` that belongs to this test run: named after the
    parent (ctest starts every test itself), whose start time tells it from
    a later process that has the same ID."""
    return os.path.join(base, "run-%d-%s" % (os.getppid(), process_start(os.getppid())))


def ended_runs(base):
    """The run folders under `base` whose test run has ended."""
    found = []
    for name in os.listdir(base) if os.path.isdir(base) else []:
        m = re.fullmatch(r"run-(\d+)-(\d+|None)", name)
        if m and str(process_start(int(m.group(1)))) != m.group(2):
            found.append(os.path.join(base, name))
    return found


def display_file(prefix):
    return os.path.join(prefix, "nrvnc-display")


def wine_environment(prefix):
    env = dict(os.environ)
    env.update(
        WINEPREFIX=prefix,
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
        WINEARCH="win64",
    )
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    if os.path.isfile(display_file(prefix)):
        with open(display_file(prefix)) as f:
            env["DISPLAY"] = f.read().split()[0]
    return env


def start_xvfb(prefix):
    """Starts Xvfb on a free display, detached from the caller's output."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1280x1024x24", "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              start_new_session=True)
    os.close(write_end)
    with os.fdopen(read_end) as display:
        number = display.readline().strip()
    if not number:
        sys.exit("Xvfb did not start")
    with open(display_file(prefix), "w") as f:
        f.write(":%s %d\n" % (number, server.pid))


def stop_xvfb(prefix):
    try:
        with open(display_file(prefix)) as f:
            pid = int(f.read().split()[1])
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            ours = f.read().startswith(b"Xvfb")
    except (OSError, IndexError, ValueError):
        return
    if ours:
        os.kill(pid, signal.SIGTERM)
    os.remove(display_file(prefix))


def run(command, env, timeout=180):
    return subprocess.run(command, env=env, timeout=timeout, check=False,
                          stdin=subprocess.DEVNULL).returncode


def setup(prefix):
    # Only a folder made for this purpose is ever removed.
    base = os.path.dirname(prefix)
    if os.path.basename(base) != "wine-prefix":
        sys.exit("refusing to use %s as a Wine prefix" % prefix)
    for ended in ended_runs(base):
        stop(ended)
        shutil.rmtree(ended, ignore_errors=True)
    stop(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(prefix)
    start_xvfb(prefix)
    env = wine_environment(prefix)
    if run(["wineboot", "-i"], env) != 0:
        sys.exit("wineboot failed")
    run(["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", "Courier New",
         "/t", "REG_SZ", "/d", "Liberation Mono", "/f"], env)
    # Right after wineboot the prefix stalls COM (a second services.exe, no
    # rpcss.exe); a restarted wineserver does not.
    run(["wineserver", "-k"], env, 30)
    run(["wineserver", "-w"], env, 30)
    if run(["wineboot"], env) != 0:
        sys.exit("wineboot after the restart failed")
    print("Wine prefix ready:", prefix)


def stop(prefix):
    if os.path.isdir(prefix):
        run(["wineserver", "-k"], wine_environment(prefix), 30)
        stop_xvfb(prefix)


class Peers:
    def __init__(self, env, ftp, scratch):
        self.processes = []
        if ftp:
            root = os.path.join(scratch, "ftp-root")
            os.makedirs(root)
            server = subprocess.Popen([sys.executable, FTP_SERVER, root, FTP_PASSWORD],
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            self.processes.append(server)
            env["NRVNC_TEST_FTP_PORT"] = server.stdout.readline().strip()
            env["NRVNC_TEST_FTP_ROOT"] = root

    def stop(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--setup", action="store_true")
    parser.add_argument("--stop", action="store_true")
    parser.add_argument("--ftp", action="store_true")
    parser.add_argument("--timeout", type=int, default=240)
    parser.add_argument("program", nargs="?")
    parser.add_argument("arguments", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    prefix = os.path.abspath(options.prefix)
    if not os.path.basename(prefix).startswith("run-"):  # else one run's folder, named by hand
        prefix = run_folder(prefix)
    if options.setup:
        return setup(prefix)
    if options.stop:
        return stop(prefix)
    if not options.program or not os.path.isfile(options.program):
        sys.exit("no such program: %s" % options.program)
    if not os.path.isfile(os.path.join(prefix, "system.reg")):
        sys.exit("no Wine prefix at %s (the wine.prefix test makes it)" % prefix)

    env = wine_environment(prefix)
    with tempfile.TemporaryDirectory(prefix="nrvnc_wine_") as scratch:
        peers = Peers(env, options.ftp, scratch)
        try:
            program = subprocess.Popen(["wine", options.program] + options.arguments, env=env,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                       stderr=subprocess.STDOUT, text=True, errors="replace")
            try:
                output, _ = program.communicate(timeout=options.timeout)
            except subprocess.TimeoutExpired:
                # What it said so far tells where it hangs.
                program.kill()
                output, _ = program.communicate()
                sys.stdout.write(output)
                print("wine_run: no end after %d s" % options.timeout)
                return 1
        finally:
            peers.stop()
    sys.stdout.write(output)
    if program.returncode != 0:
        return program.returncode
    if "[  PASSED  ]" not in output or "[  FAILED  ]" in output:
        print("wine_run: the program did not report its tests as passed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
