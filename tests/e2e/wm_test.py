"""Whole-program runs of NRVNC on a desktop with a window manager (openbox).

Another program's window is open when NRVNC starts: it is minimised while
NRVNC runs and given back when NRVNC ends, whatever openbox did meanwhile
(it leaves its "show the desktop" mode by itself when a new window comes).
"""

import os
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
QUESTION = r"^  Norvane  ---  Message # 0$"
HOST_SCREEN = r"^  Enter Host Name or IP Address  $"
OTHER = r"^Another program$"


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xdotool") and shutil.which("openbox")
                     and shutil.which("xmessage") and os.path.exists(BIN),
                     "needs Xvfb, xdotool, openbox, xmessage and the nrvnc_e2e program")
class Window_Manager(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nrvnc-wm-")
        self.work = os.path.join(self.dir, "work")
        os.makedirs(self.work)
        shutil.copy(os.path.join(TOOLS, "vncviewer"), os.path.join(self.work, "vncviewer"))
        self.desktop = Desktop(self.dir)
        self.desktop.start_window_manager()
        self.desktop.start(["xmessage", "-title", "Another program", "Another program"])
        self.other = self.desktop.wait_for(OTHER)
        self.assertEqual(self.desktop.wm_state(self.other), "Normal")
        self.nrvnc = None

    def our_viewers(self):
        """Viewers started in this run's folder; other runs on the machine keep theirs."""
        found = []
        for pid in pids_of("vncviewer"):
            try:
                if os.readlink("/proc/%d/cwd" % pid) == self.work:
                    found.append(pid)
            except OSError:
                pass
        return found

    def tearDown(self):
        for pid in self.our_viewers():
            try:
                os.kill(pid, 15)
            except OSError:
                pass
        if self.nrvnc and self.nrvnc.poll() is None:
            self.nrvnc.kill()
        self.desktop.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def start_nrvnc(self):
        env = {"LocalAppData": self.dir, "HOME": self.dir, "NRVNC_VIEWER_HOLD_STATUS_MS": "700"}
        self.nrvnc = self.desktop.start([BIN], env=env, cwd=self.work, name="nrvnc")
        return self.desktop.wait_for(QUESTION)

    def other_window_state(self, wanted, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            state = self.desktop.wm_state(self.other)
            if state == wanted:
                return state
            time.sleep(0.05)
        return state

    def end_and_expect_the_window_back(self):
        try:
            self.assertEqual(self.nrvnc.wait(timeout=30), 0)
        except subprocess.TimeoutExpired:
            self.fail("nrvnc did not end; windows: %s" % self.desktop.titles())
        self.assertEqual(self.other_window_state("Normal"), "Normal")
        self.assertIsNotNone(self.desktop.find(OTHER), "viewable again")

    def test_exit_vnc(self):
        w = self.start_nrvnc()
        self.assertEqual(self.other_window_state("Iconic"), "Iconic")
        self.desktop.key(w, "alt+e")
        self.end_and_expect_the_window_back()

    def test_connected_session(self):
        d = self.desktop
        d.start_vnc_server(d.ip(3), 5900)
        w = self.start_nrvnc()
        d.key(w, "alt+l")
        w = d.wait_for(HOST_SCREEN)
        # On the second dialog the other window is still minimised.
        self.assertEqual(self.other_window_state("Iconic"), "Iconic")
        d.key(w, "Return")
        d.type(w, d.ip(3))
        d.key(w, "alt+a")
        self.end_and_expect_the_window_back()
        self.assertEqual(len(self.our_viewers()), 1, "the viewer keeps running")

    def test_a_waiting_dialog_leaves_the_keyboard_to_the_program_the_operator_turned_to(self):
        dialog = self.start_nrvnc()
        self.assertEqual(self.desktop.turn_to_another_program(dialog, QUESTION),
                         (True, True, ["k", "e"], True))


if __name__ == "__main__":
    unittest.main()
