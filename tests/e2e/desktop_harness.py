# A real desktop for whole-program runs of NRVNC: Xvfb on a free display,
# and on demand the peers NRVNC meets (x11vnc, the repeater stand-in, an FTP
# server holding Repeater.Dat, a web listener standing for the internet),
# windows driven with xdotool and found with xwininfo.
#
# Each Desktop owns a loopback network 127.a.b.0/24 (claimed by a socket
# bound on its .254 while it lives), so runs at the same time never meet.
# Its peers listen there: ip(1) the repeater, ip(2) a repeater that is down,
# ip(3) the VNC server, ip(4) the internet check, ip(5) the FTP server until
# one is started (nothing; a started one is tests/support/ftp_server.py on
# 127.0.0.1 at a free port), ip(6) the built-in repeater (nothing), ip(9) a
# host where nothing listens; the environment of every program it starts
# points nrvnc_e2e at them.
#
# Used by the whole-program tests, scripts/demo.py and bench/.

import os
import random
import re
import select
import signal
import socket
import subprocess
import tempfile
import threading
import time

PYTHON = "/usr/bin/python3"
FTP_SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "ftp_server.py")
CLAIM_PORT = 47999
CHECK_PORT = 18111
FTP_PORT = 2121  # where the download looks before an FTP server is started


def claim_loopback_network():
    """("127.a.b", socket): a loopback network no other Desktop holds. The
    socket, bound on its .254 address, is the claim; keep it open."""
    for _ in range(500):
        # Clear of 127.0.x.x and 127.1.x.x, where fixed demos listen; every
        # number from 1 to 254, as NRVNC takes only such addresses for the
        # repeater (127.31.0.1 would be replaced by the built-in one).
        net = "127.%d.%d" % (random.randrange(2, 255), random.randrange(1, 255))
        claim = socket.socket()
        try:
            claim.bind((net + ".254", CLAIM_PORT))
            return net, claim
        except OSError:
            claim.close()
    raise RuntimeError("no loopback network is free")


def free_port(host="127.0.0.1"):
    with socket.socket() as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def eventually(condition, timeout=10.0, every=0.05):
    """The first true value of condition() within `timeout` seconds, else its last."""
    end = time.time() + timeout
    while True:
        value = condition()
        if value or time.time() > end:
            return value
        time.sleep(every)


def wait_port(host, port, timeout=10.0):
    def connects():
        try:
            socket.create_connection((host, port), timeout=0.5).close()
            return True
        except OSError:
            return False
    return eventually(connects, timeout)


class Listener:
    """Answers every connection on host:port with `answer` and holds it open;
    with None for `answer`, closes its sending side at once."""

    def __init__(self, host, port, answer):
        self.sock, self.held = socket.create_server((host, port)), []
        threading.Thread(target=self._serve, args=(answer,), daemon=True).start()

    def _serve(self, answer):
        while True:
            try:
                conn, _ = self.sock.accept()
                self.held.append(conn)
                if answer is None:
                    conn.shutdown(socket.SHUT_WR)
                else:
                    conn.sendall(answer)
            except OSError:
                return  # stopped

    def stop(self):
        self.sock.shutdown(socket.SHUT_RDWR)  # wakes the accept
        for conn in [self.sock] + self.held:
            conn.close()


class Desktop:
    def __init__(self, work_dir, display=None, own_network=True):
        """On an Xvfb of its own, or on a running `display` (not ended by close());
        without a network of its own its peers listen on 127.0.0.1 and 127.1.1.x,
        as the demo's program expects."""
        self.work_dir, self.procs, self.logs, self.web = work_dir, [], [], None
        self.net = self.claim = None
        self.repeater_ip, self.vnc_ip, self.default_repeater = "127.1.1.1", "127.1.1.3", "localhost"
        self.env = dict(os.environ)
        if own_network:
            self._own_network()
        self.display = self.env["DISPLAY"] = display or self._launch_xvfb("1280x800x24")

    @classmethod
    def attach(cls, display, work_dir, own_network=False):
        return cls(work_dir, display, own_network)

    def _own_network(self):
        self.net, self.claim = claim_loopback_network()
        self.repeater_ip, self.vnc_ip, self.default_repeater = self.ip(1), self.ip(3), self.ip(6)
        self.env.update(NRVNC_E2E_CHECK_URL="http://%s:%d/" % (self.ip(4), CHECK_PORT),
                        NRVNC_E2E_FTP_SERVER=self.ip(5), NRVNC_E2E_REPEATER_HOST=self.ip(6),
                        NRVNC_FTP_PORT=str(FTP_PORT))

    def ip(self, n):
        """Address n of this desktop's own loopback network, else 127.0.0.1."""
        return "%s.%d" % (self.net, n) if self.net else "127.0.0.1"

    def _launch_xvfb(self, screen):
        # Xvfb takes a free display itself and names it when it is ready.
        # Without -noreset it starts afresh whenever its last client leaves,
        # and a program connecting just then is turned away.
        ready, told = os.pipe()
        log = open(os.path.join(self.work_dir, "Xvfb.log"), "ab")
        self.logs.append(log)
        p = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-screen", "0", screen,
                              "-dpi", "96", "-nolisten", "tcp", "-noreset", "-ac"],
                             stdout=subprocess.DEVNULL, stderr=log, pass_fds=(told,))
        os.close(told)
        with os.fdopen(ready, "rb") as f:  # the digits and the newline come in two writes
            number = f.readline() if select.select([f], [], [], 10)[0] else b""
        if not number.strip().isdigit():
            p.kill()
            p.wait()
            raise RuntimeError("could not start Xvfb")
        self.procs.append(p)
        return ":" + number.strip().decode()

    def start(self, args, env=None, cwd=None, name=None):
        e = dict(self.env, **(env or {}))
        log = open(os.path.join(self.work_dir, (name or os.path.basename(args[0])) + ".log"), "ab")
        self.logs.append(log)
        p = subprocess.Popen(args, env=e, cwd=cwd or self.work_dir, stdout=log, stderr=log,
                             start_new_session=True)
        self.procs.append(p)
        return p

    def start_vnc_server(self, listen=None, port=5900):
        return self.start_remote_desktop(None, listen, port, display=self.display)

    def start_remote_desktop(self, colour, listen=None, port=5900, password=None, repeater=None,
                             display=None, screen="320x240x24"):
        """x11vnc serving a second X screen painted `colour` ("#rrggbb"; or
        `display` as it is) on listen:port, with a password if given, registered
        with a repeater if `repeater` (code, address, server port) is given.
        The screen is then self.remote_display."""
        if not display:
            display = self._launch_xvfb(screen)
            subprocess.run(["display", "-display", display, "-window", "root", "-size", "8x8",
                            "xc:" + colour], timeout=30, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        if display != self.display:
            self.remote_display = display
        args = ["x11vnc", "-display", display, "-forever", "-shared", "-quiet", "-noxdamage",
                "-norc"] + (["-passwd", password] if password else ["-nopw"])
        if repeater:
            return self.start(args + ["-rfbport", "0", "-connect",
                                      "repeater=ID:%s+%s:%d" % repeater], name="x11vnc-remote")
        listen = listen or self.vnc_ip
        p = self.start(args + ["-listen", listen, "-rfbport", str(port)], name="x11vnc-remote")
        if not wait_port(listen, port, 15):
            raise RuntimeError("x11vnc did not come up")
        return p

    def start_repeater(self, tools_dir, listen=None, viewer_port=5901, server_port=5500,
                       greet=False):
        listen = listen or self.repeater_ip
        p = self.start([os.path.join(tools_dir, "nrvnc-repeater"), "--listen", listen,
                        "--viewer-port", str(viewer_port), "--server-port", str(server_port)]
                       + (["--greet"] if greet else []), name="repeater")
        if not wait_port(listen, viewer_port, 10):
            raise RuntimeError("repeater did not come up")
        return p

    def register_vnc_server_with_repeater(self, code, repeater=None, server_port=5500):
        repeater = repeater or self.repeater_ip
        return self.start_remote_desktop(None, repeater=(code, repeater, server_port),
                                         display=self.display)

    def start_ftp_server(self, repeater_dat):
        """Serves VNCRepeater/Repeater.Dat holding `repeater_dat` (no folder when
        None) to the program's user; nrvnc_e2e started after this looks there."""
        root = tempfile.mkdtemp(prefix="ftp-", dir=self.work_dir)
        if repeater_dat is not None:
            os.makedirs(os.path.join(root, "VNCRepeater"))
            with open(os.path.join(root, "VNCRepeater", "Repeater.Dat"), "wb") as f:
                f.write(repeater_dat)
        # It names its port first and runs until its standard input closes.
        p = subprocess.Popen([PYTHON, FTP_SERVER, root, "Rk7wTQmb"], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, start_new_session=True)
        self.procs.append(p)
        port = p.stdout.readline().strip() if select.select([p.stdout], [], [], 10)[0] else b""
        if not port.isdigit():
            raise RuntimeError("FTP server did not come up")
        self.env.update(NRVNC_E2E_FTP_SERVER="127.0.0.1", NRVNC_FTP_PORT=port.decode())

    def start_internet(self, port=CHECK_PORT):
        """Takes the internet check's connection (the check sends nothing: a
        connection made is the internet reached); nrvnc_e2e started after this
        looks there."""
        self.env["NRVNC_E2E_CHECK_URL"] = "http://%s:%d/" % (self.ip(4), port)
        self.web = socket.create_server((self.ip(4), port))

    def start_window_manager(self, timeout=15.0):
        """Starts openbox and waits until it has taken the screen."""
        p = self.start(["openbox", "--sm-disable"], env={"HOME": self.work_dir}, name="openbox")
        if not eventually(lambda: p.poll() is None and "window id #" in self.run(
                "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False), timeout):
            raise RuntimeError("openbox did not come up")
        time.sleep(0.2)
        return p

    def close(self):
        if self.web:
            self.web.close()
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except OSError:
                    p.terminate()
        for p in self.procs:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        for log in self.logs:
            log.close()
        if self.claim:
            self.claim.close()

    # ---- windows ----
    def run(self, *args, check=True):
        r = subprocess.run(list(args), env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           text=True, timeout=30)
        if check and r.returncode != 0:
            raise RuntimeError("%s failed: %s" % (args, r.stderr))
        return r.stdout

    def windows(self, under="-root", how="-tree"):
        """(id, title) of every named window under `under`, children included."""
        out = self.run("xwininfo", how, *under.split(), check=False)
        return [(int(m.group(1), 16), m.group(2))
                for m in re.finditer(r'^\s*(0x[0-9a-f]+) "(.*)":', out, re.M)]

    def find(self, pattern):
        """A viewable window whose title matches, or None."""
        return next((w for w, title in self.windows() if re.search(pattern, title) and
                     "IsViewable" in self.run("xwininfo", "-id", str(w), check=False)), None)

    def wait_for(self, pattern, timeout=20.0):
        found = eventually(lambda: self.find(pattern), timeout, 0.1)
        if found:
            return found
        raise AssertionError("no window %r within %.0f s; windows: %s" % (
            pattern, timeout, self.windows()))

    def key(self, wid, *keys, how=("key", "--clearmodifiers")):
        """Gives the window the focus, then presses the keys."""
        self.run("xdotool", "windowfocus", "--sync", str(wid), check=False)
        time.sleep(0.1)
        self.run("xdotool", *how, "--delay", "60", *keys)
        time.sleep(0.2)

    def type(self, wid, text):
        self.key(wid, text, how=("type",))

    def screenshot(self, path):
        self.run("import", "-display", self.display, "-window", "root", path)

    def centre_pixel(self, wid):
        """The colour of the screen at the centre of window `wid`, as (r, g, b)."""
        out = self.run("xwininfo", "-id", str(wid))
        x, y, w, h = (int(re.search(label + r":\s+(-?\d+)", out).group(1)) for label in (
            "Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
        out = self.run("import", "-display", self.display, "-window", "root", "-crop",
                       "1x1+%d+%d" % (x + w // 2, y + h // 2), "-depth", "8", "txt:-")
        m = re.search(r"\((\d+),(\d+),(\d+)", out.splitlines()[-1])
        return tuple(int(v) for v in m.groups())


def pid_alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def processes():
    """(pid, executable, arguments, environment) of every running process."""
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as args, \
                    open("/proc/%s/environ" % entry, "rb") as env:
                found = (int(entry), os.readlink("/proc/%s/exe" % entry),
                         args.read().split(b"\0"), env.read().split(b"\0"))
        except (OSError, ValueError):
            continue
        if pid_alive(found[0]):
            yield found


def pids_of(name, folder=None, display=None):
    """Running processes of the executable `name` that belong to this run:
    those whose executable lies in `folder`, or that run on `display`."""
    return [pid for pid, exe, _, env in processes() if os.path.basename(exe) == name and (
        os.path.dirname(exe) == os.path.realpath(folder) if folder
        else b"DISPLAY=" + display.encode() in env)]
