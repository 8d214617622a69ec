# NRVNC with its Linux viewer (Linux only by nature): the adapter
# (nrvnc-viewer, installed as `vncviewer` beside `nrvnc`) and real TigerVNC,
# against x11vnc serving a remote X screen of its own (painted one colour),
# the repeater stand-in and small fake servers. The program and the adapter
# lie in a folder of their own; the working directory has no viewer.

import datetime
import os
import shutil
import signal
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_harness import Listener, eventually, pids_of, processes  # noqa: E402
from e2e_test import BIN, TOOLS, Xvfb_Driver  # noqa: E402
from scenarios import SHOTS, session_to  # noqa: E402

ADAPTER = os.environ.get("NRVNC_ADAPTER", "")
STATUS, BOX = r"^VNC Viewer Status for ", r"^VncViewer Message Box$"
TIGERVNC, NOTICE = r" - TigerVNC$", r"^NRVNC - connection not encrypted$"
GREEN = (0x12, 0xab, 0x34)
ARGS = "-password qx4817 %s -dsmplugin SecureVNCPlugin.dsm"


@unittest.skipUnless(shutil.which("x11vnc") and shutil.which("xtigervncviewer")
                     and os.path.exists(ADAPTER), "needs x11vnc, TigerVNC and nrvnc-viewer")
class Adapter(Xvfb_Driver):
    def setUp(self):
        super().setUp()
        self.install = os.path.join(self.dir, "install")  # on PATH, the folder has no TigerVNC
        os.makedirs(self.install)
        self.program, self.viewer_folder = os.path.join(self.install, "nrvnc"), self.install
        shutil.copy(BIN, self.program)
        shutil.copy(ADAPTER, os.path.join(self.install, "vncviewer"))
        os.remove(os.path.join(self.work, "vncviewer"))  # the working folder has none
        os.symlink("/bin/true", os.path.join(self.dir, "xtigervncviewer"))  # on PATH, ends at once
        self.servers = []

    def tearDown(self):
        for log in sorted(f for f in os.listdir(self.dir) if f.startswith(("adapter", "vncviewer"))):
            with open(os.path.join(self.dir, log), errors="replace") as f:  # the adapter's reasons
                sys.stderr.writelines("%s: %s" % (log, l) for l in f if l.startswith("nrvnc-viewer:"))
        for pid in self.tigervncs():
            os.kill(pid, signal.SIGKILL)
        for s in self.servers:
            s.stop()
        super().tearDown()

    # ---- helpers ----
    def tigervncs(self):
        return pids_of("xtigervncviewer", display=self.d.display)

    # ---- the runs ----
    def test_connects_directly_through_the_repeater_and_with_a_password(self):
        d = self.d
        weekday = datetime.date.today().isoweekday() % 7 + 1  # 1 = Sunday
        d.start_repeater(TOOLS, greet=True)  # "RFB 000.000" before the server's greeting
        with open(os.path.join(self.work, "NRVNC.INI"), "wb") as f:
            f.write(b"pc-17\r\n%s\r\n5901\r\n" % d.repeater_ip.encode())
        # Control is granted when the code's second digit is today's weekday;
        # a local session is always view-only. Each session ends another way:
        # TigerVNC never outlives the adapter, nor the adapter the session.
        for how, password, view_only, end in (
                ("direct", None, True, "remote ends"), ("repeater", None, False, "SIGTERM"),
                ("password", "qx4817", True, "SIGKILL"), ("direct", None, True, "TigerVNC closed")):
            with self.subTest(how + ", " + end):
                code = "1%d34" % weekday if how == "repeater" else None
                remote = d.start_remote_desktop("#12ab34", password=password, repeater=(
                    code, d.repeater_ip, 5500) if code else None)
                self.start_nrvnc()
                session_to(d, code or d.vnc_ip, internet=bool(code))
                self.assertEqual(self.wait_end(), 0)
                tigervnc = d.wait_for(TIGERVNC, timeout=15)
                self.assertTrue(eventually(lambda: all(abs(a - b) < 8 for a, b in zip(
                    d.centre_pixel(tigervnc), GREEN)), 15), "the remote")
                [(_, _, args, env)] = [p for p in processes() if p[0] in self.tigervncs()]
                self.assertIn(b"VNC_PASSWORD=qx4817", env)
                self.assertEqual(b"-ViewOnly" in args, view_only)
                self.assertFalse(any(b"qx4817" in a for a in args), "no password on a command line")
                self.assertIsNone(d.find(STATUS))
                d.wait_for(NOTICE)
                if SHOTS and how == "repeater":
                    d.screenshot(os.path.join(SHOTS, "20-tigervnc-through-the-repeater.png"))
                [adapter] = self.viewers()
                if end.startswith("SIG"):  # as NRVNC ends a viewer: SIGKILL after the grace
                    os.kill(adapter, getattr(signal, end))
                elif end == "remote ends":
                    remote.kill()
                else:
                    d.run("xdotool", "windowkill", str(tigervnc))
                self.assertTrue(eventually(lambda: not self.viewers() + self.tigervncs(), 15),
                                "adapter and TigerVNC ended")
                remote.kill()  # x11vnc may linger in its own clean-up after SIGTERM
                remote.wait(10)

    def test_failure_reasons_in_the_error_box(self):
        d = self.d
        d.start_remote_desktop("#12ab34", listen=d.ip(3))
        d.start_remote_desktop("#12ab34", listen=d.ip(10), password="other")
        # .11 greets, then stays silent; .14 never greets; .15 closes at once.
        self.servers = [Listener(d.ip(n), 5900, hello) for n, hello in (
            (11, b"RFB 003.008\n"), (12, b"HTTP/1.0 400 Bad\r\n\r\n"),
            (13, bytes(range(0x80, 0xa0))), (14, b""), (15, None))]
        for n, env, reason in (
                (9, {}, "Connection refused"), (10, {}, "The server refused the password."),
                (11, {}, "within 8 seconds: the server stopped answering."),
                (14, {}, "The server did not answer within 8 seconds."),
                (15, {}, "Connection closed by the server."),
                (12, {}, "The remote side is not a VNC server."),
                (13, {}, "This viewer cannot speak the encryption plug-in the remote side requires."),
                (3, {"PATH": self.install}, "(xtigervncviewer, package tigervnc-viewer) is not installed"),
                (3, {"PATH": self.dir}, "TigerVNC ended before the connection was made.")):
            with self.subTest(reason):
                p = d.start([os.path.join(self.install, "vncviewer")] + (ARGS % d.ip(n)).split(),
                            env=env, name="adapter-%d" % n)
                # Within the attempt's 8 s, before NRVNC's 10 s watch would end it.
                d.wait_for(BOX, timeout=9.5)
                self.assertIsNotNone(d.find(STATUS + d.ip(n)), "the status window stays under the box")
                if SHOTS and n == 13:
                    d.screenshot(os.path.join(SHOTS, "21-adapter-plug-in-required.png"))
                p.terminate()
                p.wait(10)
                with open(os.path.join(self.dir, "adapter-%d.log" % n)) as f:
                    self.assertIn(reason, f.read())
                self.assertEqual(self.tigervncs(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
