#!/usr/bin/python3
"""Starts NRVNC in a ready working directory; with --windows, NRVNC.exe
(the x86_64 build) under Wine, with the Windows viewer stand-in.

With a display: NRVNC with its Linux viewer (the adapter, placed as
`vncviewer` beside the program, which shows the session in TigerVNC), a
remote desktop (a screen of its own served by x11vnc) at 127.1.1.3 and a
repeater at 127.1.1.1:5901 with that desktop registered under access code
1234, and a settings file pointing at them. Type 127.1.1.3 for a local
session, or 1234 for an internet session (when this computer reaches the
internet; otherwise only Local is offered). The Windows demo uses the
Windows viewer stand-in.

Without a display: a scripted tour under Xvfb that walks every screen and
writes a screenshot of each to out/screens/ (out/screens/windows/ for the
Windows program), a remote desktop in TigerVNC among them.
"""

import glob
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
WINDOWS_BIN = os.path.join(BUILD, "windows-x86_64", "bin")
E2E = os.path.join(ROOT, "tests", "e2e")
sys.path.insert(0, E2E)


def tour(windows):
    shots = os.path.join(ROOT, "out", "screens", *(["windows"] if windows else []))
    os.makedirs(shots, exist_ok=True)
    for old in glob.glob(os.path.join(shots, "*.png")):
        os.remove(old)
    env = dict(os.environ, NRVNC_TOOLS_DIR=os.path.join(BUILD, "tools"), NRVNC_E2E_SHOTS=shots)
    env.pop("DISPLAY", None)
    print("No display: running a scripted tour under %s ..." % ("Wine" if windows else "Xvfb"))
    if not windows:
        env["NRVNC_E2E_BIN"] = os.path.join(BUILD, "tests", "e2e", "nrvnc_e2e")
        rc = subprocess.run(["/usr/bin/python3", os.path.join(E2E, "e2e_test.py")], env=env).returncode
        # A real remote desktop in TigerVNC, through the repeater; the
        # adapter's error box when the remote side wants the plug-in.
        env["NRVNC_ADAPTER"] = os.path.join(BUILD, "adapter", "nrvnc-viewer")
        adapter = subprocess.run(["/usr/bin/python3", os.path.join(E2E, "adapter_test.py"),
                                  "Adapter.test_connects_directly_through_the_repeater_and_with_a_password",
                                  "Adapter.test_failure_reasons_in_the_error_box"], env=env).returncode
        rc = rc or adapter
    else:
        from wine_desktop import Wine_Desktop  # noqa: E402
        wine = Wine_Desktop(os.path.join(BUILD, "wine-tour"))
        wine.setup()
        try:
            env.update(NRVNC_WINE_BIN=os.path.join(WINDOWS_BIN, "NRVNC_e2e.exe"),
                       NRVNC_WINE_VIEWER=os.path.join(WINDOWS_BIN, "vncviewer.exe"),
                       NRVNC_WINE_STATE=wine.state_dir)
            rc = subprocess.run(["/usr/bin/python3", os.path.join(E2E, "wine_e2e_test.py")],
                                env=env).returncode
        finally:
            wine.cleanup()
    print("Screenshots of every screen are in %s" % shots)
    return rc


def demo(windows):
    from desktop_harness import Desktop  # noqa: E402
    work = os.path.join(ROOT, "out", "demo-windows" if windows else "demo")
    os.makedirs(work, exist_ok=True)
    if windows:
        for name in ("NRVNC.exe", "vncviewer.exe"):
            shutil.copy(os.path.join(WINDOWS_BIN, name), os.path.join(work, name))
    elif not shutil.which("xtigervncviewer"):
        print("TigerVNC's viewer is not installed (package tigervnc-viewer): sessions will fail.")
    with open(os.path.join(work, "NRVNC.INI"), "wb") as f:
        f.write(b"127.1.1.3\r\n127.1.1.1\r\n5901\r\n")
    desk = Desktop.attach(os.environ["DISPLAY"], work)
    wine = None
    try:
        repeater = ("1234", "127.1.1.1", 5500)
        desk.start_repeater(os.path.join(BUILD, "tools"), "127.1.1.1", 5901, 5500, greet=not windows)
        if windows:
            desk.start_vnc_server("127.1.1.3", 5900)
            desk.register_vnc_server_with_repeater(*repeater)
        else:
            # A remote desktop with a window on it, served directly and
            # through the repeater.
            desk.start_remote_desktop("#3a6ea5", "127.1.1.3", 5900, screen="800x600x24")
            desk.start(["display", "-display", desk.remote_display, "-geometry", "+40+40", "logo:"],
                       name="remote-window")
            desk.start_remote_desktop(None, repeater=repeater, display=desk.remote_display)
        print("Demo peers: VNC server 127.1.1.3, repeater 127.1.1.1:5901 (access code 1234).")
        if windows:
            from wine_desktop import Wine_Desktop  # noqa: E402
            wine = Wine_Desktop(os.path.join(BUILD, "wine-demo"))
            print("Preparing a fresh Wine prefix (about 20 s) ...")
            wine.setup(display=desk.display)
            rc = subprocess.call(["wine", "NRVNC.exe"], cwd=work, env=wine.env)
        else:
            rc = subprocess.call([os.path.join(BUILD, "app", "nrvnc")], cwd=work)
        if rc == 0 and sys.stdin.isatty():
            input("NRVNC has ended; the viewer keeps running. Press Enter to stop the demo peers.")
        return rc
    finally:
        if wine:
            wine.cleanup()  # ends the viewer with the prefix's wineserver
        desk.close()


if __name__ == "__main__":
    windows = "--windows" in sys.argv[1:]
    sys.exit(demo(windows) if os.environ.get("DISPLAY") else tour(windows))
