#!/usr/bin/python3
"""Prints NRVNC's start-up time and memory beside TigerVNC's viewer, on the
same Xvfb in one run, and the CPU time NRVNC uses while it waits: a
10-second failed watch and a 1-second failed probe.

Usage: bench/run.sh  (builds first)
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("NRVNC_BUILD", os.path.join(ROOT, "build"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from desktop_harness import Desktop  # noqa: E402

NRVNC = os.path.join(BUILD, "tests", "e2e", "nrvnc_e2e")
TOOLS = os.path.join(BUILD, "tools")
TICKS = os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().split(")")[-1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def time_to_window(desk, args, pattern, env=None, cwd=None):
    start = time.monotonic()
    p = desk.start(args, env=env, cwd=cwd, name=os.path.basename(args[0]))
    while time.monotonic() - start < 30:
        if desk.find(pattern):
            elapsed = time.monotonic() - start
            time.sleep(0.3)
            return p, elapsed, rss_kib(p.pid)
        time.sleep(0.005)
    raise RuntimeError("no window %r" % pattern)


def main():
    base = tempfile.mkdtemp(prefix="nrvnc-bench-")
    work = os.path.join(base, "work")
    os.makedirs(work)
    shutil.copy(os.path.join(TOOLS, "vncviewer"), os.path.join(work, "vncviewer"))
    desk = Desktop(base)
    rows = []
    try:
        desk.start_internet(18111)
        env = {"LocalAppData": base, "HOME": base, "NRVNC_VIEWER_TIMEOUT_MS": "60000",
               "NRVNC_VIEWER_RECORD": os.path.join(base, "viewer.args")}
        p, t, rss = time_to_window(desk, [NRVNC], r"Message # 0$", env=env, cwd=work)
        rows.append(("NRVNC: start to the network question", t, rss))

        # The 10-second failed watch: a VNC server that accepts the viewer
        # but never says a word, so the viewer's status window stays up
        # until NRVNC gives up.
        silent = socket.socket()
        silent.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        silent.bind(("127.1.1.5", 5900))
        silent.listen(4)
        desk.key(desk.find(r"Message # 0$"), "alt+l")
        w = desk.wait_for(r"^  Enter Host Name")
        desk.key(w, "Return")
        desk.type(w, "127.1.1.5")
        before = cpu_seconds(p.pid)
        start = time.monotonic()
        desk.key(w, "alt+a")
        w16 = desk.wait_for(r"Message # 16$", timeout=30)
        watch_cpu = cpu_seconds(p.pid) - before
        watch_wall = time.monotonic() - start
        desk.key(w16, "alt+n")
        p.wait(timeout=10)
        silent.close()

        # The 1-second failed probe: the stored repeater's port is closed and
        # the download then fails at once (no FTP server).
        with open(os.path.join(work, "NRVNC.INI"), "wb") as f:
            f.write(b"pc\r\n127.1.1.2\r\n5901\r\n")
        p, _, _ = time_to_window(desk, [NRVNC], r"Message # 0$",
                                 env=dict(env, NRVNC_FTP_PORT="1"), cwd=work)
        before = cpu_seconds(p.pid)
        start = time.monotonic()
        desk.key(desk.find(r"Message # 0$"), "alt+i")
        w3 = desk.wait_for(r"Message # 3$", timeout=30)
        probe_cpu = cpu_seconds(p.pid) - before
        probe_wall = time.monotonic() - start
        desk.key(w3, "Return")
        desk.key(desk.wait_for(r"Message # 2$"), "alt+e")
        p.wait(timeout=10)

        tiger = shutil.which("xtigervncviewer") or "/usr/bin/xtigervncviewer"
        if os.path.exists(tiger):
            tp, t, rss = time_to_window(desk, [tiger], r"VNC Viewer|Connection Details",
                                        env={"HOME": base})
            rows.append(("TigerVNC viewer: start to its connection dialog", t, rss))
            tp.terminate()
        else:
            rows.append(("TigerVNC viewer: not installed (apt-get install tigervnc-viewer)", 0, 0))
    finally:
        desk.close()
        shutil.rmtree(base, ignore_errors=True)

    print("%-58s %10s %10s" % ("", "seconds", "RSS KiB"))
    for name, t, rss in rows:
        print("%-58s %10.3f %10d" % (name, t, rss))
    print()
    print("NRVNC CPU time during a failed watch:  %.3f s CPU over %.1f s" % (watch_cpu, watch_wall))
    print("NRVNC CPU time during a failed probe (and the failed download that follows): "
          "%.3f s CPU over %.1f s" % (probe_cpu, probe_wall))


if __name__ == "__main__":
    main()
