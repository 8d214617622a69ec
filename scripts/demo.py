#!/usr/bin/python3
"""Starts NRVNC in a ready working directory.

With a display: the viewer stand-in beside the program, a local VNC server
(x11vnc) at 127.1.1.3 and a repeater at 127.1.1.1:5901 with the VNC server
registered under access code 1234, and a settings file pointing at them.
Type 127.1.1.3 for a local session, or 1234 for an internet session (when
this computer reaches the internet; otherwise only Local is offered).

Without a display: a scripted tour under Xvfb that walks every screen and
writes a screenshot of each to one folder.
"""

import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))


def tour():
    shots = os.path.join(ROOT, "out", "screens")
    shutil.rmtree(shots, ignore_errors=True)
    env = dict(os.environ,
               NRVNC_E2E_BIN=os.path.join(BUILD, "tests", "e2e", "nrvnc_e2e"),
               NRVNC_TOOLS_DIR=os.path.join(BUILD, "tools"),
               NRVNC_E2E_SHOTS=shots)
    env.pop("DISPLAY", None)
    print("No display: running a scripted tour under Xvfb ...")
    r = subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "tests", "e2e", "e2e_test.py")],
                       env=env)
    # The entry screens on a small screen and at a dense, odd resolution too.
    r2 = subprocess.run(["/usr/bin/python3", os.path.join(ROOT, "tests", "e2e", "screens_test.py"),
                         "Screens_1024x768", "Screens_141_Dpi"], env=env)
    print("Screenshots of every screen are in %s" % shots)
    return r.returncode or r2.returncode


def demo():
    from desktop_harness import Desktop  # noqa: E402
    work = os.path.join(ROOT, "out", "demo")
    os.makedirs(work, exist_ok=True)
    shutil.copy(os.path.join(BUILD, "tools", "vncviewer"), os.path.join(work, "vncviewer"))
    with open(os.path.join(work, "NRVNC.INI"), "wb") as f:
        f.write(b"127.1.1.3\r\n127.1.1.1\r\n5901\r\n")
    desk = Desktop.__new__(Desktop)
    desk.work_dir, desk.procs, desk.logs, desk.web = work, [], [], None
    desk.env = dict(os.environ)
    desk.display = os.environ["DISPLAY"]
    try:
        desk.start_vnc_server("127.1.1.3", 5900)
        desk.start_repeater(os.path.join(BUILD, "tools"), "127.1.1.1", 5901, 5500)
        desk.register_vnc_server_with_repeater("1234", "127.1.1.1", 5500)
        print("Demo peers: VNC server 127.1.1.3, repeater 127.1.1.1:5901 (access code 1234).")
        rc = subprocess.call([os.path.join(BUILD, "app", "nrvnc")], cwd=work)
        if rc == 0 and sys.stdin.isatty():
            input("NRVNC has ended; the viewer keeps running. Press Enter to stop the demo peers.")
        return rc
    finally:
        desk.close()


if __name__ == "__main__":
    sys.exit(demo() if os.environ.get("DISPLAY") else tour())
