# The release artifacts as an operator meets them: the Debian package unpacked
# and run, the zip, the icons, the MSI under 64-bit Wine in a fresh prefix.
import glob, os, re, signal, subprocess, sys, tempfile, unittest, zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop_harness import Desktop, pids_of  # noqa: E402
from scenarios import session_to  # noqa: E402
from wine_desktop import Wine_Desktop, unix_path  # noqa: E402

RELEASE, TESTS = os.environ.get("NRVNC_RELEASE_DIR", ""), os.environ.get("NRVNC_PACKAGE_TESTS", "")
I686 = os.path.join(os.environ.get("NRVNC_WINDOWS_BIN_I686", ""), "NRVNC.exe")
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
X86_FOLDER = r"C:\Program Files (x86)\NRVNC"


def artifact(pattern):
    [path] = glob.glob(os.path.join(RELEASE, pattern))
    return path


def read(path):
    return open(path, "rb").read()


class Deb(unittest.TestCase):
    def test_lintian_finds_no_error_and_the_unpacked_nrvnc_runs_a_session_through_its_adapter(self):
        deb = artifact("nrvnc_*.deb")
        lint = subprocess.run(["lintian", deb], capture_output=True, text=True, timeout=120)
        self.assertNotRegex(lint.stdout, r"(?m)^E:")
        with tempfile.TemporaryDirectory() as tmp:
            root = os.path.join(tmp, "root")  # the working folder, tmp, has no viewer
            subprocess.run(["dpkg", "-x", deb, root], check=True)
            d, folder = Desktop(tmp), os.path.join(root, "usr/lib/nrvnc")
            try:
                d.start_remote_desktop("#12ab34")
                nrvnc = d.start([os.path.join(root, "usr/bin/nrvnc")], cwd=tmp, name="nrvnc",
                                env={"HOME": tmp, "LocalAppData": os.path.join(tmp, "data")})
                session_to(d, d.vnc_ip, timeout=60)
                d.wait_for(r" - TigerVNC$", timeout=30)
                self.assertEqual(nrvnc.wait(30), 0)
                # The viewer that runs is the adapter beside the real program, not one on PATH.
                self.assertEqual(len(pids_of("vncviewer", folder)), 1)
            finally:
                for pid in pids_of("vncviewer", folder):
                    os.kill(pid, signal.SIGTERM)
                d.close()


class Windows_Programs(unittest.TestCase):
    def test_the_zip_holds_the_shipped_program_with_its_icon_and_its_readme(self):
        with zipfile.ZipFile(artifact("NRVNC-*-win32.zip")) as z:
            self.assertEqual(sorted(z.namelist()), ["NRVNC.exe", "README.txt"])
            self.assertEqual(z.read("NRVNC.exe"), read(I686))
            self.assertIn(b"netsh advfirewall firewall add rule", z.read("README.txt"))
        listing = subprocess.run(["wrestool", "-l", I686], capture_output=True, text=True).stdout
        self.assertIn("--type=14 --name=1 ", listing)  # icon group 1
        self.assertEqual(listing.count("--type=3 "), 5)  # 16, 24, 32, 48, 256 px


class Msi(unittest.TestCase):
    def setUp(self):
        self.wine = Wine_Desktop(os.path.join(TESTS, "wine"))
        self.wine.setup()
        self.addCleanup(self.wine.cleanup)

    def msiexec(self, *args):
        subprocess.run(["wine", "msiexec"] + list(args) + ["/qn"], env=self.wine.env, check=True,
                       timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def installed(self):  # (files in the folder, shortcuts, Norvane entries)
        path = unix_path(self.wine.prefix, X86_FOLDER)
        query = subprocess.run(["wine", "reg", "query", UNINSTALL, "/s", "/reg:32"],
                               env=self.wine.env, capture_output=True, text=True,
                               timeout=60).stdout.replace("\r", "")
        links = os.path.join(self.wine.prefix, "drive_c/**/Start Menu/Programs/NRVNC.lnk")
        return (sorted(os.listdir(path)) if os.path.isdir(path) else None,
                glob.glob(links, recursive=True),
                [e for e in query.split("\n\n") if re.search(r"Publisher\s+REG_SZ\s+Norvane", e)])

    def test_win32_package_upgrades_in_place_and_uninstalls_all_but_the_settings(self):
        msi = artifact("*.msi")
        settings = os.path.join(unix_path(self.wine.prefix, X86_FOLDER), "NRVNC.INI")
        self.msiexec("/i", os.path.join(TESTS, "NRVNC-old-win32.msi"))
        open(settings, "wb").write(b"pc-17\r\n10.1.2.3\r\n5901\r\n")
        self.msiexec("/i", msi)
        files, [lnk], [entry] = self.installed()
        self.assertEqual(files, ["NRVNC.INI", "NRVNC.exe"])
        self.assertEqual(read(os.path.join(os.path.dirname(settings), "NRVNC.exe")), read(I686))
        self.assertRegex(entry, r"DisplayVersion\s+REG_SZ\s+%s\n" %
                         re.escape(os.environ["NRVNC_MSI_VERSION"]))
        # The shortcut's target (its link info's local path, in the ANSI code
        # page) and its working folder (a counted UTF-16 string).
        self.assertIn((X86_FOLDER + r"\NRVNC.exe").encode() + b"\0", read(lnk))
        self.assertIn(X86_FOLDER.encode("utf-16-le"), read(lnk))
        self.msiexec("/x", msi)
        self.assertEqual(self.installed(), (["NRVNC.INI"], [], []))
        self.assertEqual(read(settings), b"pc-17\r\n10.1.2.3\r\n5901\r\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
