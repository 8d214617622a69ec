#!/usr/bin/python3
"""Prints NRVNC.exe's figures under 64-bit Wine, in the layout of bench.py:
the time from start to the network question (the first start in a fresh
prefix, and the median of five later ones) and the CPU time NRVNC.exe uses
during a 10-second failed watch, with the wineserver's share beside it.

Usage: bench/bench_wine.py  (after a build with the Windows builds on;
bench/run.sh calls it after the Linux figures)
"""

import os
import shutil
import socket
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("NRVNC_BUILD", os.path.join(ROOT, "build"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from desktop_harness import free_port  # noqa: E402
from wine_desktop import Wine_Desktop  # noqa: E402

WINDOWS_BIN = os.path.join(BUILD, "windows-x86_64", "bin")
NRVNC = os.path.join(WINDOWS_BIN, "NRVNC_e2e.exe")
VIEWER = os.path.join(WINDOWS_BIN, "vncviewer.exe")
TICKS = os.sysconf("SC_CLK_TCK")
QUESTION = r"^  Norvane  ---  Message # 0$"


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


def wineserver_pid(prefix):
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if b"wineserver" not in f.read().split(b"\0")[0]:
                    continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if ("WINEPREFIX=%s" % prefix).encode() in f.read().split(b"\0"):
                    return int(entry)
        except OSError:
            continue
    return None


def start_to_question(wine, work, env):
    start = time.monotonic()
    p = wine.start_program(os.path.join(work, "NRVNC.exe"), work, env=env, name="nrvnc")
    while time.monotonic() - start < 60:
        w = wine.desktop.find(QUESTION)
        if w:
            elapsed = time.monotonic() - start
            time.sleep(0.3)
            return p, w, elapsed, rss_kib(p.pid)
        time.sleep(0.005)
    raise RuntimeError("no network question within 60 s")


def main():
    for path in (NRVNC, VIEWER):
        if not os.path.exists(path):
            sys.exit("bench_wine.py: %s is missing (build with the Windows builds on)" % path)
    wine = Wine_Desktop(os.path.join(BUILD, "wine-bench"))
    wine.setup()
    base = tempfile.mkdtemp(prefix="bench-", dir=wine.state_dir)
    work = os.path.join(base, "work")
    os.makedirs(work)
    for path in (NRVNC, VIEWER):
        shutil.copy(path, os.path.join(work, os.path.basename(path).replace("_e2e", "")))
    desk = wine.attach(base)
    rows = []
    try:
        check = free_port()
        desk.start_internet(check)
        env = {"NRVNC_E2E_CHECK_URL": "http://127.0.0.1:%d/" % check,
               "NRVNC_VIEWER_TIMEOUT_MS": "60000"}
        p, w, t, rss = start_to_question(wine, work, env)
        rows.append(("NRVNC.exe: start to the network question, first start", t, rss))
        warm = []
        for _ in range(5):
            desk.key(w, "alt+e")
            p.wait(timeout=20)
            p, w, t, rss = start_to_question(wine, work, env)
            warm.append((t, rss))
        warm.sort()
        rows.append(("NRVNC.exe: start to the network question, later starts", *warm[2]))

        # The 10-second failed watch: a VNC server that accepts the viewer
        # but never says a word, so the viewer's status window stays up
        # until NRVNC.exe gives up.
        silent = socket.socket()
        silent.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        for n in range(2, 250):
            try:
                silent.bind(("127.1.%d.5" % n, 5900))
                break
            except OSError:
                continue
        silent.listen(4)
        desk.key(w, "alt+l")
        w = desk.wait_for(r"^  Enter Host Name")
        desk.key(w, "Return")
        desk.type(w, silent.getsockname()[0])
        server = wineserver_pid(wine.prefix)
        before, server_before = cpu_seconds(p.pid), cpu_seconds(server) if server else 0.0
        start = time.monotonic()
        desk.key(w, "alt+a")
        w16 = desk.wait_for(r"Message # 16$", timeout=40)
        watch_cpu = cpu_seconds(p.pid) - before
        server_cpu = (cpu_seconds(server) - server_before) if server else float("nan")
        watch_wall = time.monotonic() - start
        desk.key(w16, "alt+n")
        p.wait(timeout=20)
        silent.close()
    finally:
        desk.close()
        wine.cleanup()
        shutil.rmtree(wine.state_dir, ignore_errors=True)

    print("NRVNC.exe (x86_64) under Wine 8 on one Xvfb with openbox (later starts: median of 5):")
    print("%-62s %8s %9s" % ("", "ms", "RSS KiB"))
    for name, t, rss in rows:
        print("  %-60s %8.1f %9d" % (name, t * 1000, rss))
    print()
    print("CPU while waiting under Wine:")
    print("  failed watch (10 s), NRVNC.exe      %.3f s CPU over %5.1f s = %5.2f %% of a core"
          % (watch_cpu, watch_wall, 100 * watch_cpu / watch_wall))
    print("  failed watch (10 s), the wineserver %.3f s CPU over %5.1f s = %5.2f %% of a core"
          % (server_cpu, watch_wall, 100 * server_cpu / watch_wall))

if __name__ == "__main__":
    main()
