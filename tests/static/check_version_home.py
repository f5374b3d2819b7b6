#!/usr/bin/env python3
"""The product version has one home, the line `set(LEXMORA_VERSION ...)` of
cmake/ProductVersion.cmake, from which the build derives every other form. This check fails when
any other text file of the source tree writes the version: as text ("1.2.3" or "1.2.3.0") or as
the version resource's numbers ("1,2,3,0", blanks allowed), so a release that changes the home
cannot leave an old copy behind.

usage: check_version_home.py SOURCE_DIR VERSION
(VERSION is the one the build read from the home; both must agree.)
"""
import os
import re
import subprocess
import sys

HOME = "cmake/ProductVersion.cmake"
HOME_LINE = re.compile(r"^set\(LEXMORA_VERSION (\S+)\)$", re.M)
# Builds and what they leave; never part of the tree.
SKIPPED_FOLDERS = {".git", "build", "dist"}


def tree_files(root):
    """The files of the tree as git sees them (tracked, and new ones it does not ignore); without
    git, every file below the root but the builds."""
    if os.path.exists(os.path.join(root, ".git")):
        listed = subprocess.run(["git", "-C", root, "ls-files", "-z", "--cached", "--others",
                                 "--exclude-standard"], capture_output=True)
        if listed.returncode == 0:
            return [p for p in listed.stdout.decode().split("\0") if p]
    files = []
    for folder, folders, names in os.walk(root):
        folders[:] = [f for f in folders if f not in SKIPPED_FOLDERS and not f.startswith("build-")]
        files += [os.path.relpath(os.path.join(folder, n), root) for n in names]
    return files


def text_of(path):
    """The file's text, or None for a file that is no text (a program, a picture, a corpus)."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return None  # deleted but still listed, or a dangling link
    if b"\0" in data:
        return None
    return data.decode("utf-8", "replace")


def written_forms(version):
    numbers = version.split(".")
    dotted = r"\.".join(numbers)
    comma = r"\s*,\s*".join(numbers + ["0"])
    return re.compile(rf"(?<![\d.]){dotted}(?:\.0)?(?!\.?\d)|(?<![\d.]){comma}(?!\d)")


def main():
    root, version = sys.argv[1:3]
    home = text_of(os.path.join(root, HOME)) or ""
    homes = HOME_LINE.findall(home)
    if homes != [version]:
        print(f"{HOME}: expected one line set(LEXMORA_VERSION {version}), found {homes}")
        return 1
    forms = written_forms(version)
    found = []
    for relative in sorted(tree_files(root)):
        text = text_of(os.path.join(root, relative))
        if text is None:
            continue
        for number, line in enumerate(text.splitlines(), 1):
            if forms.search(line) and not (relative == HOME and HOME_LINE.match(line)):
                found.append(f"{relative}:{number}: {line.strip()}")
    if found:
        print(f"the product version {version} is written outside its home {HOME} (derive it instead):")
        print("\n".join("  " + f for f in found))
        return 1
    print(f"the product version {version} is written once, in {HOME}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
