#!/usr/bin/env python3
"""Fails when a client folder includes a header of a folder above it.

From the bottom: service/ (no window code), ui/ (what several windows share),
windows/ (the secondary windows), shell/ and mainwindow/. The shell's entry
alone starts the main window. A header is known by its file name, which is
unique across client/.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CLIENT = os.path.join(ROOT, "client")
WINDOW_FOLDERS = {"ui", "windows", "shell", "mainwindow"}
# Folders each may not include, and files excused from the rule.
FORBIDDEN = {
    "service": WINDOW_FOLDERS,
    "ui": {"windows", "shell", "mainwindow"},
    "windows": {"shell", "mainwindow"},
    "shell": {"mainwindow"},
}
EXCUSED = {os.path.join("shell", "main.cpp")}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
# The service core builds natively too: Windows only behind its win32/ seam.
WINDOWS_HEADER = re.compile(r'^\s*#\s*include\s*<(windows|winsock2|wininet|shlobj|objbase)\.h>', re.M | re.I)


def top_folder(relative):
    return relative.split(os.sep, 1)[0]


def sources():
    for folder, _, names in os.walk(CLIENT):
        for name in names:
            if name.endswith((".h", ".cpp")):
                path = os.path.join(folder, name)
                yield os.path.relpath(path, CLIENT)


def main():
    owner = {}
    for relative in sources():
        if relative.endswith(".h"):
            owner.setdefault(os.path.basename(relative), set()).add(top_folder(relative))
    broken = []
    for relative in sorted(sources()):
        forbidden = FORBIDDEN.get(top_folder(relative), set())
        if not forbidden or relative in EXCUSED:
            continue
        with open(os.path.join(CLIENT, relative), encoding="utf-8") as source:
            text = source.read()
        if top_folder(relative) == "service" and not relative.startswith(os.path.join("service", "win32")):
            broken += ["client/%s includes <%s.h> outside the win32 seam" % (relative, h) for h in WINDOWS_HEADER.findall(text)]
        for included in INCLUDE.findall(text):
            folders = owner.get(os.path.basename(included), set())
            if folders and folders <= forbidden:
                broken.append("client/%s includes %s from client/%s" % (relative, included, "/".join(sorted(folders))))
    for line in broken:
        print(line)
    print("include layers: %d source files, %d broken includes" % (len(list(sources())), len(broken)))
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
