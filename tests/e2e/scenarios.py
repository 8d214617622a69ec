# The whole-program scenarios, each written once as the operator's story:
# the keys pressed, the screens expected, the viewer's command line, the
# settings file's bytes, the processes left running. e2e_test.py runs them
# against `nrvnc` on Xvfb, wine_e2e_test.py against NRVNC.exe under Wine.
#
# A platform driver derives from Driver and gives: self.d (a Desktop with a
# loopback network of its own, see desktop_harness.py), self.dir (the case's
# folder), self.work (the working folder, with the viewer stand-in in it)
# and self.installed (the files it put there), self.program_files and self.local_app_data (where the
# settings go, and where they go when the first cannot be made),
# start_nrvnc(viewer_env, window_manager),
# click(window, caption), viewers() (the viewers running) and OTHER_PROGRAM
# (see the story that uses it).

import datetime
import os
import re
import shutil
import signal
import subprocess
import time
import unittest

from desktop_harness import eventually

MSG = r"^  Norvane  ---  Message # %d$"
HOST_SCREEN = r"^  Enter Host Name or IP Address  $"
CODE_SCREEN = r"^  Enter Remote Viewing Access Code - Repeater IP : "
IP_SCREEN = r"^  Enter IP Address  $"
PORT_SCREEN = r"^  Enter Port Number  $"
OPTIONS = "-notoolbar -autoacceptincoming -autoscaling -password qx4817 "
PLUGIN = " -dsmplugin SecureVNCPlugin.dsm"
SHOTS = os.environ.get("NRVNC_E2E_SHOTS", "")


class Driver(unittest.TestCase):
    """The steps every platform takes alike."""
    VIEWER_NAME = ""  # what the viewer stand-in records before the arguments

    def tearDown(self):
        for pid in self.viewers():
            os.kill(pid, signal.SIGKILL)
        if self.nrvnc and self.nrvnc.poll() is None:
            self.nrvnc.kill()
        self.d.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            self.d.screenshot(os.path.join(SHOTS, name + ".png"))

    def wait_end(self, timeout=30):
        try:
            return self.nrvnc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail("NRVNC did not end; windows: %s" % self.d.windows())

    def file_bytes(self, *parts):
        with open(os.path.join(*parts), "rb") as f:
            return f.read()

    def viewer_command_lines(self):
        """The arguments of each viewer started, as the stand-in recorded them."""
        path = os.path.join(self.dir, "viewer.args")
        lines = self.file_bytes(path).decode("latin-1").splitlines() if os.path.exists(path) else []
        return [l[len(self.VIEWER_NAME):] if l.startswith(self.VIEWER_NAME) else l for l in lines]



def enter(d, w, value):
    """Types `value` into the emptied field of entry screen `w` and accepts it."""
    d.key(w, "Return")  # Enter before any typed character empties the field
    d.type(w, value)
    d.key(w, "alt+a")


def session_to(d, value, internet=False, timeout=20):
    """From the network question: a local session to host `value`, or an
    internet session with access code `value`."""
    d.key(d.wait_for(MSG % 0, timeout), "alt+i" if internet else "alt+l")
    enter(d, d.wait_for(CODE_SCREEN if internet else HOST_SCREEN, timeout=20), value)


class Scenarios:
    """The stories; mixed into a Driver. The desktop given back is checked by
    the flow runs (the taskbar commands) and tests/x11 (the windows)."""

    def test_local_session_connects_and_leaves_viewer_running(self):
        d = self.d
        d.start_vnc_server()
        self.start_nrvnc(window_manager=True)
        w = d.wait_for(MSG % 0)
        self.shot("01-network-question")
        # The operator turns to another program while the question waits: it
        # keeps the keyboard (500 ms later), the question stays above it and waits.
        d.start(self.OTHER_PROGRAM[0], name="other")
        other = d.wait_for(self.OTHER_PROGRAM[1], timeout=30)
        d.run("xdotool", "windowactivate", "--sync", str(other), check=False)
        time.sleep(0.5)
        self.assertEqual(d.run("xdotool", "getactivewindow", check=False).strip(), str(other))
        stacking = [int(x, 16) for x in re.findall(
            r"0x[0-9a-f]+", d.run("xprop", "-root", "_NET_CLIENT_LIST_STACKING"))]
        self.assertGreater(stacking.index(w), stacking.index(other))
        self.assertEqual(d.find(MSG % 0), w)
        self.click(w, "Local")
        w = d.wait_for(HOST_SCREEN)
        self.shot("02-host-name")
        enter(d, w, d.vnc_ip)
        self.assertEqual(self.wait_end(), 0)
        self.assertEqual(len(self.viewers()), 1, "the viewer keeps running after NRVNC ended")
        d.wait_for(r"^%s - NRVNC test viewer$" % re.escape(d.vnc_ip), timeout=10)
        self.assertIsNone(d.find(r"^VNC Viewer Status for"))
        # No access code in a local session: the viewer is view-only.
        self.assertEqual(self.viewer_command_lines(), ["-viewonly " + OPTIONS + d.vnc_ip + PLUGIN])
        self.assertEqual(self.file_bytes(self.program_files, "NRVNC", "NRVNC.INI"),
                         b"%s\r\n%s\r\n5901\r\n" % (d.vnc_ip.encode(), d.default_repeater.encode()))

    def test_internet_session_fetches_repeater_and_connects_through_it(self):
        d = self.d
        with open(os.path.join(self.work, "NRVNC.INI"), "wb") as f:  # its repeater is down
            f.write(b"pc-17\r\n%s\r\n5901\r\n" % d.ip(2).encode())
        d.start_ftp_server(b"%s\r\n5907\r\n" % d.repeater_ip.encode())  # another port too
        d.start_repeater(self.TOOLS, viewer_port=5907)
        # An access code whose second digit is today's weekday (1 = Sunday) gives control.
        code = "5%d77" % (datetime.date.today().isoweekday() % 7 + 1)
        d.register_vnc_server_with_repeater(code)
        self.start_nrvnc()
        d.key(d.wait_for(MSG % 0), "alt+i")
        if SHOTS and eventually(lambda: d.find(MSG % 1), 5):  # the stand-by notice, while it lasts
            self.shot("03-stand-by")
        w = d.wait_for(CODE_SCREEN + re.escape(d.repeater_ip) + "   Port # 5907$", timeout=20)
        self.shot("04-access-code")
        enter(d, w, code)
        self.assertEqual(self.wait_end(), 0)
        self.assertEqual(len(self.viewers()), 1)
        self.assertEqual(self.viewer_command_lines(),
                         [OPTIONS + "-proxy %s:5907 ID:%s" % (d.repeater_ip, code) + PLUGIN])
        d.wait_for(r"^ID:%s - NRVNC test viewer$" % code, timeout=10)
        # Saved where they were read, the downloaded list not kept.
        self.assertEqual(self.file_bytes(self.work, "NRVNC.INI"),
                         b"pc-17\r\n%s\r\n5907\r\n" % d.repeater_ip.encode())
        self.assertEqual(sorted(os.listdir(self.work)), sorted(["NRVNC.INI"] + self.installed))
        self.assertFalse(os.path.exists(os.path.join(self.program_files, "NRVNC")))

    def test_rejected_host_name_is_restored_and_the_failed_viewer_ended(self):
        d = self.d
        # A file where the settings folder would go: it cannot be made
        # there, so the settings go under LocalAppData.
        with open(os.path.join(self.program_files, "NRVNC"), "wb") as f:
            f.write(b"in the way")
        self.start_nrvnc(viewer_env={"NRVNC_VIEWER_TIMEOUT_MS": "1000"})
        session_to(d, "pc/17")
        w = d.wait_for(MSG % 16)
        self.shot("07-host-rejected")
        self.click(w, "Yes")
        # Accepts what it shows: the value from before, which names no host.
        d.key(d.wait_for(HOST_SCREEN), "alt+a")
        w = d.wait_for(MSG % 16, timeout=30)
        self.shot("05-connection-failed")
        self.assertEqual(self.viewers(), [], "the failed viewer was terminated")
        d.key(w, "alt+n")
        self.assertEqual(self.wait_end(), 0)
        # Inserted as it is, blanks and all, without quotes.
        self.assertEqual(self.viewer_command_lines(),
                         ["-viewonly " + OPTIONS + "Host Computer Name or IP Address" + PLUGIN])
        self.assertEqual(self.file_bytes(self.local_app_data, "NRVNC", "NRVNC.INI"),
                         b"Host Computer Name or IP Address\r\n%s\r\n5901\r\n" %
                         d.default_repeater.encode())
        self.assertEqual(self.file_bytes(self.program_files, "NRVNC"), b"in the way")

    def test_failed_download_then_the_edit_screens_and_exit_program(self):
        d = self.d
        d.start_ftp_server(None)  # no folder: the download fails
        self.start_nrvnc()
        d.key(d.wait_for(MSG % 0), "alt+i")
        w = d.wait_for(MSG % 3, timeout=30)  # the FTP folder is missing
        self.shot("09-download-failed")
        d.key(w, "Return")
        w = d.wait_for(MSG % 2, timeout=20)
        self.shot("10-repeater-not-found")
        d.key(w, "alt+c")
        d.wait_for(CODE_SCREEN)
        self.shot("11-access-code-with-edit-buttons")
        for button, screen, shot in (("Edit IP", IP_SCREEN, "12-repeater-address"),
                                     ("Edit Port #", PORT_SCREEN, "13-port")):
            self.click(d.wait_for(CODE_SCREEN), button)
            w = d.wait_for(screen)
            self.shot(shot)
            d.key(w, "Escape")
        self.click(d.wait_for(CODE_SCREEN), "Exit Program")
        self.assertEqual(self.wait_end(), 0)
        self.assertFalse(os.path.exists(os.path.join(self.program_files, "NRVNC")),
                         "Exit Program saves nothing")
        self.assertEqual(self.viewer_command_lines(), [])
