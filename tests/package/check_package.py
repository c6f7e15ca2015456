#!/usr/bin/env python3
"""Builds both release ZIPs from the build folder twice and checks them: the
entries each must hold, the executables inside being x64 GUI images, the
programs being the MinGW build (over msvcrt.dll) that the README names, and
the same bytes from the same files.
   usage: check_package.py BUILD_DIR"""
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXPECTED = {
    "GameHost.zip": ["GameHost/GameHost.exe", "GameHost/launcher.exe",
                     "GameHost/README.txt", "GameHost/launcher-protocol.md",
                     "GameHost/gamecheck.exe", "GameHost/game-contract.md"],
    "GameHost-demo.zip": ["GameHost-demo/GameHost.exe", "GameHost-demo/launcher.exe",
                          "GameHost-demo/Mirelune.dll", "GameHost-demo/README.txt"],
}
GUI, CONSOLE, AMD64 = 2, 3, 0x8664
# The shipped build, as the README states it.
SHIPPED_BUILD = "bin"
README_STATES = "msvcrt.dll build"
CONSOLE_TOOLS = ("launcher.exe", "gamecheck.exe")


def pe_machine_and_subsystem(image):
    if image[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", image, pe + 4)[0]
    magic = struct.unpack_from("<H", image, pe + 24)[0]
    subsystem = struct.unpack_from("<H", image, pe + 24 + 68)[0]
    return machine, magic, subsystem


def build(build_dir, out):
    subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "package.py"), build_dir, out],
                   check=True, stdout=subprocess.DEVNULL)


def main():
    build_dir = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
        build(build_dir, first)
        build(build_dir, second)
        for name, entries in EXPECTED.items():
            path = os.path.join(first, name)
            with zipfile.ZipFile(path) as archive:
                names = archive.namelist()
                if names != entries:
                    failures.append(f"{name}: entries {names}, expected {entries}")
                    continue
                readme = archive.read(names[0].split("/")[0] + "/README.txt").decode()
                if name == "GameHost.zip" and README_STATES not in readme:
                    failures.append(f"{name}: README.txt does not say it ships the {README_STATES}")
                for entry in names:
                    base = entry.split("/")[-1]
                    if base in ("GameHost.exe", "launcher.exe", "gamecheck.exe"):
                        built = open(os.path.join(build_dir, SHIPPED_BUILD, base), "rb").read()
                        if archive.read(entry) != built:
                            failures.append(f"{name}: {entry} is not {SHIPPED_BUILD}/{base}")
                    if not entry.endswith((".exe", ".dll")):
                        continue
                    header = pe_machine_and_subsystem(archive.read(entry))
                    wanted = (AMD64, 0x20B, CONSOLE if entry.endswith(CONSOLE_TOOLS) else GUI)
                    if header != wanted:
                        failures.append(f"{name}: {entry} is {header}, expected {wanted}")
            if open(path, "rb").read() != open(os.path.join(second, name), "rb").read():
                failures.append(f"{name}: two builds from the same files differ")
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(EXPECTED) * 2 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
