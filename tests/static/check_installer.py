#!/usr/bin/env python3
"""Static checks of a built installer program, run on Linux with binutils and icoutils:
machine type, GUI subsystem, the manifest, icon group 256, the imports, and the payload's section
starting on a page of the file.

usage: check_installer.py PROGRAM x86|x64 ALLOWED_IMPORTS_FILE
"""
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

# Libraries that Windows loads only from its own folder (KnownDLLs): a copy planted beside the
# installer can never be picked up for them.
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
              "ole32.dll", "shlwapi.dll", "psapi.dll", "msvcrt.dll"}

# Functions that appeared after Vista and that a toolchain or careless code might pull in. The
# allow-list below is the real guard; this list explains a failure better when it trips.
POST_VISTA = re.compile(r"^(K32\w+|SetDefaultDllDirectories|AddDllDirectory|RemoveDllDirectory|"
                        r"GetSystemTimePreciseAsFileTime|CreateFile2|\w+FromApp)$")

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10",
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


def imports(objdump_text):
    """{dll (lower case): [function, ...]} from `objdump -p`."""
    result, dll = {}, None
    for line in objdump_text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            result.setdefault(dll, [])
            continue
        if dll is None:
            continue
        m = re.match(r"\s+[0-9a-f]+\s+[0-9a-f]+\s+(\S+)\s*$", line)  # hint, ordinal or RVA, name
        if m:
            result[dll].append(m.group(1))
        elif not line.strip() or line.startswith(("The ", "PE File")):
            if not line.strip():
                continue
            dll = None
    return result


def pe_header(program):
    """(machine, characteristics, optional header magic, subsystem) read from the file itself."""
    with open(program, "rb") as f:
        data = f.read(4096)
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    check(data[:2] == b"MZ" and data[pe_offset:pe_offset + 4] == b"PE\0\0", "not a PE program")
    (machine,) = struct.unpack_from("<H", data, pe_offset + 4)
    (characteristics,) = struct.unpack_from("<H", data, pe_offset + 22)
    optional = pe_offset + 24
    (magic,) = struct.unpack_from("<H", data, optional)
    (subsystem,) = struct.unpack_from("<H", data, optional + 68)  # same offset in PE32 and PE32+
    return machine, characteristics, magic, subsystem


def check_manifest(program):
    raw = run("wrestool", "-x", "--raw", "--type=24", program)
    listing = run("wrestool", "-l", "--type=24", program).decode().strip().splitlines()
    check(len(listing) == 1, f"expected exactly one manifest, found {len(listing)}: {listing}")
    try:
        root = ET.fromstring(raw)
    except ET.ParseError as e:
        failures.append(f"manifest is not well-formed XML: {e}")
        return
    levels = [e for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
    check(len(levels) == 1, "manifest must request exactly one execution level")
    for e in levels:
        check(e.get("level") == "asInvoker", f"execution level {e.get('level')!r}, expected asInvoker")
        check((e.get("uiAccess") or "").lower() == "false", "uiAccess must be false")
    ids = [e.get("Id", "").lower() for e in root.iter() if e.tag.endswith("supportedOS")]
    check(sorted(ids) == sorted(SUPPORTED_OS), f"supportedOS identifiers {ids}, expected Vista to 10")
    aware = [e.text for e in root.iter() if e.tag.endswith("longPathAware")]
    check(aware == ["true"], f"longPathAware {aware}, expected true once")
    text = raw.decode("utf-8", "replace")
    check("Microsoft.Windows.Common-Controls" not in text,
          "manifest must not depend on version 6 of the common controls")


def main():
    program, arch, allowed_file = sys.argv[1:4]
    machine, characteristics, magic, subsystem = pe_header(program)
    expected_machine, expected_magic = {"x86": (0x014C, 0x10B), "x64": (0x8664, 0x20B)}[arch]
    check(machine == expected_machine, f"machine type {machine:#06x}, expected {expected_machine:#06x}")
    check(magic == expected_magic, f"optional header magic {magic:#x}, expected {expected_magic:#x}")
    check(subsystem == 2, f"subsystem {subsystem}, expected 2 (Windows GUI)")
    # Started from a USB stick or a share, it must keep running when the medium goes away.
    for flag, where in ((0x0400, "removable media"), (0x0800, "the network")):
        check(characteristics & flag, f"not marked to run from the page file when started from {where}")
    header = run("x86_64-w64-mingw32-objdump", "-p", program).decode()
    sections = run("x86_64-w64-mingw32-objdump", "-h", program).decode()
    resource = re.search(r"^\s*\d+\s+\.rsrc\s+\S+\s+\S+\s+\S+\s+([0-9a-f]+)", sections, re.M)
    check(resource is not None and int(resource.group(1), 16) % 4096 == 0,
          "the resource section does not start on a page of the file, so Wine copies the payload")

    check_manifest(program)
    icons = run("wrestool", "-l", "--type=14", "--name=256", program).decode().strip()
    check(icons != "", "icon group 256 is missing")

    allowed = set()
    for line in open(allowed_file, encoding="utf-8"):
        line = line.split("#", 1)[0].strip()
        if line:
            allowed.add(line.lower())
    for dll, functions in sorted(imports(header).items()):
        check(dll in KNOWN_DLLS, f"imports {dll}, which is not a known system library")
        for function in functions:
            check(not POST_VISTA.match(function), f"imports {dll}!{function}, which Vista lacks")
            check(f"{dll}!{function}".lower() in allowed,
                  f"imports {dll}!{function}, which is not on the reviewed list {allowed_file}")

    if failures:
        print(f"{program}: {len(failures)} problem(s)")
        for f in failures:
            print("  -", f)
        return 1
    print(f"{program}: {arch}, GUI, run from swap, manifest, icon 256, imports and section layout are as required")
    return 0


if __name__ == "__main__":
    sys.exit(main())
