#!/usr/bin/env python3
"""The last touches to a freshly linked installer program, which the linker cannot make.

1. Marks it to be run from the page file when started from removable media or the network
(IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP and IMAGE_FILE_NET_RUN_FROM_SWAP). Windows otherwise pages
the program in from where it was started, as its code and payload are touched: a user who pulls
the USB stick, or whose share drops, while the installer runs would have it crash half way. With
the flags, Windows copies the whole program to the page file first.

2. Moves the resource section to a file offset that is a multiple of 4,096 bytes, by padding the
file in front of it. Why: the payload lives in the resource section. Windows maps every section of a program from
its file, whatever the file alignment, so the payload's pages are read only as the extractor
touches them. Wine maps a section from the file only when its file offset is page-aligned; any
other section is copied into private memory when the program starts: the whole payload, before
the first byte is unpacked. Linking everything with a 4 KiB file alignment would cost about
27 KB of padding; aligning the one section that matters costs under 4 KB.

Only the flags and file offsets change: the sections' addresses in memory, and so the program's
code and data, stay as they are. The header checksum is recomputed. A program that is already
finished is left untouched; a signed program is refused, since its signature covers the old
layout (sign after this step). usage: finish_installer_program.py PROGRAM
"""
import struct
import sys

PAGE = 4096
RUN_FROM_SWAP = 0x0400 | 0x0800  # from removable media, from the network


def fail(message):
    sys.exit(f"finish_installer_program: {sys.argv[1]}: {message}")


def pe_checksum(data, checksum_offset):
    """The optional header's CheckSum: 16-bit one's-complement-style sum of the file with the
    field itself counted as zero, folded, plus the file's length."""
    total = 0
    padded = data + (b"\0" if len(data) % 2 else b"")
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    for i in range(4):  # the checksum field's own two words do not count
        total -= data[checksum_offset + i] << (8 * (i % 2))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main():
    path = sys.argv[1]
    data = bytearray(open(path, "rb").read())
    if data[:2] != b"MZ":
        fail("not a Windows program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail("no PE signature")
    coff = pe + 4
    sections, optional_size = struct.unpack_from("<H", data, coff + 2)[0], struct.unpack_from("<H", data, coff + 16)[0]
    symbols = struct.unpack_from("<I", data, coff + 8)[0]
    optional = coff + 20
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic not in (0x10B, 0x20B):
        fail("unknown optional header")
    file_alignment = struct.unpack_from("<I", data, optional + 36)[0]
    checksum_offset = optional + 64
    directories = optional + (96 if magic == 0x10B else 112)
    directory_count = struct.unpack_from("<I", data, directories - 4)[0]

    def directory(index):
        if index >= directory_count:
            return (0, 0)
        return struct.unpack_from("<II", data, directories + 8 * index)

    if directory(4) != (0, 0):
        fail("is signed; align it before signing")
    if directory(6) != (0, 0) or symbols != 0:
        fail("carries debug data or symbols, which hold file offsets; link it stripped")

    table = optional + optional_size
    headers = [table + 40 * i for i in range(sections)]
    resource = next((h for h in headers if data[h:h + 8].rstrip(b"\0") == b".rsrc"), None)
    if resource is None:
        fail("has no resource section")
    start = struct.unpack_from("<I", data, resource + 20)[0]
    padding = -start % PAGE
    characteristics = struct.unpack_from("<H", data, coff + 18)[0]
    if padding == 0 and characteristics & RUN_FROM_SWAP == RUN_FROM_SWAP:
        return
    if padding % file_alignment:
        fail(f"file alignment {file_alignment} does not divide the page size")

    struct.pack_into("<H", data, coff + 18, characteristics | RUN_FROM_SWAP)
    # Every section whose data lies at or after the resource section's moves by the padding.
    for header in headers:
        raw = struct.unpack_from("<I", data, header + 20)[0]
        if raw >= start:
            struct.pack_into("<I", data, header + 20, raw + padding)
    data[start:start] = bytes(padding)
    if struct.unpack_from("<I", data, checksum_offset)[0] != 0:
        struct.pack_into("<I", data, checksum_offset, pe_checksum(bytes(data), checksum_offset))
    with open(path, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
