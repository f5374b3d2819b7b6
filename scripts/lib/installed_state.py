#!/usr/bin/python3
"""Judgements of scripts/check-installer that want more than a line of shell: what the program
says of itself (read by pefile, which the project did not write), the installed tree against the
payload, and the registry as `reg query` prints it. Each judgement prints one line (what was
found, or what is wrong) and exits 0 when it holds, 1 when not.

  installed_state.py program PROGRAM
      "x86 VERSION" or "x64 VERSION": machine and the ProductVersion text of the version resource
  installed_state.py tree INSTALLED PAYLOAD INSTALLER [PREVIOUS_PAYLOAD]
      INSTALLED holds exactly PAYLOAD's files byte for byte, and uninstall.exe, which is
      INSTALLER; with PREVIOUS_PAYLOAD, none of the files only that payload had
  installed_state.py entry VERSION FOLDER SIZE < reg-query-output
      the uninstall entry's eleven values, for an installation in FOLDER (Windows path) whose
      payload resource and installer together are SIZE bytes
  installed_state.py autostart PROGRAM COUNT < reg-query-output
      COUNT values of the Run key start PROGRAM (Windows path)
"""
import filecmp
import os
import re
import sys

VALUE = re.compile(r"^    (.+?)    (REG_\w+)    ?(.*)$")
UNINSTALLER = "uninstall.exe"


def registry_values(text):
    """{name: (type, data)} of one key as `reg query KEY` prints it."""
    values = {}
    for line in text.replace("\r", "").splitlines():
        match = VALUE.match(line)
        if match:
            values[match.group(1)] = (match.group(2), match.group(3))
    return values


def same_path(a, b):
    """Windows compares paths without regard to the case of ASCII letters."""
    return a.lower() == b.lower()


def program(path):
    import pefile  # Debian's python3-pefile, for /usr/bin/python3

    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    machine = {0x14C: "x86", 0x8664: "x64"}.get(pe.FILE_HEADER.Machine, hex(pe.FILE_HEADER.Machine))
    version = None
    for info in getattr(pe, "FileInfo", None) or []:
        for block in info:
            for table in getattr(block, "StringTable", []):
                version = version or table.entries.get(b"ProductVersion")
    if version is None:
        print(f"{machine}: the program carries no ProductVersion in a version resource")
        return 1
    print(machine, version.decode("utf-8", "replace"))
    return 0


def files_below(folder):
    found = set()
    for parent, _, names in os.walk(folder):
        found.update(os.path.relpath(os.path.join(parent, n), folder) for n in names)
    return found


def tree(installed, payload, installer, previous=None):
    problems = []
    have, want = files_below(installed), files_below(payload)
    if UNINSTALLER not in have:
        problems.append(f"no {UNINSTALLER}")
    elif not filecmp.cmp(os.path.join(installed, UNINSTALLER), installer, shallow=False):
        problems.append(f"{UNINSTALLER} is not the installer byte for byte")
    missing = sorted(want - have)
    extra = sorted(have - want - {UNINSTALLER})
    changed = sorted(p for p in want & have
                     if not filecmp.cmp(os.path.join(installed, p), os.path.join(payload, p), shallow=False))
    left = []
    if previous:
        left = sorted((files_below(previous) - want) & have)
        extra = [p for p in extra if p not in left]
    for what, paths in (("missing", missing), ("not as in the payload", changed),
                        ("left of the previous version", left), ("not in the payload", extra)):
        if paths:
            problems.append(f"{what}: {', '.join(paths[:5])}{' ...' if len(paths) > 5 else ''}")
    if problems:
        print("; ".join(problems))
        return 1
    only_previous = len(files_below(previous) - want) if previous else 0
    note = f"; none of the {only_previous} files only the previous version had" if only_previous else ""
    print(f"{len(want)} files as in the payload, and {UNINSTALLER} = the installer{note}")
    return 0


def entry(version, folder, size):
    values = registry_values(sys.stdin.read())
    if not values:
        print("no uninstall entry")
        return 1
    program = folder + "\\lexmora.exe"
    expected = {  # name: (type, check of the data, what it should be)
        "DisplayIcon": ("REG_SZ", lambda d: same_path(d, program + ",0"), program + ",0"),
        "DisplayName": ("REG_SZ", lambda d: d == "Lexmora", "Lexmora"),
        "DisplayVersion": ("REG_SZ", lambda d: d == version, version),
        "EstimatedSize": ("REG_DWORD", lambda d: int(d, 16) == int(size) // 1024, f"{int(size) // 1024} KiB"),
        "InstallLocation": ("REG_SZ", lambda d: same_path(d, folder), folder),
        "NoModify": ("REG_DWORD", lambda d: int(d, 16) == 1, "1"),
        "NoRepair": ("REG_DWORD", lambda d: int(d, 16) == 1, "1"),
        "Publisher": ("REG_SZ", lambda d: d != "", "a publisher"),
        "UninstallString": ("REG_SZ", lambda d: same_path(d, f'"{folder}\\{UNINSTALLER}" /uninstall'),
                            f'"{folder}\\{UNINSTALLER}" /uninstall'),
        "URLInfoAbout": ("REG_SZ", lambda d: d != "", "an address"),
        "Version": ("REG_SZ", lambda d: d == version, version),
    }
    problems = [f"unexpected value {name}" for name in sorted(set(values) - set(expected))]
    for name, (kind, holds, should) in expected.items():
        if name not in values:
            problems.append(f"no {name}")
        elif values[name][0] != kind or not holds(values[name][1]):
            problems.append(f"{name} is {values[name][0]} {values[name][1]!r}, expected {kind} {should}")
    if problems:
        print("; ".join(problems))
        return 1
    print(f"{len(expected)} values; DisplayVersion and Version {version}, the program's own")
    return 0


def autostart(program, count):
    """Run values that start the program: its path alone, or quoted and followed by arguments."""
    starting = []
    for name, (_, data) in registry_values(sys.stdin.read()).items():
        command = data.strip()
        if command.startswith('"'):
            command = command[1:].split('"', 1)[0]
        if same_path(command, program):
            starting.append(name)
    if len(starting) != int(count):
        print(f"{len(starting)} Run values start {program} ({', '.join(starting) or 'none'}), expected {count}")
        return 1
    print(f"{len(starting)} Run value starts {program}: {starting[0]}" if starting else f"no Run value starts {program}")
    return 0


if __name__ == "__main__":
    commands = {"program": program, "tree": tree, "entry": entry, "autostart": autostart}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    sys.exit(commands[sys.argv[1]](*sys.argv[2:]))
