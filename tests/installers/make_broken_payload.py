#!/usr/bin/env python3
"""Writes a payload that breaks in its second file: a version chunk, "first.txt" complete, then
"second/broken.txt" whose one block is a damaged zlib stream. usage: make_broken_payload.py OUT"""
import os
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "payload"))
from payload_bytes import data, file, version  # noqa: E402

damaged = bytearray(zlib.compress(b"x" * 100, 6))
damaged[-1] ^= 0xFF  # the Adler-32 no longer matches
payload = (version() + file(b"first.txt") + data(b"complete before the break\n") +
           file(b"second/broken.txt") + data(b"x" * 100, stream=bytes(damaged)))
with open(sys.argv[1], "wb") as f:
    f.write(payload)
