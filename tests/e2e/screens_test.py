"""The whole program on screens other than the usual one: 1280x1024 at 100,
110 and 141 dpi (where few font sizes read back unchanged) and 1024x768 at
96 dpi. Every entry screen, and the widest message, opens and lies on the
screen, and the session goes on to a connection.
"""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_test  # noqa: E402
from desktop_harness import Desktop  # noqa: E402
from e2e_test import BIN, CODE_SCREEN, HOST_SCREEN, IP_SCREEN, MSG, PORT_SCREEN  # noqa: E402

SHOTS = os.environ.get("NRVNC_E2E_SHOTS", "")


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xdotool") and os.path.exists(BIN),
                     "needs Xvfb, xdotool and the nrvnc_e2e program")
class Screens(e2e_test.Whole_Program):
    SCREEN, DPI = "1280x1024x24", 96

    def setUp(self):
        super().setUp()
        self.desktop.close()
        self.desktop = Desktop(self.dir, screen=self.SCREEN, dpi=self.DPI)

    def opened(self, pattern, name):
        d = self.desktop
        w = d.wait_for(pattern)
        g = d.geometry(w)
        screen_w, screen_h = (int(v) for v in self.SCREEN.split("x")[:2])
        self.assertTrue(0 <= g["x"] and g["x"] + g["w"] <= screen_w and 0 <= g["y"] and
                        g["y"] + g["h"] <= screen_h,
                        "%s lies on the %s screen: %s" % (name, self.SCREEN, g))
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            d.screenshot(os.path.join(SHOTS, "screens-%s-%d-dpi-%s.png" % (self.SCREEN[:-3], self.DPI, name)))
        return w

    def test_every_entry_screen_opens_and_the_session_goes_on(self):
        d = self.desktop
        d.start_vnc_server("127.1.1.3", 5900)
        self.install_viewer()
        self.ftp_port = d.start_ftp_server(None)  # no folder: the repeater is not found
        self.start_nrvnc()
        d.key(d.wait_for(MSG % 0), "alt+i")
        d.key(d.wait_for(MSG % 3, timeout=30), "Return")
        d.key(self.opened(MSG % 2, "message-2"), "alt+c")  # its longest line is 10 inches
        d.click_button(self.opened(CODE_SCREEN, "code"), "Edit IP")
        d.key(self.opened(IP_SCREEN, "ip"), "Escape")
        d.click_button(d.wait_for(CODE_SCREEN), "Edit Port #")
        d.key(self.opened(PORT_SCREEN, "port"), "Escape")
        d.key(d.wait_for(CODE_SCREEN), "Escape")
        d.key(d.wait_for(MSG % 0), "alt+l")
        w = self.opened(HOST_SCREEN, "host")
        d.key(w, "End", *["BackSpace"] * 40)
        d.type(w, "127.1.1.3")
        d.key(w, "alt+a")
        self.assertEqual(self.wait_end(), 0)
        self.assertEqual(len(self.viewer_args()), 1)


class Screens_100_Dpi(Screens):
    SCREEN, DPI = "1280x1024x24", 100


class Screens_110_Dpi(Screens):
    SCREEN, DPI = "1280x1024x24", 110


class Screens_141_Dpi(Screens):
    SCREEN, DPI = "1280x1024x24", 141


class Screens_1024x768(Screens):
    SCREEN, DPI = "1024x768x24", 96


del Screens  # only the four screens run

if __name__ == "__main__":
    unittest.main()
