#!/usr/bin/env python3
"""Builds the two release ZIPs from a build folder, reproducibly: entries in a
fixed order with a fixed time stamp and fixed permissions, so the same files
give the same archive bytes.
   usage: package.py BUILD_DIR OUT_DIR
Writes OUT_DIR/GameHost.zip (what a Launcher team installs beside its game,
with the contract checker and guide for the game team)
and OUT_DIR/GameHost-demo.zip (the same with the sample game as Mirelune.dll,
ready to run on Windows: launcher.exe starts it all).

Both ship the MinGW build of GameHost.exe and launcher.exe from BUILD_DIR/bin
(over msvcrt.dll, which every Windows has), not the clang build over
ucrtbase.dll in BUILD_DIR/bin/msvc (Windows 10 on, or 7 and 8.1 with the
Universal C Runtime update); packaging/README.txt tells the user why."""
import os
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STAMP = (1980, 1, 1, 0, 0, 0)


def add(archive, name, path):
    info = zipfile.ZipInfo(name, STAMP)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0
    info.external_attr = 0
    with open(path, "rb") as source:
        archive.writestr(info, source.read(), compresslevel=9)


def write_zip(path, entries):
    with zipfile.ZipFile(path, "w") as archive:
        for name, source in entries:
            add(archive, name, source)
    print(path)


def main():
    build, out = sys.argv[1], sys.argv[2]
    binaries = os.path.join(build, "bin")
    os.makedirs(out, exist_ok=True)
    release = [
        ("GameHost/GameHost.exe", os.path.join(binaries, "GameHost.exe")),
        ("GameHost/launcher.exe", os.path.join(binaries, "launcher.exe")),
        ("GameHost/README.txt", os.path.join(ROOT, "packaging", "README.txt")),
        ("GameHost/launcher-protocol.md", os.path.join(ROOT, "docs", "launcher-protocol.md")),
        ("GameHost/gamecheck.exe", os.path.join(binaries, "gamecheck.exe")),
        ("GameHost/game-contract.md", os.path.join(ROOT, "docs", "game-contract.md")),
    ]
    demo = [
        ("GameHost-demo/GameHost.exe", os.path.join(binaries, "GameHost.exe")),
        ("GameHost-demo/launcher.exe", os.path.join(binaries, "launcher.exe")),
        ("GameHost-demo/Mirelune.dll", os.path.join(binaries, "sample_game.exe")),
        ("GameHost-demo/README.txt", os.path.join(ROOT, "packaging", "README-demo.txt")),
    ]
    write_zip(os.path.join(out, "GameHost.zip"), release)
    write_zip(os.path.join(out, "GameHost-demo.zip"), demo)


if __name__ == "__main__":
    main()
