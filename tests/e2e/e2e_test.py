"""Whole-program runs of NRVNC on a real X desktop (Xvfb).

The real `nrvnc` program (the copy nrvnc_e2e, whose internet check, FTP
server and built-in repeater are the run's own loopback addresses) runs with
the viewer stand-in in its working directory, against a real VNC server
(x11vnc), the repeater stand-in and a real FTP server. The tests drive it
with the keyboard and the mouse and check what a user or a peer sees:
window titles, the viewer's recorded arguments, the files, the processes
left running.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_harness import Desktop, pids_of  # noqa: E402

BIN = os.environ.get("NRVNC_E2E_BIN", "")
TOOLS = os.environ.get("NRVNC_TOOLS_DIR", "")
SHOTS = os.environ.get("NRVNC_E2E_SHOTS", "")

MSG = r"^  Norvane  ---  Message # %d$"
HOST_SCREEN = r"^  Enter Host Name or IP Address  $"
CODE_SCREEN = r"^  Enter Remote Viewing Access Code - Repeater IP : "
IP_SCREEN = r"^  Enter IP Address  $"
PORT_SCREEN = r"^  Enter Port Number  $"


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xdotool") and os.path.exists(BIN),
                     "needs Xvfb, xdotool and the nrvnc_e2e program")
class Whole_Program(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nrvnc-e2e-")
        self.work = os.path.join(self.dir, "work")
        self.appdata = os.path.join(self.dir, "appdata")
        os.makedirs(self.work)
        os.makedirs(self.appdata)
        self.desktop = Desktop(self.dir)
        self.nrvnc = None
        self.ftp_port = 0

    def tearDown(self):
        for pid in self.viewers():
            try:
                os.kill(pid, 15)
            except OSError:
                pass
        if self.nrvnc and self.nrvnc.poll() is None:
            self.nrvnc.kill()
        self.desktop.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    # ---- helpers ----
    def viewers(self):
        """The viewers of this run."""
        return pids_of("vncviewer", self.work)

    def install_viewer(self):
        shutil.copy(os.path.join(TOOLS, "vncviewer"), os.path.join(self.work, "vncviewer"))

    def start_nrvnc(self, internet=True, viewer_env=None):
        if internet:
            self.desktop.start_internet()
        env = {"LocalAppData": self.appdata, "HOME": self.dir,
               "NRVNC_VIEWER_RECORD": os.path.join(self.dir, "viewer.args"),
               "NRVNC_VIEWER_HOLD_STATUS_MS": "700"}
        env.pop("ProgramFiles", None)
        if self.ftp_port:
            env["NRVNC_FTP_PORT"] = str(self.ftp_port)
        env.update(viewer_env or {})
        self.nrvnc = self.desktop.start([BIN], env=env, cwd=self.work, name="nrvnc")

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            self.desktop.screenshot(os.path.join(SHOTS, name + ".png"))

    def wait_end(self, timeout=30):
        try:
            return self.nrvnc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail("nrvnc did not end; windows: %s" % self.desktop.titles())

    def viewer_args(self):
        path = os.path.join(self.dir, "viewer.args")
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return [line.rstrip("\n") for line in f if line.strip()]

    def settings_bytes(self, where):
        with open(where, "rb") as f:
            return f.read()

    def appdata_ini(self):
        return os.path.join(self.appdata, "NRVNC", "NRVNC.INI")

    def clear_and_type(self, wid, text):
        # Enter before any typed character empties the field.
        self.desktop.key(wid, "Return")
        self.desktop.type(wid, text)

    def local_session_to(self, host):
        """Local on the network question, then the host typed and accepted."""
        d = self.desktop
        d.key(d.wait_for(MSG % 0), "alt+l")
        w = d.wait_for(HOST_SCREEN)
        self.clear_and_type(w, host)
        d.key(w, "alt+a")

    # ---- the runs ----
    def test_local_session_connects_and_leaves_viewer_running(self):
        d = self.desktop
        d.start_vnc_server()
        self.install_viewer()
        self.start_nrvnc()
        w = d.wait_for(MSG % 0)
        self.shot("01-network-question")
        d.click_button(w, "Local")
        w = d.wait_for(HOST_SCREEN)
        self.shot("02-host-name")
        self.clear_and_type(w, d.vnc_ip)
        d.key(w, "alt+a")
        self.assertEqual(self.wait_end(), 0)
        self.assertEqual(len(self.viewers()), 1, "the viewer keeps running after NRVNC ended")
        d.wait_for(r"NRVNC test viewer|%s -" % re.escape(d.vnc_ip), timeout=10)
        self.assertIsNone(d.find(r"^VNC Viewer Status for"))
        args = self.viewer_args()
        self.assertEqual(len(args), 1)
        self.assertRegex(args[0], r"^(-viewonly )?-notoolbar -autoacceptincoming -autoscaling "
                                  r"-password qx4817 %s -dsmplugin SecureVNCPlugin\.dsm$"
                         % re.escape(d.vnc_ip))
        self.assertEqual(self.settings_bytes(self.appdata_ini()),
                         ("%s\r\n%s\r\n5901\r\n" % (d.vnc_ip, d.default_repeater)).encode())

    def test_internet_session_fetches_repeater_and_connects_through_it(self):
        d = self.desktop
        with open(os.path.join(self.work, "NRVNC.INI"), "wb") as f:
            f.write(b"pc-17\r\n%s\r\n5901\r\n" % d.ip(2).encode())  # the stored repeater is down
        self.ftp_port = d.start_ftp_server(b"%s\r\n5901\r\n" % d.repeater_ip.encode())
        d.start_repeater(TOOLS)
        d.register_vnc_server_with_repeater("1234")
        self.install_viewer()
        self.start_nrvnc()
        w = d.wait_for(MSG % 0)
        d.key(w, "alt+i")
        try:
            d.wait_for(MSG % 1, timeout=5)
            self.shot("03-stand-by")
        except AssertionError:
            pass  # the stand-by notice may already be gone
        w = d.wait_for(CODE_SCREEN + re.escape(d.repeater_ip) + "   Port # 5901$", timeout=20)
        self.shot("04-access-code")
        d.type(w, "1234")
        d.key(w, "alt+a")
        self.assertEqual(self.wait_end(), 0)
        self.assertEqual(len(self.viewers()), 1)
        args = self.viewer_args()
        self.assertEqual(len(args), 1)
        self.assertIn("-proxy %s:5901 ID:1234 -dsmplugin SecureVNCPlugin.dsm" % d.repeater_ip,
                      args[0])
        d.wait_for(r"NRVNC test viewer| - ", timeout=10)
        self.assertEqual(self.settings_bytes(os.path.join(self.work, "NRVNC.INI")),
                         b"pc-17\r\n%s\r\n5901\r\n" % d.repeater_ip.encode())
        self.assertFalse(os.path.exists(os.path.join(self.work, "Repeater.Dat")))

    def test_viewer_error_box_is_killed_and_retry_offered(self):
        d = self.desktop
        self.install_viewer()
        self.start_nrvnc(viewer_env={"NRVNC_VIEWER_TIMEOUT_MS": "1500"})
        self.local_session_to(d.ip(9))  # nothing listens there
        w = d.wait_for(MSG % 16, timeout=20)
        self.shot("05-connection-failed")
        self.assertEqual(self.viewers(), [], "the failed viewer was terminated")
        d.key(w, "alt+y")
        w = d.wait_for(HOST_SCREEN)  # straight back, without the network question
        self.assertIsNone(d.find(MSG % 0))
        d.key(w, "alt+x")
        self.assertEqual(self.wait_end(), 0)

    def test_viewer_that_ends_at_once_has_not_started(self):
        d = self.desktop
        self.install_viewer()
        self.start_nrvnc(viewer_env={"NRVNC_VIEWER_NO_STATUS": "1", "NRVNC_VIEWER_EXIT_ON_FAIL": "1",
                                     "NRVNC_VIEWER_TIMEOUT_MS": "300"})
        self.local_session_to(d.ip(9))
        w = d.wait_for(MSG % 16, timeout=20)
        self.shot("15-viewer-not-started")
        d.key(w, "alt+y")
        w = d.wait_for(MSG % 0)  # back to the network question
        d.key(w, "alt+e")
        self.assertEqual(self.wait_end(), 0)

    def test_viewer_missing_shows_message_3_and_ends(self):
        d = self.desktop
        self.start_nrvnc()
        w = d.wait_for(MSG % 3)
        self.shot("06-viewer-missing")
        d.key(w, "Return")
        self.assertEqual(self.wait_end(), 0)
        self.assertFalse(os.path.exists(self.appdata_ini()))
        self.assertFalse(os.path.exists(os.path.join(self.work, "NRVNC.INI")))

    def test_rejected_host_name_is_restored(self):
        d = self.desktop
        self.install_viewer()
        self.start_nrvnc(viewer_env={"NRVNC_VIEWER_TIMEOUT_MS": "1000"})
        self.local_session_to("pc/17")
        w = d.wait_for(MSG % 16)
        self.shot("07-host-rejected")
        d.key(w, "alt+y")
        w = d.wait_for(HOST_SCREEN)
        d.key(w, "alt+a")  # accept what the screen shows now: the value from before
        w = d.wait_for(MSG % 16, timeout=30)
        d.key(w, "alt+n")
        self.assertEqual(self.wait_end(), 0)
        args = self.viewer_args()
        self.assertEqual(len(args), 1)
        self.assertIn(" Host Computer Name or IP Address ", args[0])
        self.assertNotIn("pc/17", args[0])

    def test_no_internet_offers_local_only(self):
        d = self.desktop
        self.install_viewer()
        self.start_nrvnc(internet=False)
        w = d.wait_for(MSG % 0, timeout=30)
        self.shot("08-no-internet")
        d.key(w, "alt+i")  # there is no Internet button: nothing happens
        time.sleep(0.5)
        self.assertIsNone(d.find(r"Message # 1|Enter Remote"))
        d.key(w, "alt+e")
        self.assertEqual(self.wait_end(), 0)

    def test_escape_and_exit_on_every_screen(self):
        d = self.desktop
        self.install_viewer()
        self.ftp_port = d.start_ftp_server(None)  # no folder: the download fails
        self.start_nrvnc()
        w = d.wait_for(MSG % 0)
        d.key(w, "alt+l")
        w = d.wait_for(HOST_SCREEN)
        d.key(w, "Escape")
        w = d.wait_for(MSG % 0)
        d.key(w, "alt+i")
        w = d.wait_for(MSG % 3, timeout=30)  # the FTP folder is missing
        self.shot("09-download-failed")
        d.key(w, "Return")
        w = d.wait_for(MSG % 2, timeout=20)
        self.shot("10-repeater-not-found")
        d.key(w, "alt+c")
        w = d.wait_for(CODE_SCREEN)
        self.shot("11-access-code-with-edit-buttons")
        d.type(w, "1234")
        d.key(w, "alt+a")  # the repeater has not been found: refused
        w = d.wait_for(MSG % 16)
        self.shot("14-repeater-not-located")
        d.key(w, "alt+y")
        w = d.wait_for(CODE_SCREEN)
        d.click_button(w, "Edit IP")
        w = d.wait_for(IP_SCREEN)
        self.shot("12-repeater-address")
        d.key(w, "Escape")
        w = d.wait_for(CODE_SCREEN)
        d.click_button(w, "Edit Port #")
        w = d.wait_for(PORT_SCREEN)
        self.shot("13-port")
        d.key(w, "Escape")
        w = d.wait_for(CODE_SCREEN)
        d.key(w, "Escape")
        w = d.wait_for(MSG % 0)
        d.key(w, "alt+l")
        w = d.wait_for(HOST_SCREEN)
        d.click_button(w, "Exit Program")
        self.assertEqual(self.wait_end(), 0)
        self.assertFalse(os.path.exists(self.appdata_ini()), "Exit Program saves nothing")
        self.assertEqual(self.viewer_args(), [])

    def test_exit_program_on_code_ip_and_port_screens(self):
        d = self.desktop
        self.install_viewer()
        for screen in ("code", "ip", "port"):
            self.ftp_port = d.start_ftp_server(None)
            self.start_nrvnc(internet=(screen == "code"))
            w = d.wait_for(MSG % 0)
            d.key(w, "alt+i")
            w = d.wait_for(MSG % 3, timeout=30)
            d.key(w, "Return")
            w = d.wait_for(MSG % 2, timeout=20)
            d.key(w, "alt+c")
            w = d.wait_for(CODE_SCREEN)
            if screen == "ip":
                d.click_button(w, "Edit IP")
                w = d.wait_for(IP_SCREEN)
            elif screen == "port":
                d.click_button(w, "Edit Port #")
                w = d.wait_for(PORT_SCREEN)
            d.key(w, "alt+x")
            self.assertEqual(self.wait_end(), 0, screen)
            self.assertFalse(os.path.exists(self.appdata_ini()))
            d.wait_for(r"Norvane|Enter ", gone=True, timeout=5)


if __name__ == "__main__":
    unittest.main(verbosity=2)
