#!/usr/bin/env python3
"""Writes the fixtures of the extractor's Windows test: a folder of files that lexmora-payload
packs into the good payload, and payloads of every broken or hardened shape, which no writer would
produce and which this script builds byte by byte. The test program carries them all as
resources of type 256. Deterministic.

usage: make_extractor_fixtures.py OUTPUT_FOLDER"""
import os
import sys
import zlib

from payload_bytes import chunk, data, file, version

# (path, size): the good payload's files. The test knows them too (payload_fixture_files.h), and
# the contents follow the same rule there.
TREE = [
    ("empty.dat", 0),
    ("lexmora.exe", 65537),
    ("parlavo.exe", 4000),
    ("first/top.txt", 100),
    ("first/second/mid.txt", 65536),
    ("first/second/third/deep.txt", 65535),
    ("Zeta/last.bin", 10),
]


def contents(path, size):
    x = 0x811C9DC5
    for byte in path.encode("utf-8"):
        x = ((x ^ byte) * 0x01000193) & 0xFFFFFFFF
    out = bytearray(size)
    for i in range(size):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = (x >> 16) & 0xFF if (x >> 28) & 1 else 0x20 + (i % 64)
    return bytes(out)


def late_damage():
    """Many good blocks, a small file, more good blocks, then a damaged one and a file after it:
    blocks are inflated far ahead of the file being written when the walk comes to the fault."""
    out = version(b"1")
    for path, blocks in (("many.bin", 24), ("held.txt", 0), ("more.bin", 8)):
        out += file(path.encode())
        body = contents(path, blocks * 65536) if blocks else b"held"
        for start in range(0, len(body), 65536):
            out += data(body[start:start + 65536])
    damaged = bytearray(zlib.compress(contents("never.txt", 65536), 6))
    damaged[len(damaged) // 2] ^= 0x20
    return out + data(b"", stream=bytes(damaged), declared=65536) + file(b"never.txt") + data(b"never")


def broken_payloads():
    kept = version(b"1") + file(b"kept.txt") + data(b"kept")
    bad_adler = bytearray(zlib.compress(b"half of a file", 6))
    bad_adler[-1] ^= 0x01
    damaged = bytearray(zlib.compress(b"hello", 6))
    damaged[-2] ^= 0x10
    return {
        "stray-bytes": kept + b"\x00\x01",
        "chunk-past-end": kept + chunk(7, b"12345678")[:-1],
        "data-before-file": version(b"1") + data(b"orphan") + file(b"never.txt"),
        "short-data-chunk": kept + file(b"short.txt") + chunk(0, b"\x00\x00\x01"),
        "bad-checksum": kept + file(b"partial.txt") + data(b"first block ") + data(b"", stream=bytes(bad_adler),
                                                                                  declared=14),
        "path-parent": kept + file(b"../escape.txt") + data(b"escaped"),
        "path-drive": kept + file(b"C:\\escape.txt") + data(b"escaped"),
        "path-rooted": kept + file(b"\\escape.txt") + data(b"escaped"),
        "huge-size": version(b"1") + file(b"huge.txt") + data(b"hello", declared=0xFFFFFFFF),
        "huge-size-damaged": version(b"1") + file(b"huge.txt") + data(b"", declared=0xFFFFFFFF, stream=bytes(damaged)),
        "empty": b"",
        "separators": file(b"a/b/slash.txt") + data(b"slash") + file(b"a\\b\\backslash.txt") + data(b"backslash"),
        "late-damage": late_damage(),
    }


if __name__ == "__main__":
    out = sys.argv[1]
    for path, size in TREE:
        target = os.path.join(out, "tree", *path.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(contents(path, size))
    for name, payload in broken_payloads().items():
        with open(os.path.join(out, name + ".bin"), "wb") as f:
            f.write(payload)
