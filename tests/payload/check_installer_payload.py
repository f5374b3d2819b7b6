#!/usr/bin/env python3
"""Static check of an installer's payload, on Linux: the resource of type 256, name 256, as
lexmora-payload and icoutils' wrestool each read it, is the payload file byte for byte; it
verifies; and the programs at its root are built for the installer's own architecture.

usage: check_installer_payload.py TOOL INSTALLER PAYLOAD_FILE x86|x64 [sample]

With "sample" the payload is the project's sample application, whose programs must match the
installer's architecture; any payload must hold lexmora.exe and parlavo.exe at its root."""
import os
import struct
import subprocess
import sys
import tempfile


def run(*command):
    return subprocess.run(command, capture_output=True)


def machine(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    (value,) = struct.unpack_from("<H", data, pe + 4)
    return value


def main():
    tool, installer, payload_file, arch = sys.argv[1:5]
    sample = sys.argv[5:6] == ["sample"]
    failures = []
    with open(payload_file, "rb") as f:
        payload = f.read()

    extracted = run("wrestool", "-x", "--raw", "--type=256", "--name=256", installer).stdout
    if extracted != payload:
        failures.append(f"wrestool's resource 256/256 ({len(extracted)} bytes) is not {payload_file} "
                        f"({len(payload)} bytes)")

    listed = run(tool, "list", installer)
    listed_file = run(tool, "list", payload_file)
    # Everything but the first line (the file's name) and the program's signature.
    body = lambda out: "".join(line for line in out.stdout.decode().splitlines(True)[1:]
                               if not line.startswith("signature: "))
    if listed.returncode != 0 or body(listed) != body(listed_file):
        failures.append("the tool lists the installer's payload differently from the payload file:\n" +
                        listed.stdout.decode() + listed.stderr.decode())
    verified = run(tool, "verify", installer)
    if verified.returncode != 0:
        failures.append("the installer's payload does not verify: " + verified.stderr.decode())

    expected = {"x86": 0x14C, "x64": 0x8664}[arch]
    with tempfile.TemporaryDirectory() as folder:
        unpacked = run(tool, "unpack", installer, folder)
        if unpacked.returncode != 0:
            failures.append("the installer's payload does not unpack: " + unpacked.stderr.decode())
        for program in ("lexmora.exe", "parlavo.exe"):
            path = os.path.join(folder, program)
            if not os.path.exists(path):
                failures.append(f"{program} is not at the root of the payload")
            elif sample and machine(path) != expected:
                failures.append(f"{program} has machine type {machine(path):#06x}, expected {expected:#06x}")

    if failures:
        print(f"{installer}: {len(failures)} problem(s)")
        for failure in failures:
            print("  -", failure)
        return 1
    print(f"{installer}: payload resource matches {payload_file}, verifies, programs are {arch}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
