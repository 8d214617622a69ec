# Whole-program runs of NRVNC.exe under 64-bit Wine: the scenarios of
# scenarios.py, with the x86_64 NRVNC_e2e.exe (whose internet check, FTP
# server and built-in repeater are the case's own loopback addresses) and
# the Windows viewer stand-in in a fresh working folder, on the prefix,
# display (Xvfb with openbox) and wineserver that wine_desktop.py set up for
# this test run. The peers are the same Linux programs as for nrvnc.

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from scenarios import Driver, Scenarios  # noqa: E402
from wine_desktop import Wine_Desktop, button_centres, run_folder, start_menus_seen, unix_path  # noqa

BIN = os.environ.get("NRVNC_WINE_BIN", "")
VIEWER = os.environ.get("NRVNC_WINE_VIEWER", "")
STATE = os.environ.get("NRVNC_WINE_STATE", "")
if STATE and not os.path.exists(os.path.join(STATE, "state.json")):
    STATE = run_folder(STATE)  # the folder of this test run under the one CTest names
# Wine draws a form's buttons inside its window: they are told by their place
# in the button row, counted from the left.
BUTTONS = {"Local": 0, "Yes": 0, "Exit Program": 0, "Edit IP": 1, "Edit Port #": 2}


@unittest.skipUnless(os.path.exists(BIN) and os.path.exists(VIEWER) and STATE and
                     os.path.exists(os.path.join(STATE, "state.json")),
                     "needs NRVNC_e2e.exe, vncviewer.exe and the Wine desktop of this run")
class Wine_Program(Scenarios, Driver):
    TOOLS = os.environ.get("NRVNC_TOOLS_DIR", "")
    # Wine keeps the order of its own windows only: the other program must be
    # a Windows program too. Its keys cannot be read back; the focus it keeps
    # says where they go.
    OTHER_PROGRAM = (["wine", "notepad"], r"Notepad$")
    VIEWER_NAME = "vncviewer "  # GetCommandLineA gives the program's name too

    def setUp(self):
        self.wine = Wine_Desktop(STATE)
        self.dir = tempfile.mkdtemp(prefix="case-", dir=STATE)
        self.work = os.path.join(self.dir, "work")
        os.makedirs(self.work)
        self.d = self.wine.attach(self.dir, own_network=True)
        # Wine sets ProgramFiles and LocalAppData itself, whatever the environment says.
        user = os.environ.get("USER", "root")
        self.program_files = unix_path(self.wine.prefix, r"C:\Program Files")
        self.local_app_data = unix_path(self.wine.prefix, r"C:\users\%s\AppData\Local" % user)
        self.clear_settings()
        shutil.copy(BIN, os.path.join(self.work, "NRVNC.exe"))
        shutil.copy(VIEWER, self.work)
        self.nrvnc, self.installed = None, ["NRVNC.exe", "vncviewer.exe"]

    def clear_settings(self):  # the prefix is the whole run's: what a case saved is removed
        for path in (os.path.join(f, "NRVNC") for f in (self.program_files, self.local_app_data)):
            shutil.rmtree(path, ignore_errors=True)
            if os.path.isfile(path):
                os.remove(path)

    def viewers(self):
        return self.wine.windows_processes("vncviewer.exe")

    def start_nrvnc(self, viewer_env=None, window_manager=False):
        # openbox manages the Wine desktop all the time.
        if not self.d.web:
            self.d.start_internet()
        env = {"NRVNC_VIEWER_HOLD_STATUS_MS": "700",
               "NRVNC_VIEWER_RECORD": "Z:" + os.path.join(self.dir, "viewer.args")}
        env.update(viewer_env or {})
        self.nrvnc = self.wine.start_program(os.path.join(self.work, "NRVNC.exe"), self.work,
                                             env=env, name="nrvnc")
        # The taskbar command of the start-up comes before the first dialog.
        self.d.wait_for(r"^  Norvane  ---  Message # \d+$", timeout=30)
        self.assertEqual(start_menus_seen(self.d, within=1), [])

    def wait_end(self, timeout=30):
        status = super().wait_end(timeout)
        self.assertEqual(start_menus_seen(self.d, within=1), [])  # nor its last one
        return status

    def click(self, w, caption):
        centres = button_centres(self.d, w)
        self.assertGreater(len(centres), BUTTONS[caption], "buttons found at %s" % (centres,))
        x, y = centres[BUTTONS[caption]]
        self.d.run("xdotool", "mousemove", "--window", str(w), str(x), str(y), "click", "1")


if __name__ == "__main__":
    unittest.main(verbosity=2)
