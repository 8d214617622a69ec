"""Checks the Windows builds' programs by their file headers (objdump -p).

Usage: check_windows_programs.py [--expect NAME.exe] --x86_64 BUILD --i686 BUILD

Every program in BUILD/bin may import only DLLs that every Windows has; any
other DLL (a mingw runtime DLL that was not linked in statically, say)
fails. The programs that are not tests may import only known DLLs, which
Windows (7 and later) always takes from the system folder: an imported DLL
of another name is looked for in the program's folder first, where a
planted copy would run inside the program (WinINet is loaded at run time).
Each build's programs must be of its architecture: PE32+ / x86-64, and PE32 /
i386 for the i686 build (the program that ships), and each build must have
the --expect programs. The test programs (test_*.exe) are console programs;
every other program opens windows (NRVNC.exe, the viewer stand-in, the
tests' child program) and is a GUI-subsystem program.
"""
import argparse
import glob
import os
import re
import subprocess
import sys

KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "ws2_32.dll", "imm32.dll",
              "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll"}
ALLOWED_IN_TESTS = KNOWN_DLLS | {"wininet.dll"}
ARCH = {"x86_64": ("x86_64-w64-mingw32-objdump", "pei-x86-64"),
        "i686": ("i686-w64-mingw32-objdump", "pei-i386")}


def dump(objdump, path, flag="-p"):
    return subprocess.run([objdump, flag, path], capture_output=True, text=True,
                          check=True).stdout


def check_program(arch, path, faults):
    objdump, file_format = ARCH[arch]
    text = dump(objdump, path)
    name = os.path.basename(path)
    if "file format " + file_format not in text:
        faults.append("%s: not %s" % (path, file_format))
    test = name.lower().startswith("test_")
    for dll in re.findall(r"DLL Name: (\S+)", text):
        dll = dll.lower()
        # API sets (api-ms-win-crt-*) are resolved by the loader, never searched.
        if dll not in (ALLOWED_IN_TESTS if test else KNOWN_DLLS) and \
                not dll.startswith("api-ms-win-crt-"):
            faults.append("%s imports %s" % (path, dll))
    subsystem = re.search(r"^Subsystem\s+\w+\s+\((.*)\)", text, re.M)
    want = "Windows CUI" if test else "Windows GUI"
    if not subsystem or subsystem.group(1) != want:
        faults.append("%s: subsystem is %s, not %s"
                      % (path, subsystem.group(1) if subsystem else "unknown", want))


# The shipped program's manifest: DPI aware and the supported systems, and no
# requested execution level, which would switch off the file virtualisation
# that lets a standard user save beside a program under Program Files.
MANIFEST_NEEDS = [r"<dpiAware[^>]*>true</dpiAware>", r"<dpiAwareness[^>]*>system</dpiAwareness>",
                  r"35138b9a-5d96-4fbd-8e2d-a2440225f93a", r"8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"]


def check_shipped(path, faults):
    with open(path, "rb") as f:
        data = f.read()
    found = re.search(rb"<assembly.*?</assembly>", data, re.S)
    manifest = found.group(0).decode("utf-8", "replace") if found else ""
    for needed in MANIFEST_NEEDS:
        if not re.search(needed, manifest):
            faults.append("%s: manifest lacks %s" % (path, needed))
    if "requestedExecutionLevel" in manifest or "trustInfo" in manifest:
        faults.append("%s: manifest requests an execution level" % path)
    sections = dump(ARCH["i686"][0], path, "-h")
    if ".debug_info" in sections or ".gnu_debuglink" not in sections:
        faults.append("%s: not stripped with a link to its symbols" % path)
    if ".debug_info" not in dump(ARCH["i686"][0], path + ".debug", "-h"):
        faults.append("%s.debug holds no symbols" % path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--expect", action="append", default=[])
    parser.add_argument("--x86_64", required=True)
    parser.add_argument("--i686", required=True)
    options = parser.parse_args()
    faults, checked = [], 0
    for arch, build in (("x86_64", options.x86_64), ("i686", options.i686)):
        programs = sorted(glob.glob(os.path.join(build, "bin", "*.exe")))
        names = {os.path.basename(p) for p in programs}
        for expected in options.expect:
            if expected not in names:
                faults.append("%s build has no %s" % (arch, expected))
        for program in programs:
            check_program(arch, program, faults)
            checked += 1
        if arch == "i686" and "NRVNC.exe" in names:
            check_shipped(os.path.join(build, "bin", "NRVNC.exe"), faults)
    for fault in faults:
        print("FAULT:", fault)
    print("checked %d files" % checked)
    return 1 if faults or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
