#!/usr/bin/env python3
"""The installer's folders depend one way: each includes only from its own folder and the folders
below it, in the order of LAYERS (docs/design.md). Windows itself stays in platform/: above it,
<windows.h> only where a Windows type is part of an interface (ALLOWED_WINDOWS), and no UTF-8 to
UTF-16 conversion at all; functions are looked up by name (GetProcAddress) in one place only,
where their type is the system's own declaration.

usage: check_layers.py SOURCE_DIR
"""
import os
import re
import sys

LAYERS = ["text", "platform", "payload", "machine", "install", "ui", "app"]
# The entry point's WinMain and the window's handle.
ALLOWED_WINDOWS = {"app/main.cpp", "ui/graphical_interface.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+[<"]([^>"]+)[>"]', re.M)
# The one place that looks functions up by name, typed as the system declares them.
LOOKUP_HOME = "platform/system_function.h"
LOOKUP = re.compile(r"\bGetProcAddress\b")
CONVERSION = re.compile(r"\b(utf8ToWide|wideToUtf8|MultiByteToWideChar|WideCharToMultiByte)\b")


def problems(root):
    found = []
    for rank, layer in enumerate(LAYERS):
        for folder, _, names in os.walk(os.path.join(root, layer)):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(folder, name)
                relative = os.path.relpath(path, root)
                text = open(path, encoding="utf-8").read()
                for included in INCLUDE.findall(text):
                    top = included.split("/")[0]
                    if top in LAYERS and LAYERS.index(top) > rank:
                        found.append(f"{relative}: includes {included}, from a folder above {layer}/")
                    if included.lower() == "windows.h" and layer != "platform" and relative not in ALLOWED_WINDOWS:
                        found.append(f"{relative}: includes <windows.h> outside platform/")
                if relative != LOOKUP_HOME and LOOKUP.search(text):
                    found.append(f"{relative}: looks a function up by name outside {LOOKUP_HOME}")
                if layer != "platform" and CONVERSION.search(text):
                    found.append(f"{relative}: converts text for Windows outside platform/")
    return found


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    found = problems(sys.argv[1])
    for problem in found:
        print(problem)
    if found:
        sys.exit(1)
    print("every folder includes only from its own and those below it; Windows stays in platform/")


if __name__ == "__main__":
    main()
