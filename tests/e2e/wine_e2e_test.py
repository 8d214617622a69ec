"""Whole-program runs of NRVNC.exe under 64-bit Wine.

The x86_64 NRVNC_e2e.exe (the copy whose built-in repeater, FTP server and
internet-check address each run names in NRVNC_E2E_* variables) and
the Windows viewer stand-in run from a fresh working directory under Wine,
on the display and prefix that wine_desktop.py set up for this test run,
with openbox managing the windows. The peers are the same real programs as
in the Linux runs, on the Linux side: x11vnc, the repeater stand-in,
pyftpdlib and the internet-check listener, on loopback addresses and ports
picked per run. The cases drive NRVNC with access keys, typing and mouse
clicks, and check what a user or a peer sees: visible window titles, the
command line the viewer received, the settings file's bytes, the
processes left running.
"""

import datetime
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_harness import free_port  # noqa: E402
from wine_desktop import Wine_Desktop, button_centres, start_menus_seen  # noqa: E402

BIN = os.environ.get("NRVNC_WINE_BIN", "")
VIEWER = os.environ.get("NRVNC_WINE_VIEWER", "")
STATE = os.environ.get("NRVNC_WINE_STATE", "")
TOOLS = os.environ.get("NRVNC_TOOLS_DIR", "")
SHOTS = os.environ.get("NRVNC_E2E_SHOTS", "")

MSG = r"^  Norvane  ---  Message # %d$"
HOST_SCREEN = r"^  Enter Host Name or IP Address  $"
CODE_SCREEN = r"^  Enter Remote Viewing Access Code - Repeater IP : "
IP_SCREEN = r"^  Enter IP Address  $"
PORT_SCREEN = r"^  Enter Port Number  $"
OPTIONS = "-notoolbar -autoacceptincoming -autoscaling -password qx4817 "
PLUGIN = " -dsmplugin SecureVNCPlugin.dsm"


def free_address(port):
    """A loopback address of 127.x.y.z where `port` is free (x, y picked per run)."""
    for _ in range(200):
        address = "127.%d.%d.%d" % (random.randint(2, 250), random.randint(1, 250),
                                    random.randint(1, 250))
        with socket.socket() as s:
            try:
                s.bind((address, port))
                return address
            except OSError:
                continue
    raise RuntimeError("no free loopback address for port %d" % port)


def free_four_digit_port(address):
    """A free port of exactly four digits (the settings accept no other)."""
    for _ in range(200):
        port = random.randint(1024, 9999)
        with socket.socket() as s:
            try:
                s.bind((address, port))
                return port
            except OSError:
                continue
    raise RuntimeError("no free four-digit port on %s" % address)


def weekday_number():
    """Today's weekday, 1 = Sunday to 7 = Saturday."""
    return datetime.date.today().isoweekday() % 7 + 1


@unittest.skipUnless(os.path.exists(BIN) and os.path.exists(VIEWER) and STATE and
                     os.path.exists(os.path.join(STATE, "state.json")),
                     "needs NRVNC_e2e.exe, vncviewer.exe and the Wine desktop of this run")
class Wine_Program(unittest.TestCase):
    def setUp(self):
        self.wine = Wine_Desktop(STATE)
        self.dir = tempfile.mkdtemp(prefix="case-", dir=STATE)
        self.work = os.path.join(self.dir, "work")
        os.makedirs(self.work)
        self.desktop = self.wine.attach(self.dir)
        self.program_files = self.wine.program_folder("ProgramFiles")
        self.local_app_data = self.wine.program_folder("LocalAppData")
        self._clear_settings()
        shutil.copy(BIN, os.path.join(self.work, "NRVNC.exe"))
        self.nrvnc = None
        self.ftp_port = 0
        # The built-in repeater of this run: nothing listens there.
        self.default_repeater = free_address(5901)

    def tearDown(self):
        for pid in self.wine.windows_processes("vncviewer.exe"):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        if self.nrvnc and self.nrvnc.poll() is None:
            self.nrvnc.kill()
        self.desktop.close()
        self._clear_settings()
        shutil.rmtree(self.dir, ignore_errors=True)

    def _clear_settings(self):
        for folder in (self.program_files, self.local_app_data):
            path = os.path.join(folder, "NRVNC")
            if os.path.isdir(path):
                shutil.rmtree(path)
            elif os.path.exists(path):
                os.remove(path)

    # ---- helpers ----
    def install_viewer(self):
        shutil.copy(VIEWER, os.path.join(self.work, "vncviewer.exe"))

    def start_nrvnc(self, internet=True, viewer_env=None):
        port = free_port()
        if internet:
            self.desktop.start_internet(port)
        # The internet-check address of this run; nothing listens on it
        # when the internet is to be down.
        env = {"NRVNC_E2E_CHECK_URL": "http://127.0.0.1:%d/" % port,
               "NRVNC_E2E_REPEATER_HOST": self.default_repeater,
               "NRVNC_VIEWER_HOLD_STATUS_MS": "700"}
        if self.ftp_port:
            env["NRVNC_FTP_PORT"] = str(self.ftp_port)
        env.update(viewer_env or {})
        self.nrvnc = self.wine.start_program(os.path.join(self.work, "NRVNC.exe"), self.work,
                                             env=env, name="nrvnc")
        # The taskbar command of the start-up comes before the first dialog.
        self.desktop.wait_for(r"^  Norvane  ---  Message # \d+$", timeout=30)
        self.assertEqual(start_menus_seen(self.desktop, within=1), [])

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            self.desktop.screenshot(os.path.join(SHOTS, name + ".png"))

    def wait_end(self, timeout=30):
        try:
            status = self.nrvnc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail("NRVNC.exe did not end; windows: %s" % self.desktop.titles())
        # Nor its last taskbar command.
        self.assertEqual(start_menus_seen(self.desktop, within=1), [])
        return status

    def viewer_command_lines(self):
        """What GetCommandLineA gave each viewer, one line per start."""
        path = os.path.join(self.work, "vncviewer.args")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            return f.read().decode("latin-1").splitlines()

    def file_bytes(self, *parts):
        with open(os.path.join(*parts), "rb") as f:
            return f.read()

    def program_files_ini(self):
        return os.path.join(self.program_files, "NRVNC", "NRVNC.INI")

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

    def click_button(self, wid, index):
        """Clicks the index-th button from the left of the form's button row."""
        centres = button_centres(self.desktop, wid)
        self.assertGreater(len(centres), index, "buttons found at %s" % (centres,))
        x, y = centres[index]
        self.desktop.run("xdotool", "mousemove", "--window", str(wid), str(x), str(y), "click", "1")
        time.sleep(0.2)

    def click_entry_button(self, wid, caption):
        # The row of the access-code screen that offers the edit buttons.
        self.click_button(wid, ["Exit Program", "Edit IP", "Edit Port #", "Accept"].index(caption))

    # ---- the runs ----
    def test_local_session_connects_and_leaves_viewer_running(self):
        d = self.desktop
        host = free_address(5900)
        d.start_vnc_server(host, 5900)
        self.install_viewer()
        self.start_nrvnc()
        w = d.wait_for(MSG % 0)
        self.shot("01-network-question")
        self.click_button(w, 0)  # Local, left of Internet and Exit VNC
        w = d.wait_for(HOST_SCREEN)
        self.shot("02-host-name")
        self.clear_and_type(w, host)
        d.key(w, "alt+a")
        self.assertEqual(self.wait_end(), 0)
        self.assertEqual(len(self.wine.windows_processes("vncviewer.exe")), 1,
                         "the viewer keeps running after NRVNC ended")
        d.wait_for(r"^%s - NRVNC test viewer$" % host.replace(".", r"\."), timeout=10)
        self.assertIsNone(d.find(r"^VNC Viewer Status for"))
        # No access code in a local session: the viewer is view-only.
        self.assertEqual(self.viewer_command_lines(),
                         ["vncviewer -viewonly " + OPTIONS + host + PLUGIN])
        self.assertEqual(self.file_bytes(self.program_files_ini()),
                         b"%s\r\n%s\r\n5901\r\n" % (host.encode(), self.default_repeater.encode()))

    def test_internet_session_fetches_repeater_and_connects_through_it(self):
        d = self.desktop
        repeater = free_address(5500)
        port = free_four_digit_port(repeater)
        stored = repeater[:repeater.rindex(".") + 1] + "254"  # nothing listens there
        with open(os.path.join(self.work, "NRVNC.INI"), "wb") as f:
            f.write(b"pc-17\r\n%s\r\n%d\r\n" % (stored.encode(), port))
        self.ftp_port = d.start_ftp_server(b"%s\r\n%d\r\n" % (repeater.encode(), port))
        d.start_repeater(TOOLS, repeater, port, 5500)
        # An access code whose second digit is today's weekday gives control.
        code = "5%d77" % weekday_number()
        d.register_vnc_server_with_repeater(code, repeater, 5500)
        self.install_viewer()
        self.start_nrvnc()
        w = d.wait_for(MSG % 0)
        d.key(w, "alt+i")
        try:
            d.wait_for(MSG % 1, timeout=5)
            self.shot("03-stand-by")
        except AssertionError:
            pass  # the stand-by notice may already be gone
        w = d.wait_for(CODE_SCREEN + r"%s   Port # %d$" % (repeater.replace(".", r"\."), port),
                       timeout=20)
        self.shot("04-access-code")
        d.type(w, code)
        d.key(w, "alt+a")
        self.assertEqual(self.wait_end(), 0)
        self.assertEqual(len(self.wine.windows_processes("vncviewer.exe")), 1)
        self.assertEqual(self.viewer_command_lines(),
                         ["vncviewer " + OPTIONS + "-proxy %s:%d ID:%s" % (repeater, port, code) +
                          PLUGIN])
        d.wait_for(r"^ID:%s - NRVNC test viewer$" % code, timeout=10)
        self.assertEqual(self.file_bytes(self.work, "NRVNC.INI"),
                         b"pc-17\r\n%s\r\n%d\r\n" % (repeater.encode(), port))
        self.assertFalse(os.path.exists(os.path.join(self.work, "Repeater.Dat")))
        self.assertFalse(os.path.exists(self.program_files_ini()))

    def test_viewer_error_box_is_killed_and_retry_offered(self):
        d = self.desktop
        self.install_viewer()
        self.start_nrvnc(viewer_env={"NRVNC_VIEWER_TIMEOUT_MS": "1500"})
        self.local_session_to(free_address(5900))  # nothing listens there
        w = d.wait_for(MSG % 16, timeout=20)
        self.shot("05-connection-failed")
        self.assertEqual(self.wine.windows_processes("vncviewer.exe"), [],
                         "the failed viewer was terminated")
        self.assertIsNone(d.find(r"^VncViewer Message Box$"))
        self.click_button(w, 0)  # Yes
        w = d.wait_for(HOST_SCREEN)  # straight back, without the network question
        self.assertIsNone(d.find(MSG % 0))
        d.key(w, "alt+x")
        self.assertEqual(self.wait_end(), 0)

    def test_viewer_that_ends_at_once_has_not_started(self):
        d = self.desktop
        self.install_viewer()
        self.start_nrvnc(viewer_env={"NRVNC_VIEWER_NO_STATUS": "1", "NRVNC_VIEWER_EXIT_ON_FAIL": "1",
                                     "NRVNC_VIEWER_TIMEOUT_MS": "300"})
        self.local_session_to(free_address(5900))
        w = d.wait_for(MSG % 16, timeout=20)
        self.shot("15-viewer-not-started")
        self.assertEqual(len(self.viewer_command_lines()), 1)
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
        self.assertFalse(os.path.exists(os.path.join(self.program_files, "NRVNC")))
        self.assertFalse(os.path.exists(os.path.join(self.local_app_data, "NRVNC")))
        self.assertFalse(os.path.exists(os.path.join(self.work, "NRVNC.INI")))

    def test_a_waiting_dialog_leaves_the_keyboard_to_the_program_the_operator_turned_to(self):
        self.install_viewer()
        self.start_nrvnc()
        dialog = self.desktop.wait_for(MSG % 0)
        # Wine keeps the order of its own windows only: the other program
        # must be a Windows program too. Its keys cannot be read back; the
        # focus it keeps says where they go.
        notepad = (["wine", "notepad"], r"Notepad$")
        self.assertEqual(self.desktop.turn_to_another_program(dialog, MSG % 0, notepad),
                         (True, True, None, True))

    def test_rejected_host_name_is_restored_and_saved_under_local_app_data(self):
        d = self.desktop
        # A file where the settings folder would go under ProgramFiles: the
        # folder cannot be made there, so the settings go to LocalAppData.
        with open(os.path.join(self.program_files, "NRVNC"), "wb") as f:
            f.write(b"in the way")
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
        # Inserted as it is, blanks and all, without quotes.
        self.assertEqual(self.viewer_command_lines(),
                         ["vncviewer -viewonly " + OPTIONS + "Host Computer Name or IP Address" +
                          PLUGIN])
        self.assertEqual(self.file_bytes(self.local_app_data, "NRVNC", "NRVNC.INI"),
                         b"Host Computer Name or IP Address\r\n%s\r\n5901\r\n" %
                         self.default_repeater.encode())
        self.assertEqual(self.file_bytes(self.program_files, "NRVNC"), b"in the way")

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
        for button, screen, shot in (("Edit IP", IP_SCREEN, "12-repeater-address"),
                                     ("Edit Port #", PORT_SCREEN, "13-port")):
            w = d.wait_for(CODE_SCREEN)
            self.click_entry_button(w, button)
            w = d.wait_for(screen)
            self.shot(shot)
            d.key(w, "Escape")
        w = d.wait_for(CODE_SCREEN)
        d.key(w, "Escape")
        w = d.wait_for(MSG % 0)
        d.key(w, "alt+l")
        w = d.wait_for(HOST_SCREEN)
        d.key(w, "alt+x")
        self.assertEqual(self.wait_end(), 0)
        self.assertFalse(os.path.exists(os.path.join(self.program_files, "NRVNC")),
                         "Exit Program saves nothing")
        self.assertEqual(self.viewer_command_lines(), [])

    def test_exit_program_on_code_ip_and_port_screens(self):
        d = self.desktop
        self.install_viewer()
        for screen in ("code", "ip", "port"):
            self.ftp_port = d.start_ftp_server(None)
            self.start_nrvnc()
            w = d.wait_for(MSG % 0)
            d.key(w, "alt+i")
            w = d.wait_for(MSG % 3, timeout=30)
            d.key(w, "Return")
            w = d.wait_for(MSG % 2, timeout=20)
            d.key(w, "alt+c")
            w = d.wait_for(CODE_SCREEN)
            if screen == "ip":
                self.click_entry_button(w, "Edit IP")
                w = d.wait_for(IP_SCREEN)
            elif screen == "port":
                self.click_entry_button(w, "Edit Port #")
                w = d.wait_for(PORT_SCREEN)
            d.key(w, "alt+x")
            self.assertEqual(self.wait_end(), 0, screen)
            self.assertFalse(os.path.exists(os.path.join(self.program_files, "NRVNC")))
            d.wait_for(r"Norvane|Enter ", gone=True, timeout=5)


if __name__ == "__main__":
    unittest.main(verbosity=2)
