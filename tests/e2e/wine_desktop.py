# One Wine desktop shared by the whole-program runs of NRVNC.exe.
#
# Creating a Wine prefix takes seconds and its first COM activations stall,
# so one test run makes one prefix, one Xvfb display with a window manager
# (openbox) and one persistent wineserver, and every Wine case attaches:
#
#   wine_desktop.py setup BASE    start it all in BASE/run-<pid>-<start>
#   wine_desktop.py cleanup BASE  end what setup started, remove that folder
#
# The folder is the test run's own (named after the process that runs the
# tests: CTest starts every test itself), so two runs in one build folder
# never share a prefix or a display; setup removes the folders of runs that
# have ended. CTest's wine.prefix fixture (tests/win32/wine.cmake) calls it;
# the Windows test programs (tests/win32/wine_run.py) and the whole-program
# runs attach. scripts/demo.py and bench/bench_wine.py use `Wine_Desktop`
# directly.

import itertools
import json
import os
import re
import shutil
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_harness import Desktop, eventually, processes  # noqa: E402


def process_start(pid):
    """The start time of a running process (clock ticks since boot), or None."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return int(f.read().rsplit(")", 1)[1].split()[19])
    except (OSError, IndexError, ValueError):
        return None


def run_folder(base):
    """The folder under `base` that belongs to this test run: named after the
    parent, whose start time tells it from a later process with the same ID."""
    return os.path.join(base, "run-%d-%s" % (os.getppid(), process_start(os.getppid())))


def ended_runs(base):
    """The run folders under `base` whose test run has ended."""
    found = []
    for name in os.listdir(base) if os.path.isdir(base) else []:
        m = re.fullmatch(r"run-(\d+)-(\d+|None)", name)
        if m and str(process_start(int(m.group(1)))) != m.group(2):
            found.append(os.path.join(base, name))
    return found


def start_menus_seen(desktop, within):
    """The windows of Wine's start menu seen within `within` seconds. Wine's
    explorer answers a taskbar command posted to its hidden taskbar by opening
    the start menu, which takes the operator's next click: NRVNC must leave
    that taskbar alone, so a run should never see one."""
    return eventually(lambda: desktop.run("xdotool", "search", "--onlyvisible", "--classname",
                                          "explorer.exe", check=False).split(), within)


def button_centres(desktop, wid):
    """Where to click the buttons of a form, left to right. Wine draws them
    inside the form's X window, so they are found by their look: the form
    ends with one row of buttons, boxes of one colour on the black panel,
    narrower than half the form (its frame is wider, letters narrower). The
    click goes a little above their bottom edge. A form not painted yet is
    looked at again."""
    return eventually(lambda: _button_row(desktop, wid), 10, 0.2)


def _button_row(desktop, wid):
    data = subprocess.run(["import", "-display", desktop.display, "-window", str(wid), "-depth", "8",
                           "ppm:-"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30,
                          check=True).stdout
    _, size, _, pixels = data.split(b"\n", 3)  # "P6", "width height", "255", the pixels
    w, h = (int(n) for n in size.split())
    for y in range(h - 1, 0, -1):
        runs, x = [], 0
        for colour, same in itertools.groupby(pixels[(y * w + i) * 3:(y * w + i) * 3 + 3]
                                              for i in range(w)):
            n = len(list(same))
            if colour != b"\0\0\0" and 30 <= n <= w * 0.45:
                runs.append(x + n // 2)
            x += n
        if runs:
            return [(cx, y - 8) for cx in runs]
    return []


def unix_path(prefix, windows_path):
    """Where a C:\\ path of the prefix lies on the Linux side."""
    drive, rest = windows_path[0].lower(), windows_path[3:].replace("\\", "/")
    return os.path.join(prefix, "drive_%s" % drive, rest)


class Wine_Desktop:
    """A display with a window manager and a running wineserver for one prefix."""

    def __init__(self, state_dir):
        self.state_dir = os.path.abspath(state_dir)
        self.prefix = os.path.join(self.state_dir, "prefix")
        self.state_file = os.path.join(self.state_dir, "state.json")
        # The WINE* variables of every Windows run: no mono or gecko installers, no menu entries.
        self.wine_env = dict(WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEARCH="win64",
                             WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.env = dict(os.environ, **self.wine_env)
        self.desktop = None

    # ---- set-up, once per test run ----
    def setup(self, display=None):
        """Makes the prefix and starts the wineserver; on a display of its
        own (Xvfb with openbox) unless `display` names one to use."""
        if os.path.exists(self.state_file):
            self.cleanup()
        shutil.rmtree(self.state_dir, ignore_errors=True)
        os.makedirs(self.state_dir)
        if display:
            self.desktop = Desktop.attach(display, self.state_dir)
        else:
            self.desktop = Desktop(self.state_dir)
            self.desktop.start(["openbox", "--sm-disable"], name="openbox")
        self.env["DISPLAY"] = self.desktop.display
        try:
            self._run(["wineboot", "-i"], 120)
            # "Courier New" is drawn with the metric-compatible Liberation Mono.
            self._run(["wine", "reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v",
                       "Courier New", "/t", "REG_SZ", "/d", "Liberation Mono", "/f"], 60)
        except BaseException:
            self._run(["wineserver", "-k"], 30, check=False)
            self.desktop.close()
            raise
        # A fresh prefix stalls COM until its wineserver has been restarted once.
        self._run(["wineserver", "-k"], 30, check=False)
        self._run(["wineserver", "-w"], 30, check=False)
        server = subprocess.Popen(["wineserver", "-p"], env=self.env, start_new_session=True,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        server.wait(timeout=30)  # it goes to the background itself
        state = {"display": self.desktop.display, "prefix": self.prefix,
                 "pids": [p.pid for p in self.desktop.procs]}
        with open(self.state_file, "w") as f:
            json.dump(state, f)
        # The processes outlive this one; their logs stay open in them.
        self.desktop.procs = []

    def cleanup(self):
        try:
            with open(self.state_file) as f:
                pids = json.load(f)["pids"]
            os.remove(self.state_file)
        except (OSError, ValueError, KeyError):
            pids = []
        self._run(["wineserver", "-k"], 30, check=False)
        # Only ours: the folder may be left from a run long ended.
        for pid, _, args, _ in processes():
            if pid in pids and args[0].startswith((b"Xvfb", b"openbox")):
                for kill in (os.killpg, os.kill):  # Xvfb has no group of its own
                    try:
                        kill(pid, signal.SIGTERM)
                    except OSError:
                        pass

    # ---- for each case ----
    def attach(self, work_dir, own_network=False):
        """A Desktop on the shared display; its own peers end with its close().
        With `own_network`, they listen on a loopback network of its own and
        the programs it starts are pointed there (see desktop_harness.py)."""
        with open(self.state_file) as f:
            self.env["DISPLAY"] = json.load(f)["display"]
        self.desktop = Desktop.attach(self.env["DISPLAY"], work_dir, own_network)
        self.desktop.env.update(self.wine_env)
        return self.desktop

    def start_program(self, exe, cwd, env=None, name=None):
        """Runs a Windows program under Wine in `cwd`; returns the wine process."""
        return self.desktop.start(["wine", exe], env=env, cwd=cwd,
                                  name=name or os.path.splitext(os.path.basename(exe))[0])

    def windows_processes(self, name):
        """Unix process IDs of running Windows programs of this prefix called
        `name` (e.g. vncviewer.exe), started with or without the extension."""
        ours = ("WINEPREFIX=%s" % self.prefix).encode()
        return [pid for pid, _, args, env in processes() if ours in env and
                args[0].replace(b"\\", b"/").split(b"/")[-1].decode(errors="replace").lower()
                in (name.lower(), name.lower()[:-4])]

    def _run(self, args, timeout, check=True):
        r = subprocess.run(args, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                           timeout=timeout)
        if check and r.returncode != 0:
            raise RuntimeError("%s failed: %s" % (args, r.stderr.decode(errors="replace")))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("setup", "cleanup"):
        sys.exit("usage: wine_desktop.py setup|cleanup BASE")
    base = os.path.abspath(sys.argv[2])
    for ended in ended_runs(base) if sys.argv[1] == "setup" else []:
        Wine_Desktop(ended).cleanup()
        shutil.rmtree(ended, ignore_errors=True)
    w = Wine_Desktop(run_folder(base))
    getattr(w, sys.argv[1])()
    if sys.argv[1] == "cleanup":
        shutil.rmtree(w.state_dir, ignore_errors=True)
