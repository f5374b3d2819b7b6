#!/usr/bin/env python3
"""Writes a payload that breaks in its second file: a version chunk, "first.txt" complete, then
"second/broken.txt" whose one block is a damaged zlib stream. usage: make_broken_payload.py OUT"""
import struct
import sys
import zlib


def chunk(kind, body):
    return struct.pack(">B", kind) + len(body).to_bytes(3, "big") + body


def data(block, stream=None):
    return chunk(0, struct.pack(">I", len(block)) + (stream if stream is not None else zlib.compress(block, 6)))


good = b"complete before the break\n"
damaged = bytearray(zlib.compress(b"x" * 100, 6))
damaged[-1] ^= 0xFF  # the Adler-32 no longer matches
payload = (chunk(2, b"VERSION\0" + b"50530304") + chunk(1, b"first.txt") + data(good) +
           chunk(1, b"second/broken.txt") + data(b"x" * 100, bytes(damaged)))
with open(sys.argv[1], "wb") as f:
    f.write(payload)
