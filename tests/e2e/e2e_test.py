# Whole-program runs of `nrvnc` on a real X desktop (Xvfb): the scenarios of
# scenarios.py, with the copy nrvnc_e2e (whose internet check, FTP server and
# built-in repeater are the case's own loopback addresses) and the viewer
# stand-in in its working folder. adapter_test.py builds on this driver.

import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_harness import Desktop, pids_of  # noqa: E402
from scenarios import Driver, Scenarios  # noqa: E402

BIN = os.environ.get("NRVNC_E2E_BIN", "")
TOOLS = os.environ.get("NRVNC_TOOLS_DIR", "")


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xdotool") and os.path.exists(BIN),
                     "needs Xvfb, xdotool and the nrvnc_e2e program")
class Xvfb_Driver(Driver):
    """nrvnc on an Xvfb of its own, with fresh folders, for each case."""
    TOOLS, VIEWER = TOOLS, os.path.join(TOOLS, "vncviewer")
    OTHER_PROGRAM = (["xev", "-event", "keyboard"], r"^Event Tester$")

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="nrvnc-e2e-")
        self.work, self.program_files, self.local_app_data = (
            os.path.join(self.dir, f) for f in ("work", "programfiles", "appdata"))
        for folder in (self.work, self.program_files, self.local_app_data):
            os.makedirs(folder)
        self.d = Desktop(self.dir)
        shutil.copy(self.VIEWER, self.work)
        self.nrvnc, self.installed, self.program, self.viewer_folder = None, ["vncviewer"], BIN, self.work

    def viewers(self):
        return pids_of("vncviewer", self.viewer_folder)

    def start_nrvnc(self, viewer_env=None, window_manager=False):
        if window_manager:
            self.d.start_window_manager()
        if not self.d.web:
            self.d.start_internet()
        env = {"ProgramFiles": self.program_files, "LocalAppData": self.local_app_data,
               "HOME": self.dir, "NRVNC_VIEWER_RECORD": os.path.join(self.dir, "viewer.args"),
               "NRVNC_VIEWER_HOLD_STATUS_MS": "700"}
        env.update(viewer_env or {})
        self.nrvnc = self.d.start([self.program], env=env, cwd=self.work, name="nrvnc")

    def click(self, w, caption):
        """Clicks the button of form `w` whose shown caption is `caption`."""
        children = self.d.windows("-id %d" % w, "-children")
        found = [c for c, name in children if name.strip() == caption.strip()]
        self.assertTrue(found, "no button %r in window %#x: %s" % (caption, w, children))
        # A little inside its top left corner.
        self.d.run("xdotool", "mousemove", "--sync", "--window", str(found[0]), "6", "6", "click", "1")
        time.sleep(0.2)


class Whole_Program(Scenarios, Xvfb_Driver):
    pass


if __name__ == "__main__":
    unittest.main(verbosity=2)
